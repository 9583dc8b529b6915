// The command channel to the generator: one text line out, one line back.
// Every other part of the program reaches the generator only through
// TCommunication. It echoes set commands and their replies in the command
// terminal, writes the traffic log, asks what to do when the generator
// stops answering, and finds the generator at start-up (FindDevice).
#pragma once

#include "comm/TrafficLog.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>

#include "model/DeviceIdentity.h"

// How long the generator may take to answer once discovery has found it.
constexpr std::uint32_t kAnswerTimeMs = 2000;
// How long discovery waits for each answer while it probes a port.
constexpr std::uint32_t kScanAnswerTimeMs = 100;
class TJTComPort;
class IDialogs;

// What a line of the command terminal's echo is: a command sent to the
// generator or the generator's reply. How each kind looks is the window's
// business.
enum class TLineKind { lkCommand, lkResponse };

// The command terminal's text box, as the channel sees it.
class ITerminal {
public:
    virtual ~ITerminal() = default;
    virtual void AddLine(const QString& text, TLineKind kind) = 0;
    virtual void Clear() = 0;
};

// The program as its parts see it: they ask it to restart or to end, and the
// channel reports a lost answer to it. What follows is the program's choice.
class IAppControl {
public:
    virtual ~IAppControl() = default;
    virtual void RestartApp() = 0;
    virtual void ExitApp() = 0;
    // The generator did not answer an exchange in time (on the thread of the
    // exchange). The program decides what follows: True to go on with the
    // exchanges, false when it ends or restarts (the channel then closes its
    // log at once, so the log ends with the unanswered line).
    virtual bool CommunicationsLost() = 0;
};

// What a probe of one serial port found.
enum class TProbeResult {
    prNotOpened,    // the port could not be opened (see the port's LastOpenFailure)
    prNoAnswer,     // it opened, but nothing answered the identification
    prUnsupported,  // an instrument answered that is not a supported generator
    prFound,        // a supported generator: the port is left open on it
};

// A probe of one port: the outcome and the identity that its instrument
// gave (empty when nothing answered the identification).
struct TPortProbe {
    TProbeResult Result = TProbeResult::prNotOpened;
    TDeviceIdentity Identity;
};

// The outcome of the scan for a generator.
struct TScanResult {
    // A supported generator answered: the port is left open on it, and
    // Identity is the generator's.
    bool Found = false;
    TDeviceIdentity Identity;
};

class TCommunication {
public:
    TCommunication(TJTComPort& port, IDialogs& dialogs, ITerminal* terminal = nullptr, IAppControl* app = nullptr);
    ~TCommunication();
    TCommunication(const TCommunication&) = delete;
    TCommunication& operator=(const TCommunication&) = delete;

    // Makes the port's OnTimeout call CommunicationsLost.
    void ConnectTimeoutHandler();

    TTrafficLog& Log() { return FLog; }
    void ToggleLoggingState() { FLog.ToggleLoggingState(); }
    TJTComPort& Port() { return FPort; }

    // No generator is behind the channel: the demonstration mode, entered at
    // start-up before the line starts and kept to the end. Nothing polls or
    // reads back then, and no exchange reaches a port: a set command is
    // echoed in the terminal with a note that it was not sent, a query gets
    // no answer.
    void EnterDemoMode() { FDemoMode = true; }
    bool DemoMode() const { return FDemoMode; }

    // Sends a set command, echoes it and the reply in the terminal, and
    // returns the reply. A command that came from
    // elsewhere (a network client) is marked with its Origin in the echo.
    QString SendCommand(const QString& command, const QString& origin = QString());
    // A line of its own in the traffic log (while logging): "Remote  (" T "): " Text.
    void LogNote(const QString& text);
    // Sends Command followed by "?" and returns the answer, trailing white
    // space removed; empty when the port is busy or nothing came.
    QString QueryDevice(const QString& command);
    // Numeric queries: an empty answer gives 0; an answer that does not
    // convert gives 0 and an "Exception Error" log line. "." is the decimal
    // separator whatever the locale.
    std::int32_t QueryInteger(const QString& command);
    double QueryFloat(const QString& command);
    std::int64_t QueryInt64(const QString& command);
    QString ReadResponse();
    QString ReadAndShowResponse();
    // The generator stopped answering: the program is told and decides.
    void CommunicationsLost();

    // Asks for the identification and parses it into Identity.
    TIdnParseResult ParseIDN(TDeviceIdentity& identity);
    // Scans the serial ports for a supported generator (the port is then
    // left open on it). Probed, when given, hears the outcome of every port
    // tried; Ending, when given, is asked before each port, and once it holds
    // the scan ends with nothing found.
    TScanResult FindDevice(const std::function<void(int port, const TPortProbe& probe)>& probed = {},
                           const std::function<bool()>& ending = {});
    // The port settings of the scan: 115200 baud, CR ends a response, no
    // event passes, no error boxes, 100 ms response time.
    void ApplyScanSettings();
    // One port of the scan: opens it, turns the generator's echo off and asks
    // for the identification, which is parsed into the probe's identity. On a
    // supported generator the port stays open; otherwise it is closed again.
    TPortProbe ProbePort(int number);
    // Opens port Number and gives the device the 100 ms it needs after
    // opening before the first line; false when it cannot be opened.
    bool OpenSettled(int number);
    // Whether the last probe got any reply to its first two commands: a
    // port with no answer to the identification that still replied is not
    // silent (its answers may come too late for their exchanges).
    bool ProbeHeardReplies() const { return FProbeHeard; }

    const QString& LastCommandText() const { return FLastCommandText; }

private:
    void AddTerminalLine(const QString& text, TLineKind kind);
    // The line (with its time stamp) is only composed while a log is open.
    template <typename Compose>
    void LogLine(Compose compose)
    {
        if (FLog.IsOpen())
            FLog.AppendLine(compose());
    }
    void LogConversionFailure();
    template <typename T, typename Convert>
    T QueryNumber(const QString& command, Convert convert);
    bool WriteLine(const QString& text);

    TJTComPort& FPort;
    IDialogs& FDialogs;
    ITerminal* FTerminal;
    IAppControl* FApp;
    TTrafficLog FLog;
    QString FLastCommandText;
    bool FProbeHeard = false;
    std::atomic<bool> FDemoMode{false};
};
