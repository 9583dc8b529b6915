// The line owner: jobs run one after another on a thread of their own while
// the window's thread stays free; questions asked inside a job are answered
// on the window's thread; stopping drops what waits and ends the thread.
#include "comm/LineOwner.h"

#include "comm/Communication.h"
#include "serial/JTComPort.h"
#include "support/LineWait.h"
#include "support/PtyTestSupport.h"
#include "support/SimulatedGenerator.h"
#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <QEvent>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <future>
#include <mutex>
#include <vector>

namespace {

struct LineOwnerFixture : ::testing::Test {
    TScriptedDialogs dialogs;
    TJTComPort port{nullptr, &dialogs};
    TCommunication channel{port, dialogs};
    TLineOwner line;
};

TEST_F(LineOwnerFixture, JobsRunInOrderOffTheWindowThreadWhileItStaysFree)
{
    std::mutex m;
    std::vector<int> order;
    std::vector<QThread*> threads;
    std::promise<void> timerFired;
    auto fired = timerFired.get_future();
    int finished = 0;
    QObject::connect(&line, &TLineOwner::JobFinished, [&] { ++finished; });

    // The first job blocks until a timer of the window's thread has fired:
    // it can only end if that thread keeps running its event loop.
    line.Post([&](TCommunication& c) {
        EXPECT_EQ(&c, &channel);
        fired.wait();
        std::lock_guard lock(m);
        order.push_back(0);
        threads.push_back(QThread::currentThread());
    });
    for (int i = 1; i <= 50; ++i)
        line.Post([&, i](TCommunication&) {
            std::lock_guard lock(m);
            order.push_back(i);
            threads.push_back(QThread::currentThread());
        });
    EXPECT_FALSE(line.Idle());
    line.Start(channel);
    QTimer::singleShot(1, [&] { timerFired.set_value(); });
    ASSERT_TRUE(WaitUntil([&] { return line.Idle(); }));

    ASSERT_EQ(order.size(), 51u);
    for (int i = 0; i <= 50; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    for (QThread* t : threads) {
        EXPECT_NE(t, QThread::currentThread());
        EXPECT_EQ(t, threads.front());
    }
    EXPECT_EQ(finished, 51);
    // The port now belongs to the line's thread.
    EXPECT_EQ(port.thread(), threads.front());
}

TEST_F(LineOwnerFixture, QuestionsFromAJobAreAnsweredOnTheWindowThread)
{
    TLineDialogs lineDialogs(line, dialogs);
    dialogs.Answers = {TMsgButton::mbIgnore};
    std::atomic<QThread*> askedOn{nullptr};
    TMsgButton answer = TMsgButton::mbOK;
    QString computed;
    line.Start(channel);
    line.Post([&](TCommunication&) {
        answer = lineDialogs.MessageDlg("Communications lost. Restart?", QString(), mbYesNoIgnore);
        computed = line.Ask<QString>(
            [&] {
                askedOn = QThread::currentThread();
                return QStringLiteral("from the window");
            },
            QStringLiteral("fallback"));
    });
    ASSERT_TRUE(WaitUntil([&] { return line.Idle(); }));
    EXPECT_EQ(answer, TMsgButton::mbIgnore);
    EXPECT_EQ(dialogs.Texts(), QStringList{"Communications lost. Restart?"});
    EXPECT_EQ(computed, "from the window");
    EXPECT_EQ(askedOn.load(), QThread::currentThread());
}

// A network client's lines are guests: the panel's periodic work does not
// wait for them, only for its own jobs; stopping forgets both kinds.
TEST_F(LineOwnerFixture, GuestsJobsDoNotCountAsThePanelsOwnWork)
{
    std::promise<void> release;
    auto released = release.get_future().share();
    line.Start(channel);
    line.PostGuest([&](TCommunication&) { released.wait(); });
    line.PostGuest([](TCommunication&) {});
    EXPECT_FALSE(line.Idle());
    EXPECT_TRUE(line.IdleButGuests());
    line.Post([](TCommunication&) {});
    EXPECT_FALSE(line.IdleButGuests());
    release.set_value();
    ASSERT_TRUE(WaitUntil([&] { return line.Idle(); }));
    EXPECT_TRUE(line.IdleButGuests());

    std::promise<void> release2;
    auto released2 = release2.get_future().share();
    std::promise<void> started;
    line.PostGuest([&](TCommunication&) {
        started.set_value();
        released2.wait();
    });
    line.PostGuest([](TCommunication&) {});
    line.Post([](TCommunication&) {});
    started.get_future().wait();
    bool done = false;
    line.Stop({}, [&] { done = true; });
    release2.set_value();
    ASSERT_TRUE(WaitUntil([&] { return done; }));
    EXPECT_TRUE(line.Idle());
    EXPECT_TRUE(line.IdleButGuests());
}

TEST_F(LineOwnerFixture, StopDropsWaitingJobsRunsTheLastOneAndHandsThePortBack)
{
    std::promise<void> release;
    auto released = release.get_future().share();
    std::atomic<bool> sawEnding{false};
    QStringList ran;
    bool done = false;
    std::promise<void> started;
    line.Start(channel);
    line.Post([&](TCommunication&) {
        started.set_value();
        released.wait();
        sawEnding = line.Ending();
        ran << "first";
    });
    line.Post([&](TCommunication&) { ran << "dropped"; });
    started.get_future().wait();

    line.Stop([&](TCommunication&) { ran << "last"; }, [&] {
        done = true;
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
    });
    line.Post([&](TCommunication&) { ran << "after stop"; });
    release.set_value();
    ASSERT_TRUE(WaitUntil([&] { return done; }));
    EXPECT_TRUE(line.Idle());
    EXPECT_EQ(ran, (QStringList{"first", "last"}));
    EXPECT_TRUE(sawEnding);
    EXPECT_EQ(port.thread(), QThread::currentThread());
}

TEST_F(LineOwnerFixture, AQuestionPendingWhenTheLineStopsGetsItsFallback)
{
    std::atomic<int> got{-1};
    std::promise<void> started;
    line.Start(channel);
    // The window's thread does not turn its event loop here, so the question
    // cannot be answered before the stop.
    line.Post([&](TCommunication&) {
        started.set_value();
        got = line.Ask<int>([] { return 1; }, 2);
    });
    started.get_future().wait();
    line.Stop();
    line.Join();
    EXPECT_EQ(got.load(), 2);
}

}  // namespace

namespace {

// A job that finds the program ending (its question was answered with "No")
// is the last to use the line: the jobs queued behind it never run.
TEST_F(LineOwnerFixture, JobsQueuedBehindTheOneThatEndsTheProgramNeverRun)
{
    QStringList ran;
    line.Start(channel);
    line.Post([&](TCommunication&) {
        ran << "ending";
        line.SetEnding();
    });
    line.Post([&](TCommunication&) { ran << "queued edit"; });
    ASSERT_TRUE(WaitForLine(line));
    EXPECT_EQ(ran, QStringList{"ending"});
    bool closed = false;
    line.Stop([&](TCommunication&) { closed = true; });
    ASSERT_TRUE(WaitForLine(line));
    EXPECT_TRUE(closed);
}

// A started line owner destroyed without Stop (the program's frame going
// away some other way) ends like a stopped one: the job under way hears the
// line end and finishes, the waiting ones never run, and the thread is
// joined before the owner is gone.
TEST_F(LineOwnerFixture, DestroyedWithoutStopItRunsNoWaitingJob)
{
    auto owner = std::make_unique<TLineOwner>();
    TLineOwner* o = owner.get();
    std::promise<void> started;
    std::atomic<int> answer{-1};
    std::atomic<bool> waitingRan{false};
    int dropped = 0;
    // The window's thread does not turn its event loop here: the question is
    // answered only by the line's end.
    owner->Post([&, o](TCommunication&) {
        started.set_value();
        answer = o->Ask<int>([] { return 1; }, 2);
    });
    owner->Post([&](TCommunication&) { waitingRan = true; }, [&] { ++dropped; });
    owner->Start(channel);
    started.get_future().wait();
    owner.reset();
    EXPECT_EQ(answer.load(), 2);
    EXPECT_FALSE(waitingRan.load());
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(port.thread(), QThread::currentThread());
}

// Every job that will never run is told so, once: one found waiting by the
// program's end, one waiting when the line stops, one posted after that.
TEST_F(LineOwnerFixture, EveryJobThatWillNeverRunIsToldSoOnce)
{
    QStringList ran;
    QStringList dropped;
    std::mutex m;
    const auto post = [&](TLineOwner& owner, const QString& name) {
        owner.Post(
            [&, name](TCommunication&) {
                std::lock_guard lock(m);
                ran << name;
            },
            [&, name] {
                std::lock_guard lock(m);
                dropped << name;
            });
    };
    line.Start(channel);
    line.Post([&](TCommunication&) { line.SetEnding(); });
    post(line, "behind the end");
    ASSERT_TRUE(WaitForLine(line));

    TLineOwner other;
    other.Attach(channel);
    post(other, "waiting at the stop");
    other.Stop();
    post(other, "after the stop");
    EXPECT_TRUE(ran.isEmpty());
    EXPECT_EQ(dropped, (QStringList{"behind the end", "waiting at the stop", "after the stop"}));
}

// The serial port moves to the line's thread at the start and back at the
// end, but never while open: a port open at the start is closed, moved and
// opened again on the line's thread, where the jobs use it, and it comes
// back closed.
TEST(LineOwnerPort, APortIsNeverMovedBetweenThreadsWhileOpen)
{
    // A port that notes whether it was open whenever it changed threads.
    class TWatchedPort : public TJTComPort {
    public:
        using TJTComPort::TJTComPort;
        std::atomic<int> Moves{0};
        std::atomic<int> MovedOpen{0};

    protected:
        bool event(QEvent* e) override
        {
            if (e->type() == QEvent::ThreadChange) {
                ++Moves;
                MovedOpen += Opened() ? 1 : 0;
            }
            return TJTComPort::event(e);
        }
    };
    TPortFolder folder;
    jt6400sim::GeneratorOptions options;
    options.echo = false;
    const auto generator = ServeGenerator(folder.Path(), 1, jt6400sim::Generator(options));
    TScriptedDialogs dialogs;
    TWatchedPort port(nullptr, &dialogs);
    port.SetPort(1);
    port.SetEndOfResponse(QByteArray(1, '\r'));
    TCommunication channel(port, dialogs);
    ASSERT_TRUE(port.Open());

    TLineOwner line;
    line.Start(channel);
    std::atomic<bool> openOnLine{false};
    QString answer;
    line.Post([&](TCommunication& c) {
        openOnLine = c.Port().Opened() && c.Port().thread() == QThread::currentThread();
        answer = c.QueryDevice(QStringLiteral("*IDN"));
    });
    ASSERT_TRUE(WaitForLine(line));
    EXPECT_TRUE(openOnLine.load());
    EXPECT_TRUE(answer.startsWith(QStringLiteral("JT,"))) << answer.toStdString();

    line.Stop();
    line.Join();
    ASSERT_TRUE(WaitUntil([&] { return port.thread() == QThread::currentThread(); }));
    EXPECT_FALSE(port.Opened());
    EXPECT_EQ(port.Moves.load(), 2);
    EXPECT_EQ(port.MovedOpen.load(), 0);
}

}  // namespace
