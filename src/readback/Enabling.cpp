#include "readback/Enabling.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QPushButton>

#include "window/MainForm.h"
#include "model/ProgramState.h"
#include "scheduling/TaskQueue.h"
#include "widgets/PlusSpinEdit.h"

void SetControlEnabled(QWidget* control, bool enabled)
{
    if (!control)
        return;
    control->setEnabled(enabled);
    // A spin edit lays out and redraws its buttons on every change of state;
    // a read-back confirms far more states than it changes.
    if (auto* spin = qobject_cast<TPlusSpinEdit*>(control); spin && spin->Enabled() != enabled)
        spin->SetEnabled(enabled);
}

bool ControlEnabled(const QWidget* control)
{
    if (!control || control->testAttribute(Qt::WA_ForceDisabled))
        return false;
    if (auto* spin = qobject_cast<const TPlusSpinEdit*>(control))
        return spin->Enabled();
    return true;
}

namespace {

QWidget* named(TMainForm& form, const char* name)
{
    return form.findChild<QWidget*>(QString::fromLatin1(name));
}

void setAll(std::initializer_list<QWidget*> controls, bool enabled)
{
    for (QWidget* c : controls)
        SetControlEnabled(c, enabled);
}

// Containers in the sense of the enabling rule: widgets made to hold other
// controls (group boxes, plain frames and panels), not composite controls
// such as spin edits or combo boxes whose children are their own parts.
bool isContainer(const QWidget* w)
{
    const QMetaObject* mo = w->metaObject();
    return qobject_cast<const QGroupBox*>(w) || mo == &QWidget::staticMetaObject || mo == &QFrame::staticMetaObject;
}

}  // namespace

// Which mode groups a pulse mode uses: Continuous/Normal (0) and Single Shot
// (1) none, Burst (2) the burst count, Duty Cycle (3) the on and off counts.
// False for a mode outside the list, which leaves the controls as they are.
static bool ModeGroups(int mode, bool& burst, bool& duty)
{
    if (mode < 0 || mode > 3)
        return false;
    burst = mode == 2;
    duty = mode == 3;
    return true;
}

void SystemModesEnable(TMainForm& form, const TProgramState& state)
{
    bool burst = false, duty = false;
    if (!ModeGroups(state.SystemSettings.SystemMode, burst, duty))
        return;
    setAll({named(form, "BurstCountGrp"), form.SysBurstAdj}, burst);
    setAll({named(form, "DutyCycleGrp"), form.SysDutyOnAdj, form.SysDutyOffAdj}, duty);
    setAll({named(form, "DutyCycleCCGrp"), form.CycleCountAdj}, duty);
}

void ChModesEnable(TMainForm& form, const TProgramState& state, int n)
{
    if (n < 1 || n > kMaxChannel)
        return;
    bool burst = false, duty = false;
    if (!ModeGroups(state.ChannelSettings[n].Mode, burst, duty))
        return;
    const TChannelControls& c = form.ChannelControls;
    setAll({c.ChBurstCountGrp[n], c.ChBurstAdj[n]}, burst);
    setAll({c.ChDutyOnGrp[n], c.ChDutyOnAdj[n], c.ChDutyOffGrp[n], c.ChDutyOffAdj[n]}, duty);
}

void TriggerModesEnable(TMainForm& form, TProgramState& state, TTaskQueue& queue)
{
    bool threshold = false, gatePolarity = false, edge = false, periodCounter = false;
    switch (state.SystemSettings.ExtMode) {
        case 0:
            break;
        case 1:
            threshold = edge = periodCounter = true;
            break;
        case 2:
            threshold = gatePolarity = true;
            break;
        default:
            return;  // re-arm and unknown modes keep the present states
    }
    setAll({named(form, "ExtThresholdGrp"), form.TrigThresholdAdj}, threshold);
    setAll({named(form, "GatePolGrp"), form.GatePolaritySel}, gatePolarity);
    setAll({named(form, "ExtTrigEdgGrp"), form.TriggerEdgeSel}, edge);
    setAll({named(form, "PeriodCounterGrp"), form.PeriodCounterEn, form.PeriodCounterAutoEn, form.PeriodCountAdj,
            form.PeriodCountClear},
           periodCounter);

    // The period counter never stays on without an external trigger.
    if (state.SystemSettings.ExtMode == 0 && state.SystemSettings.PeriodCounterEnabled == 1) {
        queue.QueuedCommandToPort(QStringLiteral(":PULS0:EXTP:STAT OFF"));
        state.SystemSettings.PeriodCounterEnabled = 0;
        form.PeriodCounterEn->setChecked(false);
    }
}

void EnabledAsParent(QWidget* container)
{
    if (!container)
        return;
    const bool enabled = !container->testAttribute(Qt::WA_ForceDisabled);
    for (QObject* child : container->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isWindow())
            continue;
        SetControlEnabled(w, enabled);
        if (isContainer(w))
            EnabledAsParent(w);
    }
}
