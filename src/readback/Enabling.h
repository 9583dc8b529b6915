// The rules that grey out the controls a mode makes meaningless: burst and
// duty-cycle counts by pulse mode, trigger controls by external-trigger mode.
// The window applies them to its controls; they send nothing and change no
// setting (the period counter that a disabled trigger switches off is the
// change handlers' business). The read-back applies them after showing a
// snapshot; the mode handlers call them after each mode change.
#pragma once

#include "window/ControlEnabling.h"

class TMainForm;
struct TProgramState;

// Burst count, duty-cycle counts and cycle count by SystemSettings.SystemMode;
// a number outside the mode list changes nothing.
void SystemModesEnable(TMainForm& form, const TProgramState& state);

// Burst and duty-cycle controls of channel N (1..8) by ChannelSettings[N].Mode;
// a number outside the mode list, or a channel outside 1..8, changes nothing.
void ChModesEnable(TMainForm& form, const TProgramState& state, int n);

// Threshold, gate polarity, trigger edge and period-counter controls by
// SystemSettings.ExtMode (ReArm and unknown modes change nothing).
void TriggerModesEnable(TMainForm& form, const TProgramState& state);
