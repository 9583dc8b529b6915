#include "app/App.h"

#include <QApplication>
#include <QComboBox>
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
#include "serial/PickPort.h"
#include "serial/PortList.h"
#include "window/MessageForm.h"
#include "platform/Platform.h"
#include "scheduling/TaskQueue.h"

namespace {
const QString kNoDeviceText = QStringLiteral(
    "No device found. Try to reconnect?\n\r\n\rMake sure unit is fully powered on\n\rbefore selecting Yes");

// Why a port picked by hand is not used.
QString PickedPortText(int number, const TPortProbe& probe, TOpenFailure failure)
{
    const QString port = ComPortName(number);
    switch (probe.Result) {
        case TProbeResult::prNotOpened:
            if (failure == TOpenFailure::ofNoPermission)
                return QStringLiteral("No permission to open %1. %2").arg(port, TJTComPort::PermissionHint());
            if (failure == TOpenFailure::ofInUse)
                return QStringLiteral("%1 is in use by another program.").arg(port);
            return QStringLiteral("%1 cannot be opened.").arg(port);
        case TProbeResult::prNoAnswer:
            return QStringLiteral("No generator answers on %1.").arg(port);
        case TProbeResult::prUnsupported:
            return probe.Identity.Model.isEmpty()
                       ? QStringLiteral("The instrument on %1 is not a supported generator.").arg(port)
                       : QStringLiteral("The instrument on %1 (model \"%2\") is not a supported generator.")
                             .arg(port, probe.Identity.Model);
        case TProbeResult::prFound:
            break;
    }
    return QString();
}

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
    FComm = std::make_unique<TCommunication>(*FPort, *FLineDialogs, this, this);
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

QWidget& TJT6400App::Window()
{
    return *FForm;
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

    // Until the main window is up, the windows of start-up (the questions,
    // the port choice) come and go while nothing else is shown: closing the
    // last of them must not end the program, which ends only as its answer
    // says.
    QGuiApplication::setQuitOnLastWindowClosed(false);

    // Connect: by hand, demonstration mode, or discovery. Ports are opened
    // and probed only on the line's thread; what they found comes back to
    // this one.
    if (FServices.Keys.SpaceHeld()) {
        FStarting = true;
        FLine->Start(*FComm);
        ListPortsToPick();
        return true;
    }
    if (FServices.Keys.LeftShiftHeld()) {
        EnterDemoMode();
        return true;
    }
    FStarting = true;
    FLine->Start(*FComm);
    TLineOwner* line = FLine.get();
    FLine->Post([this, line](TCommunication& channel) {
        QStringList refused;
        const TScanResult scan = channel.FindDevice(
            [&](int number, const TPortProbe& probe) {
                if (probe.Result == TProbeResult::prNotOpened &&
                    channel.Port().LastOpenFailure() == TOpenFailure::ofNoPermission)
                    refused << ComPortName(number);
            },
            [line] { return line->Ending(); });
        TLineOwner::Deliver(this, [this, scan, refused] { ScanEnded(scan, refused); });
    });
    return true;
}

void TJT6400App::ScanEnded(const TScanResult& scan, const QStringList& refused)
{
    if (Ending())
        return;
    if (scan.Found) {
        FState.SetGenerator(scan.Identity);
        Connect();
        return;
    }
    FServices.Dialogs.AskMessage(NoDeviceText(refused), QString(), mbYesNo, TMsgKind::mkWarning,
                                 [this](TMsgButton answer) {
                                     if (Ending())
                                         return;
                                     if (answer == TMsgButton::mbYes)
                                         RestartApp();
                                     else if (!FServices.Keys.LeftShiftHeld())
                                         ExitApp();
                                     else
                                         EnterDemoMode();
                                 });
}

void TJT6400App::ListPortsToPick()
{
    FLine->Post([this](TCommunication& channel) {
        const TPortChoice choice = channel.Port().OpenablePorts();
        TLineOwner::Deliver(this, [this, choice] { OfferPorts(choice); });
    });
}

void TJT6400App::OfferPorts(const TPortChoice& choice)
{
    if (Ending())
        return;
    if (choice.Ports.isEmpty()) {
        Tell(QStringLiteral("No available ports."), TMsgKind::mkInformation, [this] { ExitApp(); });
        return;
    }
    if (!choice.Refused.isEmpty()) {
        QStringList names;
        for (int n : choice.Refused)
            names << ComPortName(n);
        Tell(QStringLiteral("%1 cannot be opened: permission denied. %2")
                 .arg(names.join(QStringLiteral(", ")), TJTComPort::PermissionHint()),
             TMsgKind::mkWarning, [this, choice] { ShowPortChoice(choice); });
        return;
    }
    ShowPortChoice(choice);
}

void TJT6400App::ShowPortChoice(const TPortChoice& choice)
{
    auto* dialog = new TformPickPort();
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->SetPorts(choice.Openable, choice.Current);
    connect(dialog, &TformPickPort::Answered, this, &TJT6400App::PortPicked);
    FPickDialog = dialog;
    dialog->open();
}

void TJT6400App::PortPicked(bool accepted, int number)
{
    if (Ending())
        return;
    if (!accepted) {
        ExitApp();
        return;
    }
    if (number <= 0) {
        // OK with nothing chosen: the ports are looked at again and the
        // choice offered anew.
        if (FPickDialog && FPickDialog->listPorts->count() == 0)
            Tell(QStringLiteral("No available ports."), TMsgKind::mkInformation, [this] { ListPortsToPick(); });
        else
            ListPortsToPick();
        return;
    }
    // The picked port is probed as the scan probes each port: echo off and
    // the identification; only a supported generator is read back.
    FLine->Post([this, number](TCommunication& channel) {
        channel.ApplyScanSettings();
        const TPortProbe probe = channel.ProbePort(number);
        const TOpenFailure failure = channel.Port().LastOpenFailure();
        TLineOwner::Deliver(this, [this, number, probe, failure] { PickedPortProbed(number, probe, failure); });
    });
}

void TJT6400App::PickedPortProbed(int number, const TPortProbe& probe, TOpenFailure failure)
{
    if (Ending())
        return;
    if (probe.Result == TProbeResult::prFound) {
        FState.SetGenerator(probe.Identity);
        Connect();
        return;
    }
    Tell(PickedPortText(number, probe, failure), TMsgKind::mkWarning, [this] { ListPortsToPick(); });
}

void TJT6400App::Tell(const QString& text, TMsgKind kind, std::function<void()> then)
{
    FServices.Dialogs.AskMessage(text, QString(), TMsgButton::mbOK, kind, [this, then = std::move(then)](TMsgButton) {
        if (!Ending())
            then();
    });
}

void TJT6400App::Connect()
{
    FStarting = false;
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
    FComm->EnterDemoMode();
    FStarting = true;
    FServices.Dialogs.AskMessage(QStringLiteral("Entering Demo Mode"), QString(), TMsgButton::mbOK,
                                 TMsgKind::mkPlain, [this](TMsgButton) {
                                     if (!Ending())
                                         Connect();
                                 });
}

void TJT6400App::Show()
{
    if (Ending())
        return;
    FForm->show();
    // From now on closing the main window ends the program.
    QGuiApplication::setQuitOnLastWindowClosed(true);
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

// The first steps of an exit and of a restart. Asked from a job on the line,
// the line stops at once and Request runs again on the window's thread; there
// the first request ends the program (log closed, windows hidden, nothing
// more reaches the line) and any later one is ignored. True when the caller
// goes on to end the line.
bool TJT6400App::BeginEnding(void (TJT6400App::*request)())
{
    if (!OnWindowThread()) {
        FLine->SetEnding();
        TLineOwner::Deliver(this, [this, request] { (this->*request)(); });
        return false;
    }
    if (FTerminated)
        return false;
    FComm->Log().Close();
    Terminate();
    return true;
}

void TJT6400App::RestartApp()
{
    if (!BeginEnding(&TJT6400App::RestartApp))
        return;
    // The port is closed and the pause before the new instance starts is
    // taken on the line's thread; then the new instance starts.
    FLine->Stop(
        [this](TCommunication& channel) {
            channel.Port().Close();
            FServices.Process.Sleep(500);
        },
        [this] {
            // The new panel logs as the user last chose (-log, or the menu
            // since) and serves the network as this one was asked to.
            QStringList arguments;
            for (const std::string& argument : jt::RestartArguments(FOptions))
                arguments << QString::fromStdString(argument);
            FServices.Process.StartOwnExecutable(arguments);
            ExitLoop(0);
        });
}

void TJT6400App::ExitApp()
{
    if (!BeginEnding(&TJT6400App::ExitApp))
        return;
    FState.SettingsList.clear();
    FLine->Stop([](TCommunication& channel) { channel.Port().Close(); }, [this] { ExitLoop(0); });
}

// Ends the program: nothing may reach the port any more and the windows go
// away at once.
void TJT6400App::Terminate()
{
    FTerminated = true;
    FStarting = false;
    if (FPickDialog)
        FPickDialog->close();
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

// The generator did not answer in time: the user chooses to restart, to end,
// or to go on. The poll rests while the question is up. The log is closed
// here, before the end is asked for, so that it ends with the unanswered
// line.
bool TJT6400App::CommunicationsLost()
{
    StopStatusTimer();
    const TMsgButton answer = FLineDialogs->MessageDlg(QStringLiteral("Communications lost. Restart?"), QString(),
                                                       mbYesNoIgnore, TMsgKind::mkWarning);
    switch (answer) {
        case TMsgButton::mbYes:
            FComm->Log().Close();
            RestartApp();
            return false;
        case TMsgButton::mbNo:
            FComm->Log().Close();
            ExitApp();
            return false;
        default:  // Ignore: carry on
            StartStatusTimer();
            return true;
    }
}

void TJT6400App::SendTerminalText(const QString& text)
{
    // A character the line cannot carry is refused, never sent as another;
    // the text stays in the entry field to be mended.
    if (const TCommandTextCheck check = CheckCommandText(text, true); !check.Ok()) {
        FServices.Dialogs.AskMessage(QStringLiteral("The command was not sent: %1.").arg(check.Reason()), QString(),
                                     TMsgButton::mbOK, TMsgKind::mkWarning, {});
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
