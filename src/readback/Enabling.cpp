#include "readback/Enabling.h"

#include "model/ProgramState.h"
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

void TriggerModesEnable(TMainForm& form, const TProgramState& state)
{
    form.ApplyTriggerModeRules(state.SystemSettings.ExtMode);
}
