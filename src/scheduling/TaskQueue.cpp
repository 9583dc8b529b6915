#include "scheduling/TaskQueue.h"

#include <QScopedValueRollback>

#include <utility>

#include "comm/LineOwner.h"

TTaskQueue::TTaskQueue(const TLineOwner& line, TSend sendCommand) : FLine(line), FSendCommand(std::move(sendCommand))
{
    FTaskTimer.setObjectName(QStringLiteral("TaskTimer"));
    FTaskTimer.setInterval(5);
    connect(&FTaskTimer, &QTimer::timeout, this, &TTaskQueue::TaskTimerTimer);
}

void TTaskQueue::QueuedCommandToPort(const QString& command)
{
    if (FCommandsDisabled || FLine.Ending())
        return;
    FQueue.push_back(command);
    FCommandsPending = true;
    Wake();
}

void TTaskQueue::DisableCommands()
{
    FCommandsDisabled = true;
    FTaskTimer.stop();
}

void TTaskQueue::EnableCommands()
{
    FCommandsDisabled = false;
    Wake();
    emit CommandsEnabled();
}

void TTaskQueue::RequestReadBack()
{
    FReadBackRequested = true;
    Wake();
}

void TTaskQueue::RequestRecall(int bin)
{
    FRecallBin = bin;
    FRecallAt = FQueue.size();
    Wake();
}

void TTaskQueue::Wake()
{
    if (!FLine.Ending() && !FCommandsDisabled && !FTaskTimer.isActive())
        FTaskTimer.start();
}

void TTaskQueue::ProcessTasks()
{
    FTaskTimer.stop();
    // A tick that comes due inside a send leaves the work to the pass under
    // way, which takes what was added meanwhile.
    if (FLine.Ending() || FProcessing)
        return;
    const QScopedValueRollback processing(FProcessing, true);
    // A poll round on the line goes first; the queue waits for its report.
    if (FPollInFlight && FPollInFlight()) {
        FTaskTimer.start();
        return;
    }

    // A read-back under way would refuse another: a request waits for its
    // end, which wakes the queue.
    const bool readBack = (FRecallBin || FReadBackRequested) && !FCommandsDisabled;
    std::optional<int> bin;
    std::size_t recallAt = 0;
    if (readBack) {
        bin = std::exchange(FRecallBin, std::nullopt);
        recallAt = FRecallAt;
        FReadBackRequested = false;
    }
    const auto recall = [this, &bin] {
        if (bin && FSendCommand)
            FSendCommand(QStringLiteral("*RCL ") + QString::number(*bin));
        bin.reset();
    };

    // Each command goes to the line as a job of its own, in the order the
    // user gave them, the recall among them where it was asked for.
    std::size_t sent = 0;
    while (!FQueue.empty()) {
        if (sent++ == recallAt)
            recall();
        const QString command = FQueue.front();
        FQueue.pop_front();
        if (FSendCommand)
            FSendCommand(command);
    }
    recall();
    FCommandsPending = false;

    // The read-back last: it reads what the commands before it have set.
    if (readBack)
        emit ReadBackDue();

    // Work that came in during this pass (a command appended by a send, a
    // request) gets the next tick.
    if (!FQueue.empty() || FRecallBin || FReadBackRequested)
        Wake();
}
