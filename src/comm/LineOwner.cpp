#include "comm/LineOwner.h"

#include "comm/Communication.h"
#include "serial/JTComPort.h"

#include <QCoreApplication>
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
    std::deque<TQueued> dropped;
    {
        std::lock_guard lock(FMutex);
        // After a Stop only its last job waits, and it still runs.
        if (!FStopping)
            dropped.swap(FJobs);
        FStopping = true;
        FEnding = true;
    }
    FWake.notify_all();
    FAnswer.notify_all();
    Drop(dropped);
    Join();
}

void TLineOwner::Drop(std::deque<TQueued>& jobs)
{
    for (TQueued& queued : jobs)
        if (queued.Dropped)
            queued.Dropped();
    jobs.clear();
}

void TLineOwner::Start(TCommunication& channel)
{
    if (FThread)
        return;
    FChannel = &channel;
    FThread = QThread::create([this] { Run(); });
    FThread->setObjectName(QStringLiteral("line"));
    // The port's device and its notifiers belong to the thread that uses
    // them. An open device is never moved, with notifications of the old
    // thread still pending: it is closed here and opened again on the line's
    // thread, before any job.
    TJTComPort& port = channel.Port();
    const bool reopen = port.Opened();
    if (reopen)
        port.Close();
    port.moveToThread(FThread);
    if (reopen) {
        std::lock_guard lock(FMutex);
        ++FOutstanding;
        FJobs.push_front({[](TCommunication& c) { c.Port().Open(); }, {}, false});
    }
    FThread->start();
}

void TLineOwner::Enqueue(TJob job, TDropped dropped, bool guest)
{
    {
        std::lock_guard lock(FMutex);
        if (!FStopping) {
            ++FOutstanding;
            if (guest)
                ++FGuestsOutstanding;
            FJobs.push_back({std::move(job), std::move(dropped), guest});
            dropped = nullptr;
        }
    }
    if (dropped) {
        dropped();
        return;
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
        std::deque<TQueued> dropped;
        {
            std::lock_guard lock(FMutex);
            FStopping = true;
            dropped.swap(FJobs);
        }
        Drop(dropped);
        if (last && FChannel)
            last(*FChannel);
        if (done)
            done();
        return;
    }
    std::deque<TQueued> dropped;
    int droppedGuests = 0;
    {
        std::lock_guard lock(FMutex);
        if (FStopping)
            return;
        FEnding = true;
        FStopping = true;
        dropped.swap(FJobs);
        for (const TQueued& queued : dropped)
            droppedGuests += queued.Guest ? 1 : 0;
        FJobs.push_back({std::move(last), {}, false});
        FDone = std::move(done);
    }
    // The dropped jobs will never end; the last one will.
    FOutstanding -= static_cast<int>(dropped.size()) - 1;
    FGuestsOutstanding -= droppedGuests;
    FWake.notify_all();
    FAnswer.notify_all();
    Drop(dropped);
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
        TQueued queued;
        bool run = true;
        {
            std::unique_lock lock(FMutex);
            FWake.wait(lock, [this] { return !FJobs.empty() || FStopping; });
            if (FJobs.empty())
                break;
            queued = std::move(FJobs.front());
            FJobs.pop_front();
            ranLast = FStopping && FJobs.empty();
            // Once the program is ending nothing more reaches the line but
            // the job that ends it.
            run = !FEnding || ranLast;
        }
        const bool guest = queued.Guest;
        if (!run) {
            if (queued.Dropped)
                queued.Dropped();
        } else if (queued.Job) {
            queued.Job(*FChannel);
        }
        if (ranLast)
            break;
        Deliver(this, [this, guest] { Finished(guest); });
    }
    // The port is closed on the line's thread and goes back, closed, to the
    // thread that will destroy it.
    FChannel->Port().Close();
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
    const QCoreApplication* application = QCoreApplication::instance();
    if (application && application->inherits("QGuiApplication") && QThread::currentThread() == application->thread())
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
