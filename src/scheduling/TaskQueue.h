// The one way for the window to send a command in answer to the user: append
// it to TaskQueue. The task timer's tick hands the queued commands in order to
// the line (each is one job there: sent, echoed, answered), and serves the
// refresh and bin-recall requests: the recall command first, then the
// read-back asked for with ReadBackDue, which the line carries out after it.
#pragma once

#include <QObject>
#include <QString>
#include <deque>
#include <optional>
#include <functional>

class QTimer;
struct TProgramState;

class TTaskQueue : public QObject {
    Q_OBJECT
public:
    // Sends one command and returns the generator's reply.
    using TSend = std::function<QString(const QString& command)>;

    TTaskQueue(TProgramState& state, QTimer& taskTimer, QTimer& statusTimer, TSend sendCommand);

    // Appends a command; dropped silently while the read-back runs
    // (CommandsDisabled). Starts the task timer.
    void QueuedCommandToPort(const QString& command);

    // Tools > Refresh: a read-back, carried out by the next tick.
    void RequestReadBack();
    // A bin recall: "*RCL Bin" and the read-back after it, by the next tick
    // (a later request for another bin replaces it).
    void RequestRecall(int bin);
    bool ReadBackRequested() const { return FReadBackRequested; }
    std::optional<int> RecallRequested() const { return FRecallBin; }

    // Starts the task timer. The timer runs only while there is work, so an
    // idle panel does not wake every 5 ms.
    void Wake();

    // The tick of TaskTimer.
    void TaskTimerTimer() { ProcessTasks(); }
    // One pass: a pending recall or refresh first, then every queued command,
    // including those appended while the pass waits for replies.
    void ProcessTasks();

    // Asked before each pass: while it says a status poll round is on the
    // line, the pass waits for the next tick.
    void SetPollInFlight(std::function<bool()> inFlight) { FPollInFlight = std::move(inFlight); }

    int TaskCount() const { return static_cast<int>(FQueue.size()); }
    bool CommandsPending() const { return FCommandsPending; }
    const std::deque<QString>& Pending() const { return FQueue; }

signals:
    // A refresh or recall wants the full read-back, now.
    void ReadBackDue();

private:
    TProgramState& FState;
    QTimer& FTaskTimer;
    QTimer& FStatusTimer;
    TSend FSendCommand;
    std::function<bool()> FPollInFlight;
    // No fixed number of slots: a burst of edits between two ticks is never cut.
    std::deque<QString> FQueue;
    bool FCommandsPending = false;
    bool FReadBackRequested = false;
    std::optional<int> FRecallBin;
};
