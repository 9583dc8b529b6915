// The system page, Run/Stop and the Plus page, from the window to the
// simulated generator.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMovie>
#include <QPushButton>

#include "readback/Enabling.h"
#include "settings/PanelFixture.h"
#include "widgets/PlusSpinEdit.h"

namespace {

void Pick(QComboBox* list, int index)
{
    list->setCurrentIndex(index);
    emit list->activated(index);
}

}  // namespace

TEST_F(Panel, SystemEditsReachTheGenerator)
{
    Connect("6404+");
    TMainForm& f = form();
    struct Case {
        QStringList commands;
        std::function<void()> edit;
    };
    const Case cases[] = {
        {{":PULS0:PER 0.002000000"}, [&] { f.PeriodAdj->setValue(2e-3); }},
        {{":PULS0:PER 0.000000120"}, [&] { f.PeriodAdj->setValue(1.2e-7); }},
        {{":PULS0:BCO 4000000000"}, [&] { f.SysBurstAdj->setValue(4e9); }},
        {{":PULS0:PCO 3000000000"}, [&] { f.SysDutyOnAdj->setValue(3e9); }},
        {{":PULS0:OCO 12"}, [&] { f.SysDutyOffAdj->setValue(12); }},
        {{":PULS0:MOD BURS"}, [&] { Pick(f.SystemModeSel, 2); }},
        {{":PULS0:EXT:MOD TRIG"}, [&] { Pick(f.ExtModeSel, 1); }},
        {{":PULS0:EXT:EDG FALL"}, [&] { Pick(f.TriggerEdgeSel, 0); }},
        {{":PULS0:EXT:LEV 2.50"},
         [&] {
             f.TrigThresholdAdj->setValue(3);
             f.TrigThresholdAdj->setValue(2.5);
         }},
        {{":PULS0:EXT:POL LOW"}, [&] { Pick(f.GatePolaritySel, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commands.join(" ").toStdString());
        c.edit();
        const QStringList sent = Sent();
        ASSERT_FALSE(sent.isEmpty());
        EXPECT_EQ(sent.back(), c.commands.back());
    }
    const jt6400sim::Settings g = GeneratorSettings();
    EXPECT_DOUBLE_EQ(g.system.Period, 1.2e-7);
    EXPECT_EQ(g.system.BurstCount, 4000000000u);
    EXPECT_EQ(state().SystemSettings.BurstCount, 4000000000u);
    EXPECT_EQ(g.system.DutyOnCount, 3000000000u);
    EXPECT_EQ(g.system.SystemMode, 2);
    EXPECT_EQ(g.system.ExtMode, 1);
    EXPECT_EQ(g.system.TriggerEdge, 0);
    EXPECT_EQ(g.system.GatePolarity, 0);
    // Burst mode: the burst count is editable, the duty-cycle counts are not.
    EXPECT_TRUE(ControlEnabled(f.SysBurstAdj));
    EXPECT_FALSE(ControlEnabled(f.SysDutyOnAdj));
}

TEST_F(Panel, APeriodOffTheStepIsRoundedToTheNearestStep)
{
    Connect("6404+");
    form().PeriodAdj->setValue(1.2e-7);
    Sent();
    form().PeriodAdj->setValue(1.23e-7);
    EXPECT_NEAR(form().PeriodAdj->Value(), 1.25e-7, 1e-15);
    EXPECT_EQ(Sent(), QStringList{":PULS0:PER 0.000000125"});
    form().PeriodAdj->setValue(1.22e-7);
    EXPECT_NEAR(form().PeriodAdj->Value(), 1.2e-7, 1e-15);
    EXPECT_EQ(Sent(), QStringList{":PULS0:PER 0.000000120"});
}

TEST_F(Panel, AutoStartIsSentButNotStored)
{
    Connect("6404+");
    const TSystemSettings before = state().SystemSettings;
    form().AutoStartEnbl->setChecked(true);
    EXPECT_EQ(Sent(), QStringList{":SYST:AUT 1"});
    EXPECT_EQ(state().SystemSettings, before);
}

TEST_F(Panel, RunAndStopShowAtOnceAndReachTheGenerator)
{
    Connect("6404+");
    TMainForm& f = form();
    f.show();
    f.RunStopBtn->click();
    EXPECT_EQ(f.RunStopBtn->text(), "Stop");
    EXPECT_TRUE(f.PulseAnimate->isVisible());
    EXPECT_EQ(f.PulseMovie->state(), QMovie::Running);
    EXPECT_TRUE(poll().Running());
    EXPECT_EQ(Sent(), QStringList{":PULS0:STAT ON"});
    bool running = false;
    generator->withGenerator([&](jt6400sim::Generator& g) { running = g.running(); });
    EXPECT_TRUE(running);

    f.RunStopBtn->click();
    EXPECT_EQ(f.RunStopBtn->text(), "Run");
    EXPECT_FALSE(f.PulseAnimate->isVisible());
    EXPECT_FALSE(poll().Running());
    EXPECT_EQ(Sent(), QStringList{":PULS0:STAT OFF"});
}

TEST_F(Panel, SwitchingTheTriggerOffStopsThePeriodCounter)
{
    Connect("6404+");
    TMainForm& f = form();
    Pick(f.ExtModeSel, 1);
    f.PeriodCounterEn->setChecked(true);
    EXPECT_EQ(Sent(), (QStringList{":PULS0:EXT:MOD TRIG", ":PULS0:EXTP:STAT ON"}));
    Pick(f.ExtModeSel, 0);
    EXPECT_EQ(Sent(), (QStringList{":PULS0:EXT:MOD DIS", ":PULS0:EXTP:STAT OFF", ":PULS0:EXTP:STAT OFF"}));
    EXPECT_FALSE(f.PeriodCounterEn->isChecked());
    EXPECT_EQ(state().SystemSettings.PeriodCounterEnabled, 0);

    // Gated: the counter is greyed but left running.
    Pick(f.ExtModeSel, 1);
    f.PeriodCounterEn->setChecked(true);
    Sent();
    Pick(f.ExtModeSel, 2);
    EXPECT_EQ(Sent(), QStringList{":PULS0:EXT:MOD GAT"});
    EXPECT_TRUE(f.PeriodCounterEn->isChecked());
    EXPECT_FALSE(f.PeriodCounterEn->isEnabled());
    EXPECT_EQ(state().SystemSettings.PeriodCounterEnabled, 1);
}

TEST_F(Panel, PlusFeatureEditsReachTheGenerator)
{
    Connect("6404+");
    TMainForm& f = form();
    Pick(f.ExtModeSel, 1);  // the period counter needs the trigger input
    Sent();
    struct Case {
        const char* command;
        std::function<void()> edit;
    };
    const Case cases[] = {
        {":PULS0:COUN:STAT 1", [&] { f.ShotCountEnbl->setChecked(true); }},
        {":PULS0:COUN:SOUR CHB", [&] { Pick(f.ShotCountSel, 2); }},
        {":PULS0:COUN:CL", [&] { f.ClearShotCount->click(); }},
        {":PULS0:EXTP:AUT ON", [&] { f.PeriodCounterAutoEn->setChecked(true); }},
        {":PULS0:EXTP:NCOU 15", [&] { f.PeriodCountAdj->setValue(15); }},
        {":PULS0:EXTP:CL", [&] { f.PeriodCountClear->click(); }},
        {":SYST:UPD:AUTO 0", [&] { f.SynchEnable->setChecked(true); }},
        {":SYST:UPD:EX", [&] { f.SynchUpdateBtn->click(); }},
        {":SYST:UPD:AUTO 1", [&] { f.SynchEnable->setChecked(false); }},
        {":PULS0:CCO 500", [&] { f.CycleCountAdj->setValue(500); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        c.edit();
        EXPECT_EQ(Sent(), QStringList{c.command});
    }
    EXPECT_EQ(f.PeriodCountLbl->text(), "P: ----");
    EXPECT_FALSE(f.SynchUpdateBtn->isEnabled());
    const jt6400sim::Settings g = GeneratorSettings();
    EXPECT_EQ(g.system.ShotCountEnabled, 1);
    EXPECT_EQ(g.system.ShotCountSource, 2);
    EXPECT_EQ(g.system.PeriodsToAverage, 15);
    EXPECT_EQ(g.system.CycleCount, 500);
    EXPECT_EQ(state().SystemSettings.SyncUpdateAuto, 1);
}
