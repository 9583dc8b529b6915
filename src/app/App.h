// The program's frame: start-up (Start), the first read-back
// (LaunchTimerTimer), exit and restart, and the commands typed into the
// terminal. It owns the settings, the line owner, the serial port, the main
// window, the command channel and the queue, and ties them together.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "app/CommandLine.h"
#include "comm/Communication.h"
#include "comm/LineOwner.h"
#include "model/ProgramState.h"
#include "serial/JTComPort.h"

class IDialogs;
class IProcessControl;
class IStartupKeys;
class QWidget;
class TMainForm;
class TMessageForm;
class TTaskQueue;
class TformPickPort;

class TJT6400App : public QObject, public ITerminal, public IAppControl {
    Q_OBJECT
public:
    struct TServices {
        IDialogs& Dialogs;
        IStartupKeys& Keys;
        IProcessControl& Process;
    };

    TJT6400App(const jt::TCommandLineOptions& options, TServices services);
    ~TJT6400App() override;

    // The start-up sequence: a port picked by hand, the demonstration mode,
    // or the scan for a generator, which runs as the line's first job while
    // the window's thread goes on. StartedUp is emitted once the program is
    // connected (at once for a picked port and the demonstration mode, when
    // the scan's outcome comes otherwise). False when the program ended (or
    // restarted) before Start returned: the window is then never shown.
    bool Start();
    // The scan for a generator is still under way.
    bool Starting() const { return FStarting; }
    void Show();
    // The program is ending (an exit or restart under way, or asked for by a
    // job on the line): nothing reaches the port any more.
    bool Ending() const { return FLine->Ending(); }

    TProgramState& State() { return FState; }
    TJTComPort& Port() { return *FPort; }
    TMainForm& Form() { return *FForm; }
    // The main window as a window, for what belongs to it (its boxes).
    QWidget& Window();
    TMessageForm& MessageForm() { return *FMessageForm; }
    TCommunication& Comm() { return *FComm; }
    // The owner of the serial line: every exchange after start-up is one of
    // its jobs.
    TLineOwner& Line() { return *FLine; }
    // The program's message boxes as jobs on the line see them.
    IDialogs& LineDialogs() { return *FLineDialogs; }
    TTaskQueue& Queue() { return *FQueue; }

    // The launch step, half a second after connecting: the first read-back
    // (through ReadBackDue), then the status poll.
    void LaunchTimerTimer();
    QTimer& LaunchTimer() { return FLaunchTimer; }
    void RestartApp() override;
    void ExitApp() override;
    void ExitClick() { ExitApp(); }
    void RestartClick() { RestartApp(); }
    void FormClose();
    void LoggingEnabledClick() { FComm->ToggleLoggingState(); }

    // The command terminal's text, Enter or Send: checked, queued and put
    // into the terminal's history; a character the line cannot carry refuses
    // it with a message.
    void SendTerminalText(const QString& text);

    // ITerminal: the traffic echo in the command terminal. Lines from the line's
    // thread are shown on the window's thread, in the order they came.
    void AddLine(const QString& text, TLineKind kind) override;
    void Clear() override;
    // IAppControl. Asked from a job on the line, the program stops the line
    // at once and carries out the request on the window's thread.
    bool CommunicationsLost() override;
    // The status poll rests (a question about a lost answer is up) or runs
    // again; asked from any thread.
    void StopStatusTimer();
    void StartStatusTimer();

signals:
    // The launch step wants the full read-back into the window, now.
    void ReadBackDue();
    // The status poll is to run (the launch, or "Ignore" to a lost answer)
    // or to stop (a lost answer, the end).
    void StatusPollWanted(bool on);
    // Start-up has ended with a connection (or the demonstration mode): the
    // window may be shown.
    void StartedUp();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The demonstration mode: "Entering Demo Mode", then connected.
    void EnterDemoMode();
    // A box with OK alone; Then runs once the user has closed it, unless
    // the program is ending by then.
    void Tell(const QString& text, TMsgKind kind, std::function<void()> then);
    // The scan's outcome: the start-up question when nothing was found.
    void ScanEnded(const TScanResult& scan, const QStringList& refused);
    // A port chosen by hand: the ports that open are listed (on the line's
    // thread) and offered in "Select Serial Port"; the chosen one is probed
    // as the scan probes each port. Cancel ends the program; a port without
    // a supported generator is named and the choice offered again.
    void ListPortsToPick();
    void OfferPorts(const TPortChoice& choice);
    void ShowPortChoice(const TPortChoice& choice);
    void PortPicked(bool accepted, int number);
    void PickedPortProbed(int number, const TPortProbe& probe, TOpenFailure failure);
    // The rest of start-up once a port (or the demonstration mode) is there.
    void Connect();
    // Hides the windows and stops the timers at once; the event loop ends
    // (ExitLoop) once the line has let go of the port.
    void Terminate();
    bool BeginEnding(void (TJT6400App::*request)());
    void ExitLoop(int exitCode);
    bool OnWindowThread() const;
    void WireControls();

    jt::TCommandLineOptions FOptions;
    TServices FServices;
    TProgramState FState;
    // Declared first among the parts the line uses, so it is destroyed last.
    std::unique_ptr<TLineOwner> FLine;
    std::unique_ptr<TLineDialogs> FLineDialogs;
    std::unique_ptr<TJTComPort> FPort;
    std::unique_ptr<TMainForm> FForm;
    std::unique_ptr<TMessageForm> FMessageForm;
    std::unique_ptr<TCommunication> FComm;
    std::unique_ptr<TTaskQueue> FQueue;
    // Inside Start: ending the program does not end an event loop that has
    // not started yet.
    bool FInStart = false;
    // Exit or restart has been carried out.
    bool FTerminated = false;
    QTimer FLaunchTimer;
    bool FStarting = false;
    // "Select Serial Port" while it is up.
    QPointer<TformPickPort> FPickDialog;
};
