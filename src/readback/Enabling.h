// The rules that grey out the controls a mode makes meaningless: burst and
// duty-cycle counts by pulse mode, trigger controls by external-trigger mode,
// and a container's enabled state copied to everything inside it. The
// read-back applies them after filling the window; the mode handlers call
// them after each mode change.
#pragma once

class QWidget;
class TMainForm;
class TTaskQueue;
struct TProgramState;

// Enables or disables one control so that the user can no longer edit it: the
// widget's own state and, for a spin edit, also the control's own flag.
void SetControlEnabled(QWidget* control, bool enabled);
// The enabled state a control has of its own (ignoring its parents).
bool ControlEnabled(const QWidget* control);

// Burst count, duty-cycle counts and cycle count by SystemSettings.SystemMode
// (0..3); any other mode changes nothing.
void SystemModesEnable(TMainForm& form, const TProgramState& state);

// Burst and duty-cycle controls of channel N (1..8) by ChannelSettings[N].Mode
// (0..3); any other mode, or a channel outside 1..8, changes nothing.
void ChModesEnable(TMainForm& form, const TProgramState& state, int n);

// Threshold, gate polarity, trigger edge and period-counter controls by
// SystemSettings.ExtMode (0..2; 3 and others change nothing). With ExtMode 0
// and the period counter on, it queues ":PULS0:EXTP:STAT OFF" (dropped while
// commands are disabled), clears PeriodCounterEnabled and unticks
// PeriodCounterEn, whose own handler then runs.
void TriggerModesEnable(TMainForm& form, TProgramState& state, TTaskQueue& queue);

// Gives every control inside Container, at any depth through nested
// containers, the container's own enabled state.
void EnabledAsParent(QWidget* container);
