// The once-a-second status poll: run state, the Plus counters and the error
// state, and a check that the serial port still exists. A round is one job
// on the line; the window shows what it found. The poll keeps what it
// learns: the run state and the last error reported.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>

class IAppControl;
class IDialogs;
class TCommunication;
class TLineOwner;
class TMainForm;
struct TProgramState;

class TStatusPoll : public QObject {
    Q_OBJECT
public:
    TStatusPoll(TMainForm& form, TProgramState& state, TCommunication& comm, TLineOwner& line, IDialogs& dialogs,
                IAppControl& app);

    // The poll's timer, once a second. Start does nothing while a read-back
    // holds the poll, once the line is ending, and without a generator (the
    // demonstration mode).
    void Start();
    void Stop() { FTimer.stop(); }
    bool Active() const { return FTimer.isActive(); }

    // A read-back holds the poll for its duration: the timer stops and a
    // reported error is forgotten, so that the poll asks for errors again.
    // Release lets it start again, and starts it.
    void Hold();
    void Release();

    // The timer's tick: a round when the line is free, the timer resting
    // until the round has been shown.
    void StatusTimerTimer();
    // One round: the questions go to the line, the answers are shown when
    // they come.
    void UpdateStatus();
    // A round's questions are on the line and its report has not been shown.
    bool RoundInFlight() const { return FRoundInFlight; }
    // Asked when a round starts: whether commands the user gave are still
    // waiting to go to the line. Such a round may ask for the run state
    // before a Run or Stop that waits there, so it leaves the run state alone.
    void SetCommandsWaiting(std::function<bool()> waiting) { FCommandsWaiting = std::move(waiting); }

    // The run state as last known: the generator's at the last round, or
    // what Run/Stop asked for since. A round that started before the last
    // Run/Stop reports an older state than the one asked for: it leaves the
    // run state alone, the next round reports the truth.
    bool Running() const { return FRunning; }
    void SetRunning(bool running)
    {
        FRunning = running;
        ++FRunStateAsked;
    }
    // The last positive code of the generator's error query, shown until a
    // read-back; 0 when none.
    std::int32_t ErrorCode() const { return FErrorCode; }

private:
    // What the window asks of one round, decided when it starts.
    struct TRequest {
        bool ShotCount = false;
        bool Period = false;
        bool Error = false;
        // How many Run/Stop requests had been made when the round started,
        // and whether commands were waiting to go to the line then.
        unsigned RunStateAsked = 0;
        bool CommandsWaiting = false;
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
    QTimer FTimer;
    // The round was started by the timer, which starts again after it.
    bool FRestartTimer = false;
    std::function<bool()> FCommandsWaiting;
    bool FRoundInFlight = false;
    bool FHeld = false;
    bool FRunning = false;
    unsigned FRunStateAsked = 0;
    std::int32_t FErrorCode = 0;
};
