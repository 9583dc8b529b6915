// The one way for the window to send a command in answer to the user: append
// it to TaskQueue. The queue's own timer hands the queued commands in order
// to the line (each is one job there: sent, echoed, answered), and serves the
// refresh and bin-recall requests in the user's order: a recall goes out
// among the queued commands where it was asked for, and the read-back asked
// for with ReadBackDue comes after all of them, so that the window shows
// what the generator holds once the tick's work is done.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>
#include <optional>
#include <functional>

class TLineOwner;

class TTaskQueue : public QObject {
    Q_OBJECT
public:
    // Sends one command and returns the generator's reply.
    using TSend = std::function<QString(const QString& command)>;

    // Nothing is started once Line is ending.
    TTaskQueue(const TLineOwner& line, TSend sendCommand);

    // Appends a command; dropped silently while commands are disabled.
    // Wakes the queue.
    void QueuedCommandToPort(const QString& command);

    // A read-back disables the commands for its duration: those appended
    // meanwhile are dropped, a refresh or recall requested meanwhile waits,
    // and the timer rests. Enabling them wakes the queue for what waited.
    void DisableCommands();
    void EnableCommands();
    bool CommandsDisabled() const { return FCommandsDisabled; }

    // Tools > Refresh: a read-back, carried out by the next tick.
    void RequestReadBack();
    // A bin recall: "*RCL Bin" after the commands queued so far and before
    // those queued after it, then the read-back, by the next tick (a later
    // request for another bin replaces it, in its own place).
    void RequestRecall(int bin);
    bool ReadBackRequested() const { return FReadBackRequested; }
    std::optional<int> RecallRequested() const { return FRecallBin; }

    // Starts the timer, every 5 ms. It runs only while there is work, so an
    // idle panel does not wake.
    void Wake();
    bool Awake() const { return FTaskTimer.isActive(); }

    // The timer's tick.
    void TaskTimerTimer() { ProcessTasks(); }
    // One pass: every queued command, including those appended while the
    // pass runs, with a pending recall in its place among them; then the
    // read-back of a pending recall or refresh.
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
    // The commands are enabled again after a read-back.
    void CommandsEnabled();

private:
    const TLineOwner& FLine;
    QTimer FTaskTimer;
    TSend FSendCommand;
    std::function<bool()> FPollInFlight;
    // No fixed number of slots: a burst of edits between two ticks is never cut.
    std::deque<QString> FQueue;
    bool FCommandsPending = false;
    bool FCommandsDisabled = false;
    bool FReadBackRequested = false;
    bool FProcessing = false;
    std::optional<int> FRecallBin;
    // How many of the queued commands were asked for before the recall.
    std::size_t FRecallAt = 0;
};
