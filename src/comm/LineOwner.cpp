#include "comm/LineOwner.h"

#include "comm/Communication.h"
#include "serial/JTComPort.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>

#include <atomic>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace {
std::atomic<int> gWindowThreadPauses{0};
}  // namespace

TLineOwner::TLineOwner(QObject* parent) : QObject(parent), FOwnerThread(QThread::currentThread()) {}

TLineOwner::~TLineOwner()
{
    if (FThread) {
        {
            std::lock_guard lock(FMutex);
            FStopping = true;
            FEnding = true;
        }
        FWake.notify_all();
        FAnswer.notify_all();
        Join();
    }
}

void TLineOwner::Start(TCommunication& channel)
{
    if (FThread)
        return;
    FChannel = &channel;
    FThread = QThread::create([this] { Run(); });
    FThread->setObjectName(QStringLiteral("line"));
    // The port's device and its notifiers belong to the thread that uses them.
    channel.Port().moveToThread(FThread);
    FThread->start();
}

void TLineOwner::Enqueue(TJob job, bool guest)
{
    {
        std::lock_guard lock(FMutex);
        if (FStopping)
            return;
        ++FOutstanding;
        if (guest)
            ++FGuestsOutstanding;
        FJobs.push_back({std::move(job), guest});
    }
    FWake.notify_one();
}

bool TLineOwner::Ending() const
{
    std::lock_guard lock(FMutex);
    return FEnding;
}

void TLineOwner::SetEnding()
{
    {
        std::lock_guard lock(FMutex);
        FEnding = true;
    }
    FAnswer.notify_all();
}

bool TLineOwner::OnLineThread() const
{
    return FThread && QThread::currentThread() == FThread;
}

void TLineOwner::Stop(TJob last, std::function<void()> done)
{
    if (!FThread) {
        SetEnding();
        {
            std::lock_guard lock(FMutex);
            FStopping = true;
            FJobs.clear();
        }
        if (last && FChannel)
            last(*FChannel);
        if (done)
            done();
        return;
    }
    qsizetype dropped = 0;
    int droppedGuests = 0;
    {
        std::lock_guard lock(FMutex);
        if (FStopping)
            return;
        FEnding = true;
        FStopping = true;
        dropped = static_cast<qsizetype>(FJobs.size());
        for (const TQueued& queued : FJobs)
            droppedGuests += queued.Guest ? 1 : 0;
        FJobs.clear();
        FJobs.push_back({std::move(last), false});
        FDone = std::move(done);
    }
    // The dropped jobs will never end; the last one will.
    FOutstanding -= static_cast<int>(dropped) - 1;
    FGuestsOutstanding -= droppedGuests;
    FWake.notify_all();
    FAnswer.notify_all();
}

void TLineOwner::Join()
{
    if (FThread && QThread::currentThread() != FThread) {
        FThread->wait();
        delete FThread;
        FThread = nullptr;
    }
}

void TLineOwner::Run()
{
    bool ranLast = false;
    for (;;) {
        TJob job;
        bool guest = false;
        {
            std::unique_lock lock(FMutex);
            FWake.wait(lock, [this] { return !FJobs.empty() || FStopping; });
            if (FJobs.empty())
                break;
            job = std::move(FJobs.front().Job);
            guest = FJobs.front().Guest;
            FJobs.pop_front();
            ranLast = FStopping && FJobs.empty();
            // Once the program is ending nothing more reaches the line but
            // the job that ends it.
            if (FEnding && !ranLast)
                job = nullptr;
        }
        emit JobStarted();
        if (job)
            job(*FChannel);
        if (ranLast)
            break;
        Deliver(this, [this, guest] { Finished(guest); });
    }
    // The port goes back to the thread that will close and destroy it.
    FChannel->Port().moveToThread(FOwnerThread);
    std::function<void()> done;
    {
        std::lock_guard lock(FMutex);
        done = std::move(FDone);
    }
    // The last job ends once Done has run, in the same turn of the owner's
    // event loop.
    Deliver(this, [this, done = std::move(done), ranLast] {
        if (done)
            done();
        if (ranLast)
            Finished(false);
    });
}

void TLineOwner::Finished(bool guest)
{
    if (guest)
        --FGuestsOutstanding;
    --FOutstanding;
    emit JobFinished();
    if (FOutstanding == 0)
        emit BecameIdle();
}

void TLineOwner::Deliver(QObject* context, std::function<void()> fn)
{
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

bool TLineOwner::RunOnOwner(std::function<void()> fn)
{
    if (Ending())
        return false;
    Deliver(this, [this, fn = std::move(fn)] {
        // A question whose line has ended meanwhile is not put any more.
        if (!Ending())
            fn();
    });
    return true;
}

void TLineOwner::WaitForAnswer(const std::function<bool()>& answered)
{
    std::unique_lock lock(FMutex);
    FAnswer.wait(lock, [&] { return FEnding || answered(); });
}

void TLineOwner::Pause(unsigned long milliseconds)
{
    // The window's thread is the main thread of a program with a window.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
        QThread::currentThread() == QCoreApplication::instance()->thread())
        ++gWindowThreadPauses;
#ifdef Q_OS_LINUX
    // Linux lets a sleep end late by the thread's timer slack (50 us unless
    // changed) so that it can merge wake-ups; a read-back pauses more than a
    // hundred times, so the thread asks once for wake-ups on time.
    static thread_local const bool onTime = ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    Q_UNUSED(onTime);
#endif
    QThread::msleep(milliseconds);
}

int TLineOwner::WindowThreadPauses()
{
    return gWindowThreadPauses.load();
}

void TLineDialogs::OpenFileName(const QString& caption, const QString& filter, const QString& defaultSuffix,
                                TFileAnswer chosen)
{
    if (QThread::currentThread() == FLine.thread()) {
        FDialogs.OpenFileName(caption, filter, defaultSuffix, std::move(chosen));
        return;
    }
    const QString name = FLine.Await<QString>(
        [this, caption, filter, defaultSuffix](std::function<void(QString)> reply) {
            FDialogs.OpenFileName(caption, filter, defaultSuffix, reply);
        },
        QString());
    if (chosen)
        chosen(name);
}

void TLineDialogs::SaveFileName(const QString& caption, const QString& filter, const QString& suggestedName,
                                const QString& defaultSuffix, TFileAnswer chosen)
{
    if (QThread::currentThread() == FLine.thread()) {
        FDialogs.SaveFileName(caption, filter, suggestedName, defaultSuffix, std::move(chosen));
        return;
    }
    const QString name = FLine.Await<QString>(
        [this, caption, filter, suggestedName, defaultSuffix](std::function<void(QString)> reply) {
            FDialogs.SaveFileName(caption, filter, suggestedName, defaultSuffix, reply);
        },
        QString());
    if (chosen)
        chosen(name);
}

TMsgButton TLineDialogs::DoMessageDlg(const QString& text, const QString& caption, TMsgButtons buttons,
                                      TMsgKind kind)
{
    return FLine.Await<TMsgButton>(
        [this, text, caption, buttons, kind](std::function<void(TMsgButton)> reply) {
            FDialogs.AskMessage(text, caption, buttons, kind, reply);
        },
        SafeDefaultButton(buttons));
}

void TLineDialogs::DoAskMessage(const QString& text, const QString& caption, TMsgButtons buttons, TMsgKind kind,
                                TAnswer answered)
{
    if (QThread::currentThread() == FLine.thread()) {
        FDialogs.AskMessage(text, caption, buttons, kind, std::move(answered));
        return;
    }
    const TMsgButton button = DoMessageDlg(text, caption, buttons, kind);
    if (answered)
        answered(button);
}
