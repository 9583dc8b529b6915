#include <gtest/gtest.h>

#include <QStringList>

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

TEST_F(QueueFixture, RecallAndRefreshRunBeforeQueuedCommands)
{
    struct Case {
        int recall, refresh, bin;
        QStringList expected;
    };
    const Case cases[] = {
        {-1, 0, 3, {"*RCL 3", "<read-back>", ":PULS0:STAT ON"}},
        {-1, 0, 0, {"*RCL 0", "<read-back>", ":PULS0:STAT ON"}},
        {0, -1, 5, {"<read-back>", ":PULS0:STAT ON"}},
        {0, 0, 5, {":PULS0:STAT ON"}},
    };
    for (const Case& c : cases) {
        sent.clear();
        if (c.recall)
            queue.RequestRecall(c.bin);
        if (c.refresh)
            queue.RequestReadBack();
        queue.QueuedCommandToPort(":PULS0:STAT ON");
        queue.ProcessTasks();
        EXPECT_EQ(sent, c.expected) << c.bin;
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
