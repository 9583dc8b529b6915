#include "readback/Enabling.h"

#include "model/ProgramState.h"
#include "model/SettingTable.h"
#include "scheduling/TaskQueue.h"
#include "window/MainForm.h"

void SystemModesEnable(TMainForm& form, const TProgramState& state)
{
    form.ApplySystemModeRules(state.SystemSettings.SystemMode);
}

void ChModesEnable(TMainForm& form, const TProgramState& state, int n)
{
    if (n < 1 || n > kMaxChannel)
        return;
    form.ApplyChannelModeRules(n, state.ChannelSettings[n].Mode);
}

void TriggerModesEnable(TMainForm& form, TProgramState& state, TTaskQueue& queue)
{
    if (!form.ApplyTriggerModeRules(state.SystemSettings.ExtMode))
        return;
    // The period counter never stays on without an external trigger.
    if (state.SystemSettings.ExtMode == TExtMode::Disabled && state.SystemSettings.PeriodCounterEnabled == 1) {
        queue.QueuedCommandToPort(SetCommandOf(Setting(TSettingId::siPeriodCounterEnabled), 0, 0));
        state.SystemSettings.PeriodCounterEnabled = 0;
        form.ShowPeriodCounterOff();
    }
}
