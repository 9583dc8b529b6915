#include <gtest/gtest.h>

#include <QStringList>

#include <functional>

#include "comm/LineOwner.h"
#include "scheduling/TaskQueue.h"

namespace {

// A queue whose sends are recorded; a test can run code inside a send, where
// the real channel would be waiting for the generator's reply.
struct QueueFixture : ::testing::Test {
    TLineOwner line;
    QStringList sent;
    // Commands sent while another send was still waiting for its reply.
    QStringList sentNested;
    int sending = 0;
    int readBacks = 0;
    std::function<void(const QString&)> duringSend;
    TTaskQueue queue{line, [this](const QString& c) {
                         sent << c;
                         if (sending > 0)
                             sentNested << c;
                         ++sending;
                         if (duringSend)
                             duringSend(c);
                         --sending;
                         return QStringLiteral("ok");
                     }};
    QueueFixture()
    {
        QObject::connect(&queue, &TTaskQueue::ReadBackDue, [this] {
            sent << "<read-back>";
            ++readBacks;
        });
    }
};

}  // namespace

TEST_F(QueueFixture, SendsEveryCommandOnceInOrderIncludingThoseAddedWhileWaiting)
{
    queue.QueuedCommandToPort(":PULS1:DEL 0.000000100000");
    queue.QueuedCommandToPort(":PULS1:DEL 0.000000110000");
    EXPECT_TRUE(queue.Awake());
    // While the first reply is awaited the user edits again and a timer tick
    // comes due: the edit joins this pass, the nested tick sends nothing.
    duringSend = [this](const QString& c) {
        if (c.endsWith("100000")) {
            queue.QueuedCommandToPort(":PULS2:WIDT 0.000001000");
            queue.TaskTimerTimer();
        }
    };
    queue.TaskTimerTimer();
    EXPECT_EQ(sent, (QStringList{":PULS1:DEL 0.000000100000", ":PULS1:DEL 0.000000110000", ":PULS2:WIDT 0.000001000"}));
    EXPECT_TRUE(sentNested.isEmpty()) << sentNested.join('|').toStdString();
    EXPECT_EQ(queue.TaskCount(), 0);
    EXPECT_FALSE(queue.CommandsPending());
    // With nothing left to do the timer rests until the next command or request.
    EXPECT_FALSE(queue.Awake());
    queue.RequestReadBack();
    EXPECT_TRUE(queue.Awake());
}

TEST_F(QueueFixture, ABurstBeyondAHundredCommandsIsKeptWhole)
{
    for (int i = 0; i < 1000; ++i)
        queue.QueuedCommandToPort(QString(":PULS1:BCO %1").arg(i + 1));
    queue.ProcessTasks();
    ASSERT_EQ(sent.size(), 1000);
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(sent[i], QString(":PULS1:BCO %1").arg(i + 1));
}

TEST_F(QueueFixture, DuringAReadBackCommandsAreDroppedAndRequestsWaitForItsEnd)
{
    queue.DisableCommands();
    queue.QueuedCommandToPort(":PULS0:MOD BURS");
    queue.RequestRecall(2);
    EXPECT_EQ(queue.TaskCount(), 0);
    EXPECT_FALSE(queue.Awake());
    // A tick that comes anyway leaves the request for later: the read-back
    // under way would refuse another.
    queue.ProcessTasks();
    EXPECT_TRUE(sent.isEmpty());
    EXPECT_FALSE(queue.Awake());

    queue.EnableCommands();
    EXPECT_TRUE(queue.Awake());
    queue.ProcessTasks();
    EXPECT_EQ(sent, (QStringList{"*RCL 2", "<read-back>"}));
}

// The user's order holds within one tick: a recall goes out among the
// commands where it was asked for, and the read-back comes after them all,
// so that it reads what they set.
TEST_F(QueueFixture, ARecallKeepsItsPlaceAmongTheCommandsAndTheReadBackComesLast)
{
    struct Case {
        const char* name;
        std::function<void()> asks;
        QStringList expected;
    };
    const Case cases[] = {
        {"edit, recall, edit",
         [&] {
             queue.QueuedCommandToPort(":PULS1:WIDT 0.000002000");
             queue.RequestRecall(3);
             queue.QueuedCommandToPort(":PULS0:STAT ON");
         },
         {":PULS1:WIDT 0.000002000", "*RCL 3", ":PULS0:STAT ON", "<read-back>"}},
        {"recall of the default bin, then an edit",
         [&] {
             queue.RequestRecall(0);
             queue.QueuedCommandToPort(":PULS0:STAT ON");
         },
         {"*RCL 0", ":PULS0:STAT ON", "<read-back>"}},
        {"edit, recall",
         [&] {
             queue.QueuedCommandToPort(":PULS0:STAT ON");
             queue.RequestRecall(2);
         },
         {":PULS0:STAT ON", "*RCL 2", "<read-back>"}},
        {"a later recall replaces the earlier one, in its own place",
         [&] {
             queue.RequestRecall(1);
             queue.QueuedCommandToPort(":PULS0:STAT ON");
             queue.RequestRecall(4);
         },
         {":PULS0:STAT ON", "*RCL 4", "<read-back>"}},
        {"refresh, edit",
         [&] {
             queue.RequestReadBack();
             queue.QueuedCommandToPort(":PULS0:STAT ON");
         },
         {":PULS0:STAT ON", "<read-back>"}},
        {"edit only", [&] { queue.QueuedCommandToPort(":PULS0:STAT ON"); }, {":PULS0:STAT ON"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sent.clear();
        c.asks();
        queue.ProcessTasks();
        EXPECT_EQ(sent, c.expected);
        EXPECT_FALSE(queue.RecallRequested().has_value());
        EXPECT_FALSE(queue.ReadBackRequested());
    }
}

TEST_F(QueueFixture, ATickDuringAStatusPollWaitsAndAfterExitSendsNothing)
{
    queue.QueuedCommandToPort("*SAV 2");
    bool polling = true;
    queue.SetPollInFlight([&polling] { return polling; });
    queue.ProcessTasks();
    EXPECT_TRUE(sent.isEmpty());
    EXPECT_EQ(queue.TaskCount(), 1);
    EXPECT_TRUE(queue.Awake());

    polling = false;
    line.SetEnding();
    queue.ProcessTasks();
    EXPECT_TRUE(sent.isEmpty());
    EXPECT_FALSE(queue.Awake());
    queue.RequestReadBack();
    EXPECT_FALSE(queue.Awake());
}
