#include "settings/SettingsHandlers.h"

#include "model/Capabilities.h"
#include "model/ProgramState.h"
#include "model/SyncRules.h"
#include "platform/Dialogs.h"
#include "readback/Enabling.h"
#include "scheduling/StatusPoll.h"
#include "scheduling/TaskQueue.h"
#include "window/MainForm.h"

TSettingsHandlers::TSettingsHandlers(TMainForm& form, TProgramState& state, TTaskQueue& queue, TStatusPoll& poll,
                                     IDialogs& dialogs)
    : FForm(form), FState(state), FQueue(queue), FPoll(poll), FDialogs(dialogs)
{
    connect(&form, &TMainForm::SettingEdited, this, &TSettingsHandlers::SettingEdited);
    connect(&form, &TMainForm::RunStopClicked, this, &TSettingsHandlers::RunStopBtnClick);
    connect(&form, &TMainForm::ShotCountClearClicked, this, &TSettingsHandlers::ClearShotCountClick);
    connect(&form, &TMainForm::PeriodCountClearClicked, this, &TSettingsHandlers::PeriodCountClearClick);
    connect(&form, &TMainForm::SyncUpdateClicked, this, &TSettingsHandlers::SynchUpdateBtnClick);
    // A list left with text that names nothing shows the stored selection.
    form.SetStoredValues([&state](TSettingId id, int channel) { return Setting(id).Get(state, channel); });
}

void TSettingsHandlers::Queue(const QString& command)
{
    FQueue.QueuedCommandToPort(command);
    emit SettingsChanged();
}

void TSettingsHandlers::Store(TSettingId id, int channel, double value)
{
    const TSettingDescription& setting = Setting(id);
    setting.Put(FState, channel, value);
    Queue(SetCommandOf(setting, channel, value));
}

double TSettingsHandlers::AcceptedTime(TSettingId id, int channel, double value, double step)
{
    if (CheckResolution(value, step))
        return value;
    // Rounded to the nearest step, shown, and stored and sent so.
    const double rounded = RoundToStep(value, step);
    FForm.ShowSetting(id, channel, rounded);
    return rounded;
}

void TSettingsHandlers::SettingEdited(TSettingId id, int n, double value)
{
    const TSettingDescription& setting = Setting(id);
    if (setting.IsChannelSetting() ? n < 1 || n > kMaxChannel : n != 0)
        return;
    switch (id) {
        case TSettingId::siPeriod:
        case TSettingId::siWidth:
            Store(id, n, AcceptedTime(id, n, value, FState.TimingResolution));
            break;
        case TSettingId::siDelay:
            Store(id, n, AcceptedTime(id, n, value, DelayCheckStep(FState.HighResolution, FState.TimingResolution)));
            break;
        case TSettingId::siChannelMode:
            Store(id, n, value);
            ChModesEnable(FForm, FState, n);
            break;
        case TSettingId::siSystemMode:
            Store(id, n, value);
            SystemModesEnable(FForm, FState);
            break;
        case TSettingId::siExtMode:
            Store(id, n, value);
            TriggerModesEnable(FForm, FState);
            PeriodCounterNeedsTrigger();
            break;
        case TSettingId::siSyncSource:
            SetChannelSyncSource(n, RoundCount(value));
            break;
        case TSettingId::siMuxMask: {
            // Items beyond the model's channels do not count.
            const int usable = MuxLayoutOf(FState.ChannelCount).Items;
            Store(id, n, RoundCount(value) & ((1 << usable) - 1));
            break;
        }
        case TSettingId::siAutoStart:
            // The record keeps what the generator last reported.
            Queue(SetCommandOf(setting, n, value));
            break;
        default:
            Store(id, n, value);
            break;
    }
}

void TSettingsHandlers::SetChannelSyncSource(int c, int s)
{
    if (s < 0 || s > kMaxChannel)
        return;
    const QString error = SyncSourceError(FState.ChannelSettings, FState.ChannelCount, c, s);
    if (!error.isEmpty()) {
        FDialogs.MessageDlg(error, QString(), TMsgButton::mbOK, TMsgKind::mkError);
        FForm.ShowSyncSource(c, FState.ChannelSettings[c].SyncSource);
        return;
    }
    Store(TSettingId::siSyncSource, c, s);
}

void TSettingsHandlers::PeriodCounterNeedsTrigger()
{
    TSystemSettings& s = FState.SystemSettings;
    if (s.ExtMode != TExtMode::Disabled || s.PeriodCounterEnabled != 1)
        return;
    Queue(SetCommandOf(Setting(TSettingId::siPeriodCounterEnabled), 0, 0));
    s.PeriodCounterEnabled = 0;
    FForm.ShowPeriodCounterOff();
    SettingEdited(TSettingId::siPeriodCounterEnabled, 0, 0);
}

// ---- Run/Stop

void TSettingsHandlers::RunStopBtnClick()
{
    if (FPoll.Running())
        SystemStop();
    else
        SystemStart();
}

void TSettingsHandlers::SystemStart()
{
    FForm.ShowRunning(true);
    Queue(":PULS0:STAT ON");
    FPoll.SetRunning(true);
}

void TSettingsHandlers::SystemStop()
{
    FPoll.SetRunning(false);
    FForm.ShowRunning(false);
    Queue(":PULS0:STAT OFF");
}

// ---- Plus page

void TSettingsHandlers::ClearShotCountClick()
{
    Queue(":PULS0:COUN:CL");
}

void TSettingsHandlers::PeriodCountClearClick()
{
    Queue(":PULS0:EXTP:CL");
    FForm.ShowMeasuredPeriod("P: ----");
}

void TSettingsHandlers::SynchUpdateBtnClick()
{
    Queue(":SYST:UPD:EX");
}
