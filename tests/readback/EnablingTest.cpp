// The mode-dependent enabling rules on a window of their own.
#include "readback/Enabling.h"

#include "window/MainForm.h"
#include "model/ProgramState.h"
#include "comm/LineOwner.h"
#include "scheduling/TaskQueue.h"
#include "widgets/PlusSpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class Enabling : public ::testing::Test {
protected:
    TMainForm form;
    TProgramState state;
    TLineOwner line;
    TTaskQueue queue{line, {}};

    QWidget* w(const char* name) { return form.findChild<QWidget*>(name); }
    // Enabled as the user meets it: widget state and, for spin edits, the own flag.
    bool on(QWidget* c) { return c->isEnabled() && ControlEnabled(c); }
};

TEST_F(Enabling, SystemModes)
{
    struct Row {
        int mode;
        bool burst, duty;
    } rows[] = {{0, false, false}, {1, false, false}, {2, true, false}, {3, false, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.mode);
        state.SystemSettings.SystemMode = ModeAt<TSystemMode>(r.mode);
        SystemModesEnable(form, state);
        for (QWidget* c : {w("BurstCountGrp"), static_cast<QWidget*>(form.SysBurstAdj)})
            EXPECT_EQ(on(c), r.burst) << c->objectName().toStdString();
        for (QWidget* c :
             {w("DutyCycleGrp"), static_cast<QWidget*>(form.SysDutyOnAdj), static_cast<QWidget*>(form.SysDutyOffAdj),
              w("DutyCycleCCGrp"), static_cast<QWidget*>(form.CycleCountAdj)})
            EXPECT_EQ(on(c), r.duty) << c->objectName().toStdString();
        EXPECT_FALSE(form.SysBurstAdj->Enabled() != r.burst);
    }
    // A mode outside the table changes nothing (duty cycle stays editable).
    state.SystemSettings.SystemMode = ModeAt<TSystemMode>(7);
    SystemModesEnable(form, state);
    EXPECT_TRUE(on(form.SysDutyOnAdj));
    EXPECT_FALSE(on(form.SysBurstAdj));
}

TEST_F(Enabling, ChannelModesTouchOnlyTheirChannelsCounts)
{
    const TChannelControls& c = form.ChannelControls;
    state.ChannelSettings[3].Mode = TChannelMode::Burst;
    ChModesEnable(form, state, 3);
    EXPECT_TRUE(on(c.ChBurstAdj[3]));
    EXPECT_TRUE(on(c.ChBurstCountGrp[3]));
    EXPECT_FALSE(on(c.ChDutyOnAdj[3]));
    EXPECT_FALSE(on(c.ChDutyOffGrp[3]));
    EXPECT_TRUE(on(c.ChWidthAdj[3]));
    EXPECT_TRUE(on(c.ChDutyOnAdj[2]));  // other channels untouched

    state.ChannelSettings[3].Mode = TChannelMode::DutyCycle;
    ChModesEnable(form, state, 3);
    EXPECT_FALSE(on(c.ChBurstAdj[3]));
    EXPECT_TRUE(on(c.ChDutyOnAdj[3]));
    EXPECT_TRUE(on(c.ChDutyOffAdj[3]));

    state.ChannelSettings[3].Mode = ModeAt<TChannelMode>(4);
    ChModesEnable(form, state, 3);
    EXPECT_TRUE(on(c.ChDutyOnAdj[3]));
    ChModesEnable(form, state, 0);  // no such channel: nothing happens
    ChModesEnable(form, state, 9);

    state.ChannelSettings[3].Mode = TChannelMode::Normal;
    ChModesEnable(form, state, 3);
    EXPECT_FALSE(on(c.ChBurstAdj[3]));
    EXPECT_FALSE(on(c.ChDutyOnAdj[3]));
}

TEST_F(Enabling, TriggerModes)
{
    struct Row {
        int mode;
        bool threshold, gate, edge, counter;
    } rows[] = {{1, true, false, true, true},
                {3, true, false, true, true},  // re-arm keeps triggered states
                {2, true, true, false, false},
                {0, false, false, false, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.mode);
        state.SystemSettings.ExtMode = ModeAt<TExtMode>(r.mode);
        TriggerModesEnable(form, state);
        EXPECT_EQ(on(w("ExtThresholdGrp")), r.threshold);
        EXPECT_EQ(on(form.TrigThresholdAdj), r.threshold);
        EXPECT_EQ(on(w("GatePolGrp")), r.gate);
        EXPECT_EQ(on(form.GatePolaritySel), r.gate);
        EXPECT_EQ(on(w("ExtTrigEdgGrp")), r.edge);
        EXPECT_EQ(on(form.TriggerEdgeSel), r.edge);
        for (QWidget* c : {w("PeriodCounterGrp"), static_cast<QWidget*>(form.PeriodCounterEn),
                           static_cast<QWidget*>(form.PeriodCounterAutoEn), static_cast<QWidget*>(form.PeriodCountAdj),
                           static_cast<QWidget*>(form.PeriodCountClear)})
            EXPECT_EQ(ControlEnabled(c), r.counter) << c->objectName().toStdString();
    }
    EXPECT_EQ(queue.TaskCount(), 0);  // the period counter was off throughout
}

// The rules only grey controls: a disabled trigger greys the period counter
// but neither sends nor switches it off (the change handlers do that).
TEST_F(Enabling, NoTriggerGreysThePeriodCounterAndSendsNothing)
{
    form.PeriodCounterEn->setChecked(true);
    state.SystemSettings.PeriodCounterEnabled = 1;
    state.SystemSettings.ExtMode = TExtMode::Disabled;
    int edits = 0;
    QObject::connect(&form, &TMainForm::SettingEdited, [&] { ++edits; });
    TriggerModesEnable(form, state);
    EXPECT_EQ(queue.TaskCount(), 0);
    EXPECT_EQ(edits, 0);
    EXPECT_EQ(state.SystemSettings.PeriodCounterEnabled, 1);
    EXPECT_TRUE(form.PeriodCounterEn->isChecked());
    EXPECT_FALSE(form.PeriodCounterEn->isEnabled());
}

TEST_F(Enabling, EnabledAsParentReachesInnerGroups)
{
    QGroupBox* plus = form.PlusOptionGrp;
    SetControlEnabled(plus, false);
    EnabledAsParent(plus);
    for (QWidget* c : {static_cast<QWidget*>(form.ShotCountEnbl), static_cast<QWidget*>(form.ClearShotCount),
                       static_cast<QWidget*>(form.PeriodCountAdj), static_cast<QWidget*>(form.CycleCountAdj),
                       static_cast<QWidget*>(form.SynchUpdateBtn), w("PeriodCounterGrp"), w("GroupBox32")}) {
        EXPECT_FALSE(ControlEnabled(c)) << c->objectName().toStdString();
    }
    EXPECT_FALSE(form.PeriodCountAdj->Enabled());  // the spin edit's own flag too

    SetControlEnabled(plus, true);
    EnabledAsParent(plus);
    for (QWidget* c : {static_cast<QWidget*>(form.ShotCountEnbl), static_cast<QWidget*>(form.SynchUpdateBtn),
                       static_cast<QWidget*>(form.CycleCountAdj), w("DutyCycleCCGrp")})
        EXPECT_TRUE(on(c)) << c->objectName().toStdString();
    // Controls outside the container are not touched.
    SetControlEnabled(form.PeriodAdj, false);
    EnabledAsParent(plus);
    EXPECT_FALSE(form.PeriodAdj->Enabled());
}

}  // namespace
