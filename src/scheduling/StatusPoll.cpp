#include "scheduling/StatusPoll.h"

#include <QPointer>

#include "comm/Communication.h"
#include "comm/LineOwner.h"
#include "platform/Dialogs.h"
#include "window/MainForm.h"
#include "serial/JTComPort.h"
#include "model/ProgramState.h"
#include "scheduling/StatusQueries.h"

TStatusPoll::TStatusPoll(TMainForm& form, TProgramState& state, TCommunication& comm, TLineOwner& line,
                         IDialogs& dialogs, IAppControl& app)
    : FForm(form), FState(state), FComm(comm), FLine(line), FDialogs(dialogs), FApp(app)
{
    FTimer.setObjectName(QStringLiteral("StatusTimer"));
    FTimer.setInterval(1000);
    connect(&FTimer, &QTimer::timeout, this, &TStatusPoll::StatusTimerTimer);
}

void TStatusPoll::Start()
{
    if (!FHeld && !FLine.Ending() && !FComm.DemoMode())
        FTimer.start();
}

void TStatusPoll::Hold()
{
    FHeld = true;
    FTimer.stop();
    FErrorCode = 0;
}

void TStatusPoll::Release()
{
    FHeld = false;
    Start();
}

void TStatusPoll::StatusTimerTimer()
{
    if (FLine.Ending() || FComm.DemoMode()) {
        FTimer.stop();
        return;
    }
    // The panel's own work on the line goes first; try again next tick. A
    // network client's lines do not hold the poll off: the round takes its
    // turn behind them.
    if (!FLine.IdleButGuests())
        return;
    FTimer.stop();
    FRestartTimer = true;
    UpdateStatus();
}

void TStatusPoll::UpdateStatus()
{
    FRoundInFlight = true;
    // Counters, while the Plus page is on view; errors, unless one is shown
    // already (it blinks without asking again) or the firmware is too old to
    // be asked.
    TRequest request;
    const bool counters =
        FState.Variant().PlusFeatures && FForm.PlusPageShown();
    request.ShotCount = counters && FState.SystemSettings.ShotCountEnabled == 1;
    request.Period = counters && FState.SystemSettings.PeriodCounterEnabled == 1;
    request.Error = FErrorCode <= 0 && HasErrorQuery(FState.DeviceIdentity);
    request.RunStateAsked = FRunStateAsked;
    request.CommandsWaiting = FCommandsWaiting && FCommandsWaiting();

    TLineOwner* line = &FLine;
    FLine.Post([this, line, request](TCommunication& channel) {
        TAnswers a;
        // The port still exists when it can be opened again.
        TJTComPort& port = channel.Port();
        port.Open();
        a.PortThere = port.Opened();
        if (a.PortThere) {
            a.Running = QueryRunning(channel);
            if (!line->Ending()) {
                if (request.ShotCount)
                    a.ShotCount = QueryShotCount(channel);
                if (request.Period)
                    a.Period = QueryMeasuredPeriod(channel);
            }
            if (!line->Ending() && request.Error)
                a.ErrorCode = QueryErrorCode(channel);
            a.Complete = !line->Ending();
        }
        TLineOwner::Deliver(this, [this, request, a] { ShowRound(request, a); });
    });
}

void TStatusPoll::ShowRound(const TRequest& request, const TAnswers& a)
{
    FRoundInFlight = false;
    const bool restart = FRestartTimer;
    FRestartTimer = false;
    if (FLine.Ending())
        return;
    if (!a.PortThere) {
        // The poll rests until the answer comes, which decides the end.
        FDialogs.AskMessage("Port no longer available, restart?", QString(), mbYesNo, TMsgKind::mkWarning,
                            [this, self = QPointer<TStatusPoll>(this)](TMsgButton answer) {
                                if (!self)
                                    return;
                                if (answer == TMsgButton::mbYes)
                                    FApp.RestartApp();
                                else
                                    FApp.ExitApp();
                            });
        return;
    }

    // Run state, as the generator sees it, unless a Run or Stop of the user
    // may have reached it only after the round's question.
    const bool current = request.RunStateAsked == FRunStateAsked && !request.CommandsWaiting;
    if (current && a.Running != FRunning) {
        FRunning = a.Running;
        FForm.ShowRunning(a.Running);
    }
    if (a.Complete) {
        if (request.ShotCount) {
            FState.SystemSettings.ShotCount = a.ShotCount;
            FForm.ShowShotCount(ShotCountText(a.ShotCount));
        }
        if (request.Period) {
            FState.SystemSettings.MeasuredPeriod = a.Period;
            FForm.ShowMeasuredPeriod(MeasuredPeriodText(a.Period));
        }
        // Errors: a reported error blinks.
        if (FErrorCode > 0) {
            FForm.BlinkError();
        } else if (request.Error) {
            FErrorCode = a.ErrorCode;
            if (FErrorCode > 0)
                FForm.ShowError(ErrorText(FErrorCode));
        }
    }
    if (restart)
        Start();
}
