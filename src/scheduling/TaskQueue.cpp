#include "scheduling/TaskQueue.h"

#include <utility>

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

void TTaskQueue::RequestReadBack()
{
    FReadBackRequested = true;
    Wake();
}

void TTaskQueue::RequestRecall(int bin)
{
    FRecallBin = bin;
    Wake();
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
    // A poll round on the line goes first; the queue waits for its report.
    if (FPollInFlight && FPollInFlight()) {
        FTaskTimer.start();
        return;
    }

    if (FRecallBin || FReadBackRequested) {
        FStatusTimer.stop();
        const std::optional<int> bin = std::exchange(FRecallBin, std::nullopt);
        FReadBackRequested = false;
        if (bin && FSendCommand)
            FSendCommand(QStringLiteral("*RCL ") + QString::number(*bin));
        emit ReadBackDue();
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

    // Work that came in during this pass (a command appended by a send, a
    // request) gets the next tick.
    const bool workLeft = !FQueue.empty() || FRecallBin || FReadBackRequested;
    if (workLeft)
        FTaskTimer.start();
}
