#include "app/App.h"

#include <QApplication>
#include <QLocale>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>

#include <clocale>

#include "comm/CommandText.h"
#include "platform/Dialogs.h"
#include "window/CommandTerminal.h"
#include "window/MainForm.h"
#include "serial/JTComPort.h"
#include "serial/PortList.h"
#include "window/MessageForm.h"
#include "platform/Platform.h"
#include "scheduling/TaskQueue.h"

namespace {
const QString kNoDeviceText = QStringLiteral(
    "No device found. Try to reconnect?\n\r\n\rMake sure unit is fully powered on\n\rbefore selecting Yes");

// The question when discovery found no generator. When ports refused this
// user, that is the likelier cause than the cable or the power: it comes
// first, with the advice that mends it.
QString NoDeviceText(const QStringList& refusedPorts)
{
    if (refusedPorts.isEmpty() || TJTComPort::PermissionHint().isEmpty())
        return kNoDeviceText;
    return QStringLiteral("No permission to open %1. %2\n\r\n\r")
               .arg(refusedPorts.join(QStringLiteral(", ")), TJTComPort::PermissionHint()) +
           kNoDeviceText;
}
}

TJT6400App::TJT6400App(const jt::TCommandLineOptions& options, TServices services)
    : FOptions(options), FServices(services)
{
    FLine = std::make_unique<TLineOwner>();
    FLineDialogs = std::make_unique<TLineDialogs>(*FLine, FServices.Dialogs);
    FPort = std::make_unique<TJTComPort>(nullptr, FLineDialogs.get());
    FPort->setObjectName("ComPort");
    FPort->SetBaud(115200);
    FPort->SetHandshaking(THandshake::hsNone);
    FPort->SetParity(TParity::parNone);
    FPort->SetResponseTime(3000);
    FPort->SetPort(1);
    FPort->SetShowErrors(true);
    FPort->SetAllowEvents(false);
    FForm = std::make_unique<TMainForm>();
    FMessageForm = std::make_unique<TMessageForm>();
    FComm = std::make_unique<TCommunication>(FState, *FPort, *FLineDialogs, this, this);
    FLine->Attach(*FComm);
    // A queued command is one job on the line: sent, echoed, answered.
    FQueue = std::make_unique<TTaskQueue>(*FLine, [this](const QString& command) {
        FLine->Post([command](TCommunication& channel) { channel.SendCommand(command); });
        return QString();
    });
    FLaunchTimer.setObjectName(QStringLiteral("LaunchTimer"));
    FLaunchTimer.setInterval(500);
    WireControls();
}

TJT6400App::~TJT6400App()
{
    // The job under way ends at its next answer; nothing after it starts.
    FLine->Stop();
    FLine->Join();
    FComm->Log().Close();
}

bool TJT6400App::OnWindowThread() const
{
    return QThread::currentThread() == thread();
}

void TJT6400App::WireControls()
{
    TMainForm& f = *FForm;
    connect(&FLaunchTimer, &QTimer::timeout, this, &TJT6400App::LaunchTimerTimer);
    connect(&f, &TMainForm::ExitRequested, this, &TJT6400App::ExitClick);
    connect(&f, &TMainForm::RestartRequested, this, &TJT6400App::RestartClick);
    connect(&f, &TMainForm::LoggingRequested, this, [this, &f] {
        LoggingEnabledClick();
        f.ShowLogging(FComm->Log().Enabled());
        FOptions.Logging = FComm->Log().Enabled();  // the user's choice, for a restart
    });
    connect(&FComm->Log(), &TTrafficLog::StateChanged, &f, &TMainForm::ShowLogging);
    connect(&f.Terminal(), &TCommandTerminal::CommandEntered, this, &TJT6400App::SendTerminalText);
    f.installEventFilter(this);
}

bool TJT6400App::Start()
{
    FInStart = true;
    const auto leave = qScopeGuard([this] { FInStart = false; });

    // "." decimal and "," thousands whatever the regional settings say,
    // for Qt's conversions and for the C library's.
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_NUMERIC, "C");

    // Connect: by hand, demonstration mode, or discovery.
    TJTComPort& port = *FPort;
    if (FServices.Keys.SpaceHeld()) {
        if (!port.Pick(nullptr)) {
            ExitApp();
            return false;
        }
        port.Open();
        port.SetBaud(115200);
        port.SetEndOfResponse(QByteArray(1, '\r'));
        port.SetAllowEvents(false);
        port.SetShowErrors(false);
        port.SetResponseTime(1000);
    } else if (FServices.Keys.LeftShiftHeld()) {
        EnterDemoMode();
    } else {
        // The scan pauses and waits on the line's thread; its outcome comes
        // back to this one.
        FStarting = true;
        FLine->Start(*FComm);
        FLine->Post([this](TCommunication& channel) {
            QStringList refused;
            const bool found = channel.FindDevice([&](int number, TProbeResult result) {
                if (result == TProbeResult::prNotOpened &&
                    channel.Port().LastOpenFailure() == TOpenFailure::ofNoPermission)
                    refused << ComPortName(number);
            });
            TLineOwner::Deliver(this, [this, found, refused] { ScanEnded(found, refused); });
        });
        return true;
    }
    if (Ending())
        return false;
    Connect();
    return true;
}

void TJT6400App::ScanEnded(bool found, const QStringList& refused)
{
    const auto leave = qScopeGuard([this] { FStarting = false; });
    if (Ending())
        return;
    if (!found) {
        const TMsgButton answer =
            FServices.Dialogs.MessageDlg(NoDeviceText(refused), QString(), mbYesNo, TMsgKind::mkWarning);
        if (answer == TMsgButton::mbYes) {
            RestartApp();
            return;
        }
        if (!FServices.Keys.LeftShiftHeld()) {
            ExitApp();
            return;
        }
        EnterDemoMode();
    }
    Connect();
}

void TJT6400App::Connect()
{
    // Connected: wait longer for answers from now on, start an empty settings
    // list, fix the log file's name, and let the launch timer start the read-back.
    FLine->Post([this](TCommunication& channel) {
        channel.Port().SetResponseTime(kAnswerTimeMs);
        channel.Port().SetAllowEvents(true);
        channel.ConnectTimeoutHandler();
    });
    FState.SettingsList.clear();
    FComm->Log().FixNameParts();
    if (FOptions.Logging)
        FComm->ToggleLoggingState();
    FLaunchTimer.start();
    // From now on the port belongs to the line owner's thread.
    FLine->Start(*FComm);
    emit StartedUp();
}

void TJT6400App::EnterDemoMode()
{
    FServices.Dialogs.ShowMessage("Entering Demo Mode");
    FComm->EnterDemoMode();
}

void TJT6400App::Show()
{
    if (!Ending())
        FForm->show();
}

void TJT6400App::LaunchTimerTimer()
{
    FLaunchTimer.stop();
    if (Ending())
        return;
    emit ReadBackDue();
    // A read-back under way holds the poll and starts it when it ends.
    emit StatusPollWanted(true);
}

void TJT6400App::RestartApp()
{
    if (!OnWindowThread()) {
        FLine->SetEnding();
        TLineOwner::Deliver(this, [this] { RestartApp(); });
        return;
    }
    if (FTerminated)
        return;
    FComm->Log().Close();
    Terminate();
    // The port is closed and the pause before the new instance starts is
    // taken on the line's thread; then the new instance starts.
    FLine->Stop(
        [this](TCommunication& channel) {
            channel.Port().Close();
            FServices.Process.Sleep(500);
        },
        [this] {
            // The new panel logs as the user last chose (-log, or the menu since).
            FServices.Process.StartOwnExecutable(FOptions.Logging ? QStringList{QStringLiteral("-log")} : QStringList());
            ExitLoop(0);
        });
}

void TJT6400App::ExitApp()
{
    if (!OnWindowThread()) {
        FLine->SetEnding();
        TLineOwner::Deliver(this, [this] { ExitApp(); });
        return;
    }
    if (FTerminated)
        return;
    FState.SettingsList.clear();
    FComm->Log().Close();
    Terminate();
    FLine->Stop([](TCommunication& channel) { channel.Port().Close(); }, [this] { ExitLoop(0); });
}

// Ends the program: nothing may reach the port any more and the windows go
// away at once.
void TJT6400App::Terminate()
{
    FTerminated = true;
    // From here on nothing reaches the line: the queue, the poll and the
    // read-back see it ending.
    FLine->SetEnding();
    FLaunchTimer.stop();
    emit StatusPollWanted(false);
    FMessageForm->hide();
    FForm->hide();
}

// The event loop ends as soon as control returns to it (or is never entered
// when this happens during start-up).
void TJT6400App::ExitLoop(int exitCode)
{
    if (!FInStart)
        QCoreApplication::exit(exitCode);
}

void TJT6400App::FormClose()
{
    if (FComm->Log().Enabled())
        FComm->Log().Close();
}

void TJT6400App::StopStatusTimer()
{
    if (!OnWindowThread()) {
        TLineOwner::Deliver(this, [this] { StopStatusTimer(); });
        return;
    }
    emit StatusPollWanted(false);
}

void TJT6400App::StartStatusTimer()
{
    if (!OnWindowThread()) {
        TLineOwner::Deliver(this, [this] { StartStatusTimer(); });
        return;
    }
    // A read-back under way holds the poll and starts it when it ends.
    emit StatusPollWanted(true);
}

void TJT6400App::SendTerminalText(const QString& text)
{
    // A character the line cannot carry is refused, never sent as another;
    // the text stays in the entry field to be mended.
    if (const TCommandTextCheck check = CheckCommandText(text, true); !check.Ok()) {
        FServices.Dialogs.MessageDlg(QStringLiteral("The command was not sent: %1.").arg(check.Reason()), QString(),
                                     TMsgButton::mbOK, TMsgKind::mkWarning);
        return;
    }
    FQueue->QueuedCommandToPort(text);
    FForm->Terminal().Accept(text);
}

void TJT6400App::AddLine(const QString& text, TLineKind kind)
{
    if (!OnWindowThread()) {
        TLineOwner::Deliver(this, [this, text, kind] { AddLine(text, kind); });
        return;
    }
    FForm->Terminal().AddLine(text, kind == TLineKind::lkCommand ? CommandColor() : ResponseColor());
}

void TJT6400App::Clear()
{
    if (!OnWindowThread()) {
        TLineOwner::Deliver(this, [this] { Clear(); });
        return;
    }
    FForm->Terminal().Clear();
}

bool TJT6400App::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && watched == FForm.get()) {
        FormClose();
        return false;
    }
    return QObject::eventFilter(watched, event);
}
