#include "app/App.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMovie>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <clocale>

#include "comm/CommandText.h"
#include "platform/Dialogs.h"
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
    FQueue = std::make_unique<TTaskQueue>(FState, *FForm->TaskTimer, *FForm->StatusTimer, [this](const QString& command) {
        FLine->Post([command](TCommunication& channel) { channel.SendCommand(command); });
        return QString();
    });
    WireControls();
}

TJT6400App::~TJT6400App()
{
    FState.Terminating = true;
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
    connect(f.LaunchTimer, &QTimer::timeout, this, &TJT6400App::LaunchTimerTimer);
    connect(f.TaskTimer, &QTimer::timeout, this, [this] { FQueue->TaskTimerTimer(); });
    connect(f.ExitAction, &QAction::triggered, this, &TJT6400App::ExitClick);
    connect(f.RestartAction, &QAction::triggered, this, &TJT6400App::RestartClick);
    connect(f.LoggingEnabledAction, &QAction::triggered, this, [this, &f] {
        LoggingEnabledClick();
        f.LoggingEnabledAction->setChecked(FComm->Log().Enabled());
        FOptions.Logging = FComm->Log().Enabled();  // the user's choice, for a restart
    });
    connect(&FComm->Log(), &TTrafficLog::StateChanged, f.LoggingEnabledAction, &QAction::setChecked);
    connect(f.SendBtn, &QPushButton::clicked, this, &TJT6400App::SendBtnClick);
    connect(f.SendEdit, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { FPickedHistoryIndex = FHistoryPosition = index; });
    connect(f.SendEdit->lineEdit(), &QLineEdit::textEdited, this, [this] {
        FPickedHistoryIndex = -1;
        FHistoryPosition = -1;
    });
    // A user's keys reach the combo box, which has the focus and hands them
    // to its entry field directly, past that field's filters; keys sent to
    // the field itself come the ordinary way. Both are watched.
    f.SendEdit->installEventFilter(this);
    f.SendEdit->lineEdit()->installEventFilter(this);
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
    if (FState.Terminating)
        return false;
    Connect();
    return true;
}

void TJT6400App::ScanEnded(bool found, const QStringList& refused)
{
    const auto leave = qScopeGuard([this] { FStarting = false; });
    if (FState.Terminating)
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
    FForm->LaunchTimer->start();
    FState.SystemRunning = false;
    FForm->PulseMovie->setSpeed(200);
    // From now on the port belongs to the line owner's thread.
    FLine->Start(*FComm);
    emit StartedUp();
}

void TJT6400App::EnterDemoMode()
{
    FServices.Dialogs.ShowMessage("Entering Demo Mode");
    FState.DemoMode = true;
    FForm->StatusTimer->stop();
}

void TJT6400App::Show()
{
    if (!FState.Terminating)
        FForm->show();
}

void TJT6400App::LaunchTimerTimer()
{
    FForm->LaunchTimer->stop();
    if (FState.Terminating)
        return;
    emit ReadBackDue();
    if (FState.Terminating)
        return;
    // A read-back under way starts the poll itself when it ends.
    if (!FState.DemoMode && !FState.CommandsDisabled)
        FForm->StatusTimer->start();
    FState.SystemRunning = false;
}

void TJT6400App::RestartApp()
{
    if (!OnWindowThread()) {
        FLine->SetEnding();
        TLineOwner::Deliver(this, [this] { RestartApp(); });
        return;
    }
    if (FState.Terminating)
        return;
    FState.Terminating = true;
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
    if (FState.Terminating)
        return;
    FState.Terminating = true;
    FState.SettingsList.clear();
    FComm->Log().Close();
    Terminate();
    FLine->Stop([](TCommunication& channel) { channel.Port().Close(); }, [this] { ExitLoop(0); });
}

// Ends the program: nothing may reach the port any more and the windows go
// away at once.
void TJT6400App::Terminate()
{
    for (QTimer* t : {FForm->LaunchTimer, FForm->TaskTimer, FForm->StatusTimer})
        t->stop();
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
    FForm->StatusTimer->stop();
}

void TJT6400App::StartStatusTimer()
{
    if (!OnWindowThread()) {
        TLineOwner::Deliver(this, [this] { StartStatusTimer(); });
        return;
    }
    // A read-back restarts the poll itself when it ends.
    if (!FState.Terminating && !FState.DemoMode && !FState.CommandsDisabled)
        FForm->StatusTimer->start();
}

void TJT6400App::SendBtnClick()
{
    SendTerminalText();
}

bool TJT6400App::SendEditKeyPress(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        SendTerminalText();
        return true;
    }
    // Up and Down walk the history from the newest entry back (Alt+Down
    // still opens the list).
    const bool plain = !(event->modifiers() & (Qt::AltModifier | Qt::ControlModifier));
    if (plain && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        StepHistory(event->key() == Qt::Key_Up ? -1 : 1);
        return true;
    }
    // Ctrl+Backspace (character 127) removes the history entry picked from
    // the list; typed text has none. The key still reaches the entry field.
    const bool ctrlBackspace = event->key() == Qt::Key_Backspace && (event->modifiers() & Qt::ControlModifier);
    if (ctrlBackspace || event->text() == QString(QChar(127))) {
        QComboBox* edit = FForm->SendEdit;
        if (FPickedHistoryIndex >= 0 && FPickedHistoryIndex < edit->count()) {
            const QString text = edit->currentText();
            edit->removeItem(FPickedHistoryIndex);
            edit->setEditText(text);
            FPickedHistoryIndex = -1;
        }
    }
    return false;
}

void TJT6400App::SendTerminalText()
{
    QComboBox* edit = FForm->SendEdit;
    const QString text = edit->currentText();  // exactly as typed
    // A character the line cannot carry is refused, never sent as another;
    // the text stays in the entry field to be mended.
    if (const TCommandTextCheck check = CheckCommandText(text, true); !check.Ok()) {
        FServices.Dialogs.MessageDlg(QStringLiteral("The command was not sent: %1.").arg(check.Reason()), QString(),
                                     TMsgButton::mbOK, TMsgKind::mkWarning);
        return;
    }
    FQueue->QueuedCommandToPort(text);
    edit->addItem(text);
    edit->setEditText(text);
    // The text stays, to be sent again at once, but selected, so that what
    // is typed next replaces it; the history stands at this entry.
    edit->lineEdit()->selectAll();
    FHistoryPosition = edit->count() - 1;
}

void TJT6400App::StepHistory(int step)
{
    QComboBox* edit = FForm->SendEdit;
    const int count = edit->count();
    if (count == 0)
        return;
    // Typed text stands after the newest entry.
    const int from = FHistoryPosition >= 0 && FHistoryPosition < count ? FHistoryPosition : count;
    const int to = std::clamp(from + step, 0, count - 1);
    edit->setCurrentIndex(to);
    edit->setEditText(edit->itemText(to));
    edit->lineEdit()->selectAll();
    FHistoryPosition = FPickedHistoryIndex = to;
}

void TJT6400App::AddLine(const QString& text, const QColor& color)
{
    if (!OnWindowThread()) {
        TLineOwner::Deliver(this, [this, text, color] { AddLine(text, color); });
        return;
    }
    QTextEdit* list = FForm->ResponseList;
    QTextCursor cursor(list->document());
    cursor.movePosition(QTextCursor::End);
    if (!list->document()->isEmpty())
        cursor.insertBlock();
    QTextCharFormat format;
    format.setForeground(color);
    cursor.insertText(text, format);
    list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
}

void TJT6400App::Clear()
{
    if (!OnWindowThread()) {
        TLineOwner::Deliver(this, [this] { Clear(); });
        return;
    }
    FForm->ResponseList->clear();
}

bool TJT6400App::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && watched == FForm.get()) {
        FormClose();
        return false;
    }
    if (event->type() == QEvent::KeyPress && (watched == FForm->SendEdit || watched == FForm->SendEdit->lineEdit()))
        return SendEditKeyPress(static_cast<QKeyEvent*>(event));
    return QObject::eventFilter(watched, event);
}
