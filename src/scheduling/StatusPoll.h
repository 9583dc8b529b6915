// The once-a-second status poll: run state, the Plus counters and the error
// state, and a check that the serial port still exists.
#pragma once

#include <QObject>

class IAppControl;
class IDialogs;
class TCommunication;
class TMainForm;
struct TProgramState;

class TStatusPoll : public QObject {
    Q_OBJECT
public:
    // Binds itself to the window's StatusTimer.
    TStatusPoll(TMainForm& form, TProgramState& state, TCommunication& comm, IDialogs& dialogs, IAppControl& app);

    void StatusTimerTimer();
    void UpdateStatus();

private:
    TMainForm& FForm;
    TProgramState& FState;
    TCommunication& FComm;
    IDialogs& FDialogs;
    IAppControl& FApp;
};
