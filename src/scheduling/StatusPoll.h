// The once-a-second status poll: run state, the Plus counters and the error
// state, and a check that the serial port still exists. A round is one job
// on the line; the window shows what it found.
#pragma once

#include <QObject>

#include <cstdint>

class IAppControl;
class IDialogs;
class TCommunication;
class TLineOwner;
class TMainForm;
struct TProgramState;

class TStatusPoll : public QObject {
    Q_OBJECT
public:
    // Binds itself to the window's StatusTimer.
    TStatusPoll(TMainForm& form, TProgramState& state, TCommunication& comm, TLineOwner& line, IDialogs& dialogs,
                IAppControl& app);

    // The timer's tick: a round when the line is free, the timer resting
    // until the round has been shown.
    void StatusTimerTimer();
    // One round: the questions go to the line, the answers are shown when
    // they come.
    void UpdateStatus();
    // A round's questions are on the line and its report has not been shown.
    bool RoundInFlight() const { return FRoundInFlight; }

private:
    // What the window asks of one round, decided when it starts.
    struct TRequest {
        bool ShotCount = false;
        bool Period = false;
        bool Error = false;
    };
    struct TAnswers {
        bool PortThere = false;
        bool Complete = false;
        bool Running = false;
        std::uint32_t ShotCount = 0;
        double Period = 0;
        std::int32_t ErrorCode = 0;
    };
    void ShowRound(const TRequest& request, const TAnswers& answers);

    TMainForm& FForm;
    TProgramState& FState;
    TCommunication& FComm;
    TLineOwner& FLine;
    IDialogs& FDialogs;
    IAppControl& FApp;
    // The round was started by the timer, which starts again after it.
    bool FRestartTimer = false;
    bool FRoundInFlight = false;
};
