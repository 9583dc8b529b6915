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

signals:
    // A handler has stored a new value in the program's copy of the settings
    // (also while a read-back fills the controls).
    void SettingsChanged();

private:
    void Queue(const QString& command);
    // Stores Value in the setting's field and queues its command.
    void Store(TSettingId id, int channel, double value);
    // A period, width or delay that is not a whole number of steps is taken
    // back: the control shows the stored value again, whose own edit then
    // follows. True when Value may be stored.
    bool TimeAccepted(TSettingId id, int channel, double value, double step);
    void SetChannelSyncSource(int c, int s);

    TMainForm& FForm;
    TProgramState& FState;
    TTaskQueue& FQueue;
    TStatusPoll& FPoll;
    IDialogs& FDialogs;
};
