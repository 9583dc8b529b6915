#include "scheduling/TaskQueue.h"

#include <QTimer>

#include "model/ProgramState.h"

TTaskQueue::TTaskQueue(TProgramState& state, QTimer& taskTimer, QTimer& statusTimer, TSend sendCommand)
    : FState(state), FTaskTimer(taskTimer), FStatusTimer(statusTimer), FSendCommand(std::move(sendCommand))
{
}

void TTaskQueue::QueuedCommandToPort(const QString& command)
{
    if (FState.CommandsDisabled || FState.Terminating)
        return;
    FQueue.push_back(command);
    FCommandsPending = true;
    if (!FTaskTimer.isActive())
        FTaskTimer.start();
}

void TTaskQueue::Wake()
{
    if (!FState.Terminating && !FTaskTimer.isActive())
        FTaskTimer.start();
}

void TTaskQueue::ProcessTasks()
{
    FTaskTimer.stop();
    if (FState.Terminating)
        return;
    // A tick that comes due while another one waits for a reply must not start
    // a second pass over the same queue; the running pass restarts the timer.
    if (FState.TasksRunning)
        return;
    if (FState.StatusPolling) {
        FTaskTimer.start();
        return;
    }
    FState.TasksRunning = true;

    if (FState.RecallRequested != 0 || FState.RefreshRequested != 0) {
        FStatusTimer.stop();
        if (FState.RecallRequested != 0 && FSendCommand)
            FSendCommand(QStringLiteral("*RCL ") + QString::number(FState.RecallBin));
        emit ReadBackDue();
        FState.RecallRequested = 0;
        FState.RefreshRequested = 0;
        // A read-back under way (commands disabled) restarts the poll itself
        // when it ends.
        if (!FState.CommandsDisabled)
            FStatusTimer.start();
    }

    if (FCommandsPending) {
        // Each goes to the line as a job of its own, in order.
        while (!FQueue.empty()) {
            const QString command = FQueue.front();
            FQueue.pop_front();
            if (FSendCommand)
                FSendCommand(command);
        }
        if (FQueue.empty())
            FCommandsPending = false;
    }

    FState.TasksRunning = false;
    // Work that came in during this pass (a command appended by a send, a
    // request) gets the next tick.
    const bool workLeft = !FQueue.empty() || FState.RecallRequested != 0 || FState.RefreshRequested != 0;
    if (workLeft)
        FTaskTimer.start();
}
