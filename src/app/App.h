// The program's frame: start-up (Start), the first read-back
// (LaunchTimerTimer), exit and restart, and the command terminal. It owns the
// program-wide state, the serial port, the main window, the command channel
// and the queue, and ties them together.
#pragma once

#include <QObject>
#include <memory>

#include "app/CommandLine.h"
#include "comm/Communication.h"
#include "comm/LineOwner.h"
#include "model/ProgramState.h"

class IDialogs;
class IProcessControl;
class IStartupKeys;
class QKeyEvent;
class TJTComPort;
class TMainForm;
class TMessageForm;
class TTaskQueue;

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
    bool Ending() const { return FState.Terminating; }

    TProgramState& State() { return FState; }
    TJTComPort& Port() { return *FPort; }
    TMainForm& Form() { return *FForm; }
    TMessageForm& MessageForm() { return *FMessageForm; }
    TCommunication& Comm() { return *FComm; }
    // The owner of the serial line: every exchange after start-up is one of
    // its jobs.
    TLineOwner& Line() { return *FLine; }
    // The program's message boxes as jobs on the line see them.
    IDialogs& LineDialogs() { return *FLineDialogs; }
    TTaskQueue& Queue() { return *FQueue; }

    // The launch step: the first read-back (through ReadBackDue), then the
    // status poll.
    void LaunchTimerTimer();
    void RestartApp() override;
    void ExitApp() override;
    void ExitClick() { ExitApp(); }
    void RestartClick() { RestartApp(); }
    void FormClose();
    void LoggingEnabledClick() { FComm->ToggleLoggingState(); }

    // Command terminal.
    void SendBtnClick();
    // Returns true when the key was consumed.
    bool SendEditKeyPress(QKeyEvent* event);

    // ITerminal: the traffic echo in ResponseList. Lines from the line's
    // thread are shown on the window's thread, in the order they came.
    void AddLine(const QString& text, const QColor& color) override;
    void Clear() override;
    // IAppControl. Asked from a job on the line, the program stops the line
    // at once and carries out the request on the window's thread.
    void StopStatusTimer() override;
    void StartStatusTimer() override;

signals:
    // The launch step wants the full read-back into the window, now.
    void ReadBackDue();
    // Start-up has ended with a connection (or the demonstration mode): the
    // window may be shown.
    void StartedUp();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SendTerminalText();
    // Shows the history entry Step entries away (-1 older, +1 newer).
    void StepHistory(int step);
    void EnterDemoMode();
    // The scan's outcome: the start-up question when nothing was found.
    void ScanEnded(bool found, const QStringList& refused);
    // The rest of start-up once a port (or the demonstration mode) is there.
    void Connect();
    // Hides the windows and stops the timers at once; the event loop ends
    // (ExitLoop) once the line has let go of the port.
    void Terminate();
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
    bool FStarting = false;
    // The history entry picked from SendEdit's list; -1 once text is typed.
    int FPickedHistoryIndex = -1;
    // The history entry the terminal shows; -1 for typed text.
    int FHistoryPosition = -1;
};
