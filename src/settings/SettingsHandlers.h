// The change handlers of the channel pages, the system page and the Plus
// page. The window reports each edit as a setting, a channel and a value;
// the handler stores the value in the program's copy of the settings and
// queues the one generator command the setting table gives for it. None of
// them talks to the port.
#pragma once

#include <QObject>
#include <QString>

#include "model/SettingTable.h"

class IDialogs;
class TMainForm;
class TStatusPoll;
class TTaskQueue;
struct TProgramState;

class TSettingsHandlers : public QObject {
    Q_OBJECT
public:
    // Listens to the window's edits. The window's design values are already
    // in place, so this fires nothing. Run/Stop tells Poll the run state it
    // asked for.
    TSettingsHandlers(TMainForm& form, TProgramState& state, TTaskQueue& queue, TStatusPoll& poll, IDialogs& dialogs);

    // One edit of the user (Channel 0 for system settings).
    void SettingEdited(TSettingId id, int channel, double value);

    // Run/Stop and the Plus page's commands.
    void RunStopBtnClick();
    void SystemStart();
    void SystemStop();
    void ClearShotCountClick();
    void PeriodCountClearClick();
    void SynchUpdateBtnClick();

    // The period counter never stays on without an external trigger: with
    // the trigger Disabled and the counter on, ":PULS0:EXTP:STAT OFF" is
    // queued, the counter is switched off and its box shown unticked, and
    // the box's own command follows as when the user unticks it (so the
    // command goes out twice). After a trigger-mode edit, and after the
    // window has shown a trigger mode read from the generator.
    void PeriodCounterNeedsTrigger();

signals:
    // A handler has stored a new value in the program's copy of the settings
    // (also while a read-back fills the controls).
    void SettingsChanged();

private:
    void Queue(const QString& command);
    // Stores Value in the setting's field and queues its command.
    void Store(TSettingId id, int channel, double value);
    // A period, width or delay that is not a whole number of steps is
    // rounded to the nearest step and shown so; returns the value to store.
    double AcceptedTime(TSettingId id, int channel, double value, double step);
    void SetChannelSyncSource(int c, int s);

    TMainForm& FForm;
    TProgramState& FState;
    TTaskQueue& FQueue;
    TStatusPoll& FPoll;
    IDialogs& FDialogs;
};
