// The one way for the window to send a command in answer to the user: append
// it to TaskQueue. The task timer's tick sends the queued commands in order,
// each with its reply, and serves the refresh and bin-recall requests.
#pragma once

#include <QString>
#include <deque>
#include <functional>

class QTimer;
struct TProgramState;

class TTaskQueue {
 public:
  // What a tick needs from the rest of the program.
  struct THooks {
    std::function<QString(const QString& command)> SendCommand;
    std::function<void()> Initialize;  // the full read-back
  };

  TTaskQueue(TProgramState& state, QTimer& taskTimer, QTimer& statusTimer, THooks hooks);
  TTaskQueue(const TTaskQueue&) = delete;
  TTaskQueue& operator=(const TTaskQueue&) = delete;

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

 private:
  TProgramState& FState;
  QTimer& FTaskTimer;
  QTimer& FStatusTimer;
  THooks FHooks;
  // No fixed number of slots: a burst of edits between two ticks is never cut.
  std::deque<QString> FQueue;
  bool FCommandsPending = false;
};
