// TLineOwner: the one owner of the serial line. It carries out jobs strictly
// one after another on a thread of its own: a job is a sequence of exchanges
// through the command channel (a read-back, one queued edit, a terminal
// command, a poll round, a file restore, a bin recall, a network client's
// line) that nothing else interleaves with. The exchanges inside a job block
// on the port; the window's thread never waits for them and never runs a
// nested event loop. Results go back to an object on its own thread with
// Deliver; a question to the user asked inside a job is put to the window's
// thread with Ask, and only the job waits for the answer.
#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/Dialogs.h"

class TCommunication;

class TLineOwner : public QObject {
    Q_OBJECT
public:
    // Runs on the line owner's thread; nothing else uses the line while it runs.
    using TJob = std::function<void(TCommunication& channel)>;

    // Lives on the thread that creates it: the window's thread, in the panel.
    explicit TLineOwner(QObject* parent = nullptr);
    // Ends the line as Stop does, without a last job of its own: the job
    // under way is left to end (Ending is set), the waiting ones are dropped
    // (a Stop's last job still runs), and the line's thread is joined.
    ~TLineOwner() override;
    TLineOwner(const TLineOwner&) = delete;
    TLineOwner& operator=(const TLineOwner&) = delete;

    // Names the channel the jobs will use, before the thread starts (a Stop
    // before Start then still runs its last job on it).
    void Attach(TCommunication& channel) { FChannel = &channel; }
    // Starts the line's thread on Channel and hands the channel's serial
    // port over to it; from now on only jobs use the port. A port open now is
    // closed first and opened again on the line's thread (a port is never
    // moved between threads while open). Jobs posted before run once it has
    // started.
    void Start(TCommunication& channel);
    bool Started() const { return FThread != nullptr; }

    // Called instead of a job that will never run: posted once the line is
    // stopping, waiting when it stopped, or reached once the program was
    // ending. It runs at once on the thread that drops the job (any thread),
    // so it only hands the news on, e.g. with Deliver.
    using TDropped = std::function<void()>;

    // Queues a job: it runs after every job posted before it. Jobs posted
    // once the line is stopping are dropped. Any thread may post.
    void Post(TJob job, TDropped dropped = {}) { Enqueue(std::move(job), std::move(dropped), false); }
    // The same for a job that comes from outside the panel (a network
    // client's line): the panel's own periodic work does not wait for these
    // (IdleButGuests), or a steady stream of them would hold it off for good.
    void PostGuest(TJob job, TDropped dropped = {}) { Enqueue(std::move(job), std::move(dropped), true); }

    // On the owner's thread: no job is waiting or running, and everything
    // the jobs delivered to the owner's thread has run.
    bool Idle() const { return FOutstanding == 0; }
    int Outstanding() const { return FOutstanding; }
    // The same, not counting guests' jobs.
    bool IdleButGuests() const { return FOutstanding == FGuestsOutstanding; }

    // Any thread: the program is ending. A job asks this between exchanges
    // and ends early once it is set; no job queued after it runs (but Stop's
    // last one).
    bool Ending() const;
    void SetEnding();

    // Ends the line: queued jobs are dropped, the running one is left to end
    // (Ending is set), then Last runs as the final job, the port is closed
    // and goes back to the owner's thread, and Done runs on the owner's
    // thread. Without a started thread both run at once on the caller's
    // thread.
    void Stop(TJob last = {}, std::function<void()> done = {});
    // Waits for the line's thread to end (at destruction, after Stop).
    void Join();

    // True on the line's own thread, that is, inside a job.
    bool OnLineThread() const;

    // Any thread: runs Fn later on Context's thread, after everything
    // delivered to that thread before; not at all once Context is gone.
    static void Deliver(QObject* context, std::function<void()> fn);

    // Runs Fn on the owner's thread and returns its result. Called inside a
    // job, the job waits (the owner's thread does not) and gets Fallback when
    // the line ends before the answer comes; called on the owner's thread,
    // Fn simply runs.
    template <typename T>
    T Ask(std::function<T()> fn, T fallback);
    // The same for a question answered later: Start runs on the owner's
    // thread and hands the answer to the reply it is given, now or once the
    // user has answered. Called inside a job, the job waits for the reply
    // (or gets Fallback when the line ends first); called on the owner's
    // thread, the reply must come at once (a stand-in's), else Fallback.
    template <typename T>
    T Await(std::function<void(std::function<void(T)> reply)> start, T fallback);

    // The pause between exchanges. It runs only on a line's thread (or on a
    // thread without a window, such as the command-line program's); asked on
    // the window's thread it is a fault, caught in debug builds.
    static void Pause(unsigned long milliseconds);
    // How many pauses ran on the window's thread so far (none should).
    static int WindowThreadPauses();

signals:
    // A job has ended (delivered to the owner's thread, after everything
    // that job delivered).
    void JobFinished();
    // The last outstanding job has ended (on the owner's thread).
    void BecameIdle();

private:
    struct TQueued {
        TJob Job;
        TDropped Dropped;
        bool Guest = false;
    };
    void Enqueue(TJob job, TDropped dropped, bool guest);
    // Tells the jobs taken from the queue that they will never run.
    static void Drop(std::deque<TQueued>& jobs);
    void Run();
    void Finished(bool guest);
    // Makes Fn run on the owner's thread; false once the line has ended.
    bool RunOnOwner(std::function<void()> fn);
    void WaitForAnswer(const std::function<bool()>& answered);

    TCommunication* FChannel = nullptr;
    QThread* FThread = nullptr;
    QThread* FOwnerThread;
    std::atomic<int> FOutstanding{0};
    std::atomic<int> FGuestsOutstanding{0};

    mutable std::mutex FMutex;
    std::condition_variable FWake;    // a job came, or the line stops
    std::condition_variable FAnswer;  // an Ask was answered, or the line stops
    std::deque<TQueued> FJobs;
    bool FStopping = false;
    bool FEnding = false;
    std::function<void()> FDone;
};

template <typename T>
T TLineOwner::Ask(std::function<T()> fn, T fallback)
{
    if (QThread::currentThread() == FOwnerThread)
        return fn();
    auto answer = std::make_shared<std::optional<T>>();
    const bool posted = RunOnOwner([this, fn = std::move(fn), answer] {
        T value = fn();
        std::lock_guard lock(FMutex);
        *answer = std::move(value);
        FAnswer.notify_all();
    });
    if (!posted)
        return fallback;
    WaitForAnswer([&answer] { return answer->has_value(); });
    std::lock_guard lock(FMutex);
    return answer->has_value() ? **answer : fallback;
}

template <typename T>
T TLineOwner::Await(std::function<void(std::function<void(T)> reply)> start, T fallback)
{
    auto answer = std::make_shared<std::optional<T>>();
    if (QThread::currentThread() == FOwnerThread) {
        start([answer](T value) { *answer = std::move(value); });
        return answer->has_value() ? **answer : fallback;
    }
    // The reply may come after the line has ended (the job then has its
    // fallback); it only fills the shared answer and wakes nobody then.
    const QPointer<TLineOwner> self(this);
    const bool posted = RunOnOwner([this, self, start = std::move(start), answer] {
        start([this, self, answer](T value) {
            if (!self)
                return;
            std::lock_guard lock(FMutex);
            *answer = std::move(value);
            FAnswer.notify_all();
        });
    });
    if (!posted)
        return fallback;
    WaitForAnswer([&answer] { return answer->has_value(); });
    std::lock_guard lock(FMutex);
    return answer->has_value() ? **answer : fallback;
}

// The program's message boxes as the line's jobs see them: shown on the
// window's thread while the job waits for the answer. On the window's thread
// itself they are handed on as they are.
class TLineDialogs : public IDialogs {
public:
    TLineDialogs(TLineOwner& line, IDialogs& dialogs) : FLine(line), FDialogs(dialogs) {}

    void OpenFileName(const QString& caption, const QString& filter, const QString& defaultSuffix,
                      TFileAnswer chosen) override;
    void SaveFileName(const QString& caption, const QString& filter, const QString& suggestedName,
                      const QString& defaultSuffix, TFileAnswer chosen) override;

protected:
    TMsgButton DoMessageDlg(const QString& text, const QString& caption, TMsgButtons buttons, TMsgKind kind) override;
    void DoAskMessage(const QString& text, const QString& caption, TMsgButtons buttons, TMsgKind kind,
                      TAnswer answered) override;

private:
    TLineOwner& FLine;
    IDialogs& FDialogs;
};
