// The one way for the window to send a command in answer to the user: append
// it to TaskQueue. The task timer's tick hands the queued commands in order to
// the line (each is one job there: sent, echoed, answered), and serves the
// refresh and bin-recall requests: the recall command first, then the
// read-back asked for with ReadBackDue, which the line carries out after it.
#pragma once

#include <QObject>
#include <QString>
#include <deque>
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

    // Starts the task timer after a refresh or bin recall has been requested
    // (RefreshRequested, RecallRequested). The timer runs only while there is
    // work, so an idle panel does not wake every 5 ms.
    void Wake();

    // The tick of TaskTimer.
    void TaskTimerTimer() { ProcessTasks(); }
    // One pass: a pending recall or refresh first, then every queued command,
    // including those appended while the pass waits for replies.
    void ProcessTasks();

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
    // No fixed number of slots: a burst of edits between two ticks is never cut.
    std::deque<QString> FQueue;
    bool FCommandsPending = false;
};
