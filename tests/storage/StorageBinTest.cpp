// Storage bins: saves go through the command queue, recalls through the
// task tick, one recall per tick.
#include <gtest/gtest.h>

#include <QAction>

#include "model/ProgramState.h"
#include "storage/StorageTestSupport.h"
#include "scheduling/TaskQueue.h"

namespace {

class StorageBins : public StorageFixture {
protected:
    void CountReadBacks()
    {
        OnReadBack([this] { ++ReadBacks; });
    }
    int ReadBacks = 0;
};

TEST_F(StorageBins, EveryMenuEntryQueuesItsSaveOrSetsItsRecall)
{
    MakeApp();
    TMainForm& f = App->Form();
    for (int bin = 1; bin <= 6; ++bin)
        f.SaveToBinActions[bin]->trigger();
        ASSERT_TRUE(Settle());
    const auto& pending = App->Queue().Pending();
    EXPECT_EQ(QStringList(pending.begin(), pending.end()),
              (QStringList{"*SAV 1", "*SAV 2", "*SAV 3", "*SAV 4", "*SAV 5", "*SAV 6"}));
    for (int bin = 0; bin <= 6; ++bin) {
        f.RestoreFromBinActions[bin]->trigger();
        ASSERT_TRUE(Settle());
        EXPECT_EQ(App->Queue().RecallRequested(), std::optional<int>(bin));
    }
    EXPECT_EQ(App->Queue().TaskCount(), 6);  // recalls send nothing from the menu
}

TEST_F(StorageBins, SaveAfterQueuedEditsHoldsThem)
{
    Connect("6404");
    App->Queue().QueuedCommandToPort(":PULS0:PER 0.005");
    App->Queue().QueuedCommandToPort(":PULS2:WIDT 0.000002");
    App->Form().SaveToBinActions[2]->trigger();
    ASSERT_TRUE(Settle());
    App->Queue().ProcessTasks();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Received(), (QStringList{":PULS0:PER 0.005", ":PULS2:WIDT 0.000002", "*SAV 2"}));
    const auto bin2 = Sim->withGenerator([](jt6400sim::Generator& g) { return g.bin(2); });
    EXPECT_DOUBLE_EQ(bin2.system.Period, 0.005);
    EXPECT_DOUBLE_EQ(bin2.channels[1].Width, 2e-6);
}

TEST_F(StorageBins, OnlyTheLastRecallBeforeATickIsLoaded)
{
    Connect("6404");
    CountReadBacks();
    Sim->withGenerator([](jt6400sim::Generator& g) {
        g.handle(":PULS0:PER 0.003");
        g.handle("*SAV 3");
        g.handle(":PULS0:PER 0.007");
        g.handle("*SAV 5");
        g.handle(":PULS0:PER 0.001");
    });
    App->Form().RestoreFromBinActions[3]->trigger();
    ASSERT_TRUE(Settle());
    App->Form().RestoreFromBinActions[5]->trigger();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Received(), QStringList{});
    App->Queue().ProcessTasks();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Received(), QStringList{"*RCL 5"});
    EXPECT_EQ(ReadBacks, 1);
    EXPECT_DOUBLE_EQ(SimSettings().system.Period, 0.007);
    EXPECT_FALSE(App->Queue().RecallRequested().has_value());

    App->Form().RestoreFromBinActions[0]->trigger();
    ASSERT_TRUE(Settle());
    App->Queue().ProcessTasks();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Received(), QStringList{"*RCL 0"});
    EXPECT_DOUBLE_EQ(SimSettings().system.Period,
                     jt6400sim::defaultSettings(jt6400sim::modelInfo("6404")).system.Period);
    EXPECT_EQ(ReadBacks, 2);
}

}  // namespace
