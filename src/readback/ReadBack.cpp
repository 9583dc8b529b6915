#include "readback/ReadBack.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QScopeGuard>
#include <QTimer>

#include "comm/Communication.h"
#include "model/Capabilities.h"
#include "readback/Enabling.h"
#include "window/MainForm.h"
#include "serial/JTComPort.h"
#include "window/MessageForm.h"
#include "model/ProgramState.h"
#include "model/SettingTable.h"
#include "readback/SettingsLines.h"
#include "scheduling/TaskQueue.h"

TReadBack::TReadBack(TProgramState& state, TMainForm& form, TCommunication& comm, TTaskQueue& queue,
                     TMessageForm& splash)
    : FState(state), FForm(form), FComm(comm), FQueue(queue), FSplash(splash), FReader(comm, [this] {
          return ContinueAfterAnswer();
      })
{
    connect(&FForm, &TMainForm::RefreshRequested, this, &TReadBack::RefreshClick);
}

void TReadBack::RefreshClick()
{
    FState.RefreshRequested = -1;
    FQueue.Wake();
}

void TReadBack::SystemModesEnable()
{
    ::SystemModesEnable(FForm, FState);
}

void TReadBack::ChModesEnable(int n)
{
    ::ChModesEnable(FForm, FState, n);
}

void TReadBack::TriggerModesEnable()
{
    ::TriggerModesEnable(FForm, FState, FQueue);
}

bool TReadBack::Initialize()
{
    if (FRunning || FState.Terminating)
        return false;
    if (FState.DemoMode) {
        DemoReadBack();
        emit SettingsChanged();
        return true;
    }

    FRunning = true;
    FForm.GreySequenceActions(true);
    const auto restore = qScopeGuard([this] {
        FForm.GreySequenceActions(false);
        FRunning = false;
    });

    if (!NormalReadBack()) {
        // The program is ending (communications lost, exit or restart): no
        // further query, no timer restarted.
        FState.CommandsDisabled = false;
        FSplash.hide();
    }
    emit SettingsChanged();
    return true;
}

bool TReadBack::ContinueAfterAnswer()
{
    if (FState.Terminating)
        return false;
    // "Ignore" to a lost answer restarts the status poll; it stays off until
    // the read-back is done.
    FForm.StatusTimer->stop();
    return true;
}

void TReadBack::DemoReadBack()
{
    FState.SettingsList.clear();
    FState.SettingsList.append(SettingsTimeStampLine(QDateTime::currentDateTime()));
    FState.ErrorCode = 0;
    FForm.ClearStatus();
    FForm.StatusTimer->stop();
    FForm.ShowIdentity({QStringLiteral(" Model 6404+  SW Version: ") + FileVersionText() +
                            QStringLiteral(" ComPort: Demo"),
                        QStringLiteral("Serial Number: 1234"), QStringLiteral("Firmware Ver: 1.00"),
                        QStringLiteral("FPGA Ver: 1.25")});
    FState.PlusOption = true;
}

bool TReadBack::NormalReadBack()
{
    // Status displays cleared; a reported error is forgotten: the status
    // poll asks for errors again.
    FState.ErrorCode = 0;
    FForm.ClearStatus();

    // Nothing else reaches the line meanwhile; handlers drop their commands.
    FForm.StatusTimer->stop();
    FForm.TaskTimer->stop();
    FState.CommandsDisabled = true;

    // The splash form for the long cases, painted before the first query.
    const bool splash = FState.RecallRequested != 0 || FState.RefreshRequested != 0;
    if (splash)
        FSplash.ShowNow();
    QCoreApplication::processEvents();
    if (!ContinueAfterAnswer())
        return false;

    // What the model says before any query: the window adapts to it, so that
    // the controls accept the values that follow.
    FReader.Begin(FState);
    FForm.ShowIdentity(IdentityTexts(FState.DeviceIdentity, FComm.Port().Port()));
    FForm.ShowVariant(FState.Variant());
    FForm.SetResolution(FState);
    FForm.SetRanges(FState);

    if (!FReader.ReadSettings(FState))
        return false;

    FForm.ShowSnapshot(FState);

    FState.CommandsDisabled = false;
    FForm.ShowFirstPages();

    // The only commands a read-back can cause; they go out afterwards
    // through the queue.
    SystemModesEnable();
    TriggerModesEnable();

    FForm.StatusTimer->start();
    FForm.TaskTimer->start();
    if (splash)
        FSplash.hide();
    return true;
}
