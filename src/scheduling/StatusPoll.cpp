#include "scheduling/StatusPoll.h"

#include <QTimer>

#include "comm/Communication.h"
#include "platform/Dialogs.h"
#include "window/MainForm.h"
#include "serial/JTComPort.h"
#include "model/ProgramState.h"
#include "scheduling/StatusQueries.h"

TStatusPoll::TStatusPoll(TMainForm& form, TProgramState& state, TCommunication& comm, IDialogs& dialogs,
                         IAppControl& app)
    : FForm(form), FState(state), FComm(comm), FDialogs(dialogs), FApp(app)
{
    connect(form.StatusTimer, &QTimer::timeout, this, &TStatusPoll::StatusTimerTimer);
}

void TStatusPoll::StatusTimerTimer()
{
    QTimer& timer = *FForm.StatusTimer;
    if (FState.Terminating) {
        timer.stop();
        return;
    }
    if (FComm.Port().InUse())
        return;  // a reply is awaited; try again next tick
    if (FState.DemoMode) {
        timer.stop();
        return;
    }
    if (FState.TasksRunning)
        return;
    timer.stop();
    FState.StatusPolling = true;
    UpdateStatus();
    FState.StatusPolling = false;
    if (!FState.Terminating)
        timer.start();
}

void TStatusPoll::UpdateStatus()
{
    // The port still exists when it can be opened again.
    TJTComPort& port = FComm.Port();
    port.Open();
    if (!port.Opened()) {
        const TMsgButton answer =
            FDialogs.MessageDlg("Port no longer available, restart?", QString(), mbYesNo, TMsgKind::mkWarning);
        if (answer == TMsgButton::mbYes)
            FApp.RestartApp();
        else
            FApp.ExitApp();
        return;
    }

    // Run state, as the generator sees it.
    const bool running = QueryRunning(FComm);
    if (FState.Terminating)
        return;
    if (running != FState.SystemRunning) {
        FState.SystemRunning = running;
        FForm.ShowRunning(running);
    }

    // Counters, while the Plus page is on view.
    if (FState.Variant().PlusFeatures && FForm.PlusPageShown()) {
        if (FState.SystemSettings.ShotCountEnabled == 1) {
            FState.SystemSettings.ShotCount = QueryShotCount(FComm);
            FForm.ShowShotCount(ShotCountText(FState.SystemSettings.ShotCount));
        }
        if (FState.SystemSettings.PeriodCounterEnabled == 1) {
            FState.SystemSettings.MeasuredPeriod = QueryMeasuredPeriod(FComm);
            FForm.ShowMeasuredPeriod(MeasuredPeriodText(FState.SystemSettings.MeasuredPeriod));
        }
    }
    if (FState.Terminating)
        return;

    // Errors: a reported error blinks without asking again; older
    // firmware has no error query.
    if (FState.ErrorCode > 0) {
        FForm.BlinkError();
    } else if (HasErrorQuery(FState.DeviceIdentity)) {
        FState.ErrorCode = QueryErrorCode(FComm);
        if (FState.ErrorCode > 0)
            FForm.ShowError(ErrorText(FState.ErrorCode));
    }
}
