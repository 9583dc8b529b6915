// Read-back cases off the straight road: answers the program does not know,
// a generator without the mux-gate query, repeated read-backs, the period
// counter switched off afterwards, a generator that falls silent, nested
// requests and the demonstration mode.
#include "readback/ReadBackRig.h"

#include "model/ProgramState.h"
#include "scheduling/TaskQueue.h"
#include "settings/SettingsHandlers.h"
#include "widgets/PlusSpinEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QTabWidget>

#include <gtest/gtest.h>
#include "jt6400/Version.h"

namespace {

QStringList items(const QComboBox* box)
{
    QStringList l;
    for (int i = 0; i < box->count(); ++i)
        l << box->itemText(i);
    return l;
}

QStringList items(const QListWidget* list)
{
    QStringList l;
    for (int i = 0; i < list->count(); ++i)
        l << list->item(i)->text();
    return l;
}

TEST(ReadBackAnswers, UnknownKeywordKeepsIndexAndIsWrittenAsReceived)
{
    TReadBackRig rig;
    rig.Connect("6404+");
    // The generator answers "?" to the mode and polarity queries of these.
    rig.Server->withGenerator([](jt6400sim::Generator& g) {
        jt6400sim::Settings s = g.settings();
        s.system.SystemMode = 9;
        s.channels[1].Polarity = 7;
        g.setSettings(s);
    });
    TProgramState& st = rig.State();
    st.SystemSettings.SystemMode = TSystemMode::DutyCycle;
    st.ChannelSettings[2].Polarity = TChannelPolarity::Inverted;
    rig.Form().ChannelControls.ChPolaritySel[2]->setCurrentIndex(1);  // stale: differs from the record

    ASSERT_TRUE(rig.ReadBack->Initialize());
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(st.SystemSettings.SystemMode, TSystemMode::DutyCycle);
    EXPECT_EQ(rig.Form().SystemModeSel->currentIndex(), 3);
    EXPECT_EQ(st.ChannelSettings[2].Polarity, TChannelPolarity::Inverted);
    // The control shows the kept value, not what it showed before.
    EXPECT_EQ(rig.Form().ChannelControls.ChPolaritySel[2]->currentIndex(), 0);
    EXPECT_TRUE(st.SettingsList.contains(":PULS0:MOD ?"));
    EXPECT_TRUE(st.SettingsList.contains(":PULS2:POL ?"));
    // Duty-cycle mode kept: its counts are the editable ones.
    EXPECT_TRUE(rig.Form().SysDutyOnAdj->Enabled());
    EXPECT_FALSE(rig.Form().SysBurstAdj->Enabled());
}

TEST(ReadBackAnswers, GeneratorWithoutMuxGateQuery)
{
    TReadBackRig rig;
    jt6400sim::GeneratorOptions g;
    g.muxGateSupported = false;
    rig.Connect("6404", {}, g);
    ASSERT_TRUE(rig.ReadBack->Initialize());
    ASSERT_TRUE(rig.Settle());
    const TProgramState& st = rig.State();
    EXPECT_FALSE(st.MuxGateSupported);
    const QStringList sent = rig.Received();
    EXPECT_EQ(sent.filter(":MUXG").size(), 1);  // the probe only
    EXPECT_TRUE(sent.contains(":PULS1:MUXG?"));
    EXPECT_TRUE(st.SettingsList.filter(":MUXG").isEmpty());
    for (int n = 1; n <= 4; ++n)
        EXPECT_TRUE(rig.Form().ChannelControls.ChMuxGateGrp[n]->isHidden()) << n;
    // Every other query of the standard channels is still made.
    EXPECT_EQ(sent.filter(":OUTP:AMPL?").size(), 4);
    EXPECT_EQ(sent.filter(":MUX?").size(), 4);
}

TEST(ReadBackAnswers, SyncAnswersOutsideTheListLeaveADefinedSelection)
{
    TReadBackRig rig;
    rig.Connect("6402");
    rig.Server->withGenerator([](jt6400sim::Generator& g) {
        jt6400sim::Settings s = g.settings();
        s.channels[0].SyncSource = 8;  // CHH on a two-channel generator
        s.channels[1].SyncSource = 2;  // channel B synchronised to itself
        g.setSettings(s);
    });
    ASSERT_TRUE(rig.ReadBack->Initialize());
    ASSERT_TRUE(rig.Settle());
    const TChannelControls& c = rig.Form().ChannelControls;
    const TProgramState& st = rig.State();
    EXPECT_EQ(st.ChannelSettings[1].SyncSource, 8);
    EXPECT_EQ(c.ChSyncSourceSel[1]->currentIndex(), -1);
    EXPECT_EQ(c.ChSyncSourceSel[1]->currentText(), "Ch H");
    EXPECT_EQ(st.ChannelSettings[2].SyncSource, 2);
    EXPECT_EQ(c.ChSyncSourceSel[2]->currentIndex(), -1);
    EXPECT_EQ(c.ChSyncSourceSel[2]->currentText(), "Ch B");
    EXPECT_TRUE(st.SettingsList.contains(":PULS1:SYNC CHH"));
    // The read-back went on to the end.
    EXPECT_EQ(rig.Received().last(), ":PULS2:MUXG?");
}

TEST(SyncSelectionRule, Table)
{
    const QStringList list{"T0", "Ch A", "Ch C"};  // channel B's list on a 4-channel model
    struct Row {
        const char* answer;
        int previous;
        int source, index;
        const char* text;
    } rows[] = {
        {"T0", 3, 0, 0, ""},       {"CHC", 0, 3, 2, ""},      {"ChA", 0, 1, 1, ""},
        {"CHB", 0, 2, -1, "Ch B"}, {"CHE", 1, 5, -1, "Ch E"}, {"", 3, 3, 2, ""},
        {"XYZ", 1, 1, 1, ""},      {"chc", 0, 0, 0, ""},      {"", 7, 7, -1, "Ch G"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.answer);
        const TSyncSelection s = SyncSelection(list, r.answer, r.previous);
        EXPECT_EQ(s.SyncSource, r.source);
        EXPECT_EQ(s.ItemIndex, r.index);
        EXPECT_EQ(s.EditText, r.text);
    }
}

TEST(ReadBackRepeat, SecondReadBackChangesNoListShapes)
{
    TReadBackRig rig;
    rig.Connect("6424");
    ASSERT_TRUE(rig.ReadBack->Initialize());
    ASSERT_TRUE(rig.Settle());
    const QStringList first = rig.Received();
    const TChannelControls& c = rig.Form().ChannelControls;
    std::vector<QStringList> before;
    for (int n = 1; n <= 8; ++n)
        before.push_back(items(c.ChSyncSourceSel[n]) + items(c.ChGateModeSel[n]) + items(c.ChMuxSel[n]));
    const QStringList ext = items(rig.Form().ExtModeSel);
    const QStringList firstList = rig.State().SettingsList.mid(1);

    rig.Mark();
    ASSERT_TRUE(rig.ReadBack->Initialize());
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(rig.Received(), first);
    EXPECT_EQ(rig.State().SettingsList.mid(1), firstList);
    EXPECT_EQ(items(rig.Form().ExtModeSel), ext);
    EXPECT_EQ(ext.size(), 4);
    EXPECT_EQ(ext.count("ReArm"), 1);
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(items(c.ChSyncSourceSel[n]) + items(c.ChGateModeSel[n]) + items(c.ChMuxSel[n]),
                  before[static_cast<std::size_t>(n - 1)])
            << n;
        EXPECT_EQ(c.ChGateModeSel[n]->count(), 5);
        EXPECT_EQ(c.ChSyncSourceSel[n]->count(), 8);
    }
}

TEST(ReadBackRepeat, RefreshWithPeriodCounterOnAndNoTriggerSwitchesItOffTwice)
{
    TReadBackRig rig;
    rig.Connect("6402+", {":PULS0:EXT:MODE DIS", ":PULS0:EXTP:STAT ON"});
    TMainForm& f = rig.Form();
    TTaskQueue& queue = rig.App->Queue();
    // The program's change handlers, bound to the read-back as the program
    // binds them (the poll they know of stays off).
    TStatusPoll poll(f, rig.State(), rig.App->Comm(), rig.App->Line(), rig.Dialogs, *rig.App);
    TSettingsHandlers handlers(f, rig.State(), queue, poll, rig.Dialogs);
    ConnectHandlers(*rig.ReadBack, handlers);
    int edits = 0;
    QObject::connect(&f, &TMainForm::SettingEdited, [&] { ++edits; });

    // Tools > Refresh, carried out by the task tick.
    f.RefreshAction->trigger();
    EXPECT_TRUE(queue.ReadBackRequested());
    EXPECT_TRUE(rig.Received().isEmpty());
    queue.ProcessTasks();
    ASSERT_TRUE(rig.SettleQueue());

    EXPECT_FALSE(queue.ReadBackRequested());
    EXPECT_EQ(edits, 0);  // what the read-back shows, and the rule's unticking, are no edits
    EXPECT_FALSE(f.PeriodCounterEn->isChecked());
    EXPECT_FALSE(f.PeriodCounterEn->isEnabled());
    EXPECT_EQ(rig.State().SystemSettings.PeriodCounterEnabled, 0);
    // The snapshot holds the state read; the two commands went out after it.
    EXPECT_TRUE(rig.State().SettingsList.contains(":PULS0:EXTP:STAT 1"));
    const QStringList sent = rig.Received();
    ASSERT_GE(sent.size(), 3);
    EXPECT_EQ(sent.mid(sent.size() - 3), (QStringList{":PULS4:CGAT?", ":PULS0:EXTP:STAT OFF", ":PULS0:EXTP:STAT OFF"}));
    EXPECT_EQ(
        rig.Server->withGenerator([](jt6400sim::Generator& g) { return g.settings().system.PeriodCounterEnabled; }), 0);
}

// Lines the generator receives during discovery.
constexpr long kDiscoveryLines = 4;

TEST(ReadBackSilence, GeneratorFallingSilentGivesZerosAndAsksWhatToDo)
{
    TReadBackRig rig;
    jt6400sim::ServerOptions o;
    // Answers discovery, the ten system queries, the probe and channel A's
    // first two; silent from channel A's width on.
    o.stopAfter = kDiscoveryLines + 10 + 1 + 2;
    rig.WithPoll = true;
    rig.Connect("6402", {":PULS1:WIDT 0.000005", ":PULS1:CMOD BURS", ":PULS2:BCO 44"}, {}, o);
    // Short enough to keep the test quick, long enough that an answered query
    // is never taken for a lost one on a busy machine.
    rig.App->Port().SetResponseTime(300);
    for (int i = 0; i < 40; ++i)
        rig.Dialogs.Answers << TMsgButton::mbIgnore;
    TProgramState& st = rig.State();
    st.ChannelSettings[1].Mode = TChannelMode::Burst;
    st.ChannelSettings[1].SyncSource = 0;
    // Looks at the poll between the window's events while the read-back
    // runs; once it has ended the poll is stopped, its rounds are not part of
    // this test's traffic.
    TTaskQueue& queue = rig.App->Queue();
    int statusDuring = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (queue.CommandsDisabled() && rig.Poll->Active())
            ++statusDuring;
    });
    sampler.start(1);
    // The timers as the read-back leaves them (the queue's first idle tick
    // stops its own again).
    bool pollAfter = false, queueAfter = false;
    QObject::connect(rig.ReadBack.get(), &TReadBack::SettingsChanged, [&] {
        pollAfter = rig.Poll->Active();
        queueAfter = queue.Awake();
        rig.Poll->Stop();
    });

    ASSERT_TRUE(rig.ReadBack->Initialize());
    ASSERT_TRUE(rig.Settle());
    const TChannelSettings& a = st.ChannelSettings[1];
    EXPECT_EQ(a.Enabled, 1);  // answered
    EXPECT_EQ(a.Width, 0);    // unanswered numbers are 0
    EXPECT_EQ(a.Mode, TChannelMode::Burst);    // unanswered keywords keep their value
    EXPECT_EQ(st.ChannelSettings[2].BurstCount, 0);
    EXPECT_EQ(st.ChannelSettings[2].Enabled, 0);
    EXPECT_FALSE(rig.Form().ChannelControls.ChEnableBox[2]->isChecked());
    EXPECT_TRUE(st.SettingsList.contains(":PULS1:WIDT 0"));
    EXPECT_TRUE(st.SettingsList.contains(":PULS1:CMOD "));
    EXPECT_TRUE(st.SettingsList.contains(":PULS2:BCO 0"));
    // Every unanswered query asked; the read-back went on to its end.
    const int channelQueries = 2 * 14;
    EXPECT_EQ(rig.Dialogs.Texts().count("Communications lost. Restart?"), channelQueries - 2);
    EXPECT_EQ(rig.Received().size(), 10 + 1 + channelQueries);
    // The status poll stays off while the read-back runs, whatever the
    // answer to the question restarted.
    EXPECT_EQ(statusDuring, 0);
    EXPECT_TRUE(pollAfter);
    EXPECT_TRUE(queueAfter);
    EXPECT_FALSE(queue.CommandsDisabled());
}

TEST(ReadBackSilence, AnsweringNoEndsTheReadBackAtOnce)
{
    TReadBackRig rig;
    jt6400sim::ServerOptions o;
    o.stopAfter = kDiscoveryLines + 5;
    rig.WithPoll = true;
    rig.Connect("6404+", {}, {}, o);
    // Short enough to keep the test quick, long enough that an answered query
    // is never taken for a lost one on a busy machine.
    rig.App->Port().SetResponseTime(300);
    rig.Dialogs.Answers << TMsgButton::mbNo;

    rig.App->LaunchTimerTimer();
    ASSERT_TRUE(rig.Settle());
    EXPECT_TRUE(rig.App->Ending());
    // Five answered queries and the one that went unanswered; nothing after.
    EXPECT_EQ(rig.Received().size(), 6);
    EXPECT_EQ(rig.Dialogs.Texts(), QStringList{"Communications lost. Restart?"});
    EXPECT_FALSE(rig.App->MessageForm().isVisible());
    EXPECT_FALSE(rig.App->Queue().Awake());
    EXPECT_FALSE(rig.Poll->Active());
    EXPECT_FALSE(rig.ReadBack->Running());
    // A later request does nothing once the program is ending.
    EXPECT_FALSE(rig.ReadBack->Initialize());
}

TEST(ReadBackNesting, RequestsDuringAReadBackAreRefused)
{
    TReadBackRig rig;
    rig.Connect("6402");
    TMainForm& f = rig.Form();
    bool nestedResult = true;
    QList<bool> menusDuring;
    bool refreshDuring = true;
    QTimer::singleShot(0, [&] {
        nestedResult = rig.ReadBack->Initialize();
        for (QAction* a : {f.RefreshAction, f.SaveToFileAction, f.RestoreFromFileAction, f.SaveToBinActions[1],
                           f.RestoreFromBinActions[0]})
            menusDuring << a->isEnabled();
        f.RefreshAction->trigger();  // greyed: no request
        refreshDuring = rig.App->Queue().ReadBackRequested();
    });
    f.SaveToBinActions[3]->setEnabled(false);  // a state of its own, kept afterwards

    ASSERT_TRUE(rig.ReadBack->Initialize());
    ASSERT_TRUE(rig.Settle());
    EXPECT_FALSE(nestedResult);
    EXPECT_EQ(menusDuring, (QList<bool>{false, false, false, false, false}));
    EXPECT_FALSE(refreshDuring);
    EXPECT_TRUE(f.RefreshAction->isEnabled());
    EXPECT_TRUE(f.RestoreFromBinActions[0]->isEnabled());
    EXPECT_FALSE(f.SaveToBinActions[3]->isEnabled());
    // One query sequence only.
    EXPECT_EQ(rig.Received().filter(":PULS0:PER?").size(), 1);
    EXPECT_EQ(rig.Received().size(), 10 + 1 + 2 * 14);
}

TEST(ReadBackDemo, FixedLabelsAndNoQuery)
{
    TReadBackRig rig;
    rig.Keys.LeftShift = {true};
    rig.WithPoll = true;
    rig.Start();
    TMainForm& f = rig.Form();
    const QString widthBefore = f.ChannelControls.ChWidthAdj[1]->Text();
    rig.App->LaunchTimerTimer();
    EXPECT_EQ(f.windowTitle(), " Model 6404+  SW Version: " JT6400_VERSION " ComPort: Demo");
    EXPECT_EQ(f.SerialNumberLbl->text(), "Serial Number: 1234");
    EXPECT_EQ(f.FWVersionLbl->text(), "Firmware Ver: 1.00");
    EXPECT_EQ(f.FPGAVersionLbl->text(), "FPGA Ver: 1.25");
    const TProgramState& st = rig.State();
    EXPECT_TRUE(st.PlusOption);
    ASSERT_EQ(st.SettingsList.size(), 1);
    EXPECT_TRUE(QRegularExpression(R"(^// [^,]+,\d\d:\d\d:\d\d$)").match(st.SettingsList[0]).hasMatch());
    EXPECT_EQ(st.ChannelCount, 0);
    EXPECT_EQ(st.TimingResolution, 0);
    EXPECT_FALSE(rig.App->Queue().CommandsDisabled());
    EXPECT_FALSE(rig.Poll->Active());
    EXPECT_EQ(f.ChannelControls.ChWidthAdj[1]->Text(), widthBefore);
    EXPECT_FALSE(rig.App->Port().Opened());
}

}  // namespace

namespace {

// The read-back runs on the line owner's thread: Initialize returns before
// the first answer, the window's event loop keeps turning meanwhile, and no
// pause between exchanges is taken on the window's thread.
TEST(ReadBackThread, TheWindowThreadNeitherPausesNorWaitsForTheLine)
{
    TReadBackRig rig;
    rig.Connect("6424");
    const int pausesBefore = TLineOwner::WindowThreadPauses();
    int ticksDuring = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (rig.ReadBack->Running())
            ++ticksDuring;
    });
    ticker.start();
    ASSERT_TRUE(rig.ReadBack->Initialize());
    EXPECT_TRUE(rig.ReadBack->Running());
    ASSERT_TRUE(rig.Settle());
    ticker.stop();
    EXPECT_FALSE(rig.ReadBack->Running());
    EXPECT_GT(ticksDuring, 0);
    EXPECT_EQ(rig.Received().last(), ":PULS8:CGAT?");  // it read to the last channel
    EXPECT_EQ(TLineOwner::WindowThreadPauses(), pausesBefore);
}

}  // namespace
