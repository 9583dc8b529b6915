// jt6400-cli's commands, composed from the panel's own parts: discovery and
// the command channel, the window-free read-back into a settings snapshot,
// the settings file and its restore, and the status poll's questions.
#pragma once

#include "cli/CliOptions.h"
#include "cli/ConsoleDialogs.h"
#include "comm/Communication.h"
#include "model/ProgramState.h"
#include "serial/JTComPort.h"
#include "storage/SettingsFile.h"

#include <QJsonObject>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace jtcli {

// Parses Arguments (without the program's name), runs the command and
// returns the exit code. Results go to Out, messages to Err.
TExitCode RunCli(const QStringList& arguments, std::FILE* out, std::FILE* err);

class TCli {
public:
    TCli(TCliOptions options, std::FILE* out, std::FILE* err);
    TExitCode Run();

private:
    TExitCode List();
    TExitCode Identify();
    TExitCode Save();
    TExitCode Apply();
    TExitCode Query();
    TExitCode Send();
    TExitCode Status();
    TExitCode RunStop(bool run);
    TExitCode Serve();

    // Finds the generator (on --port, or by discovery); TExitCode::ecDone or the exit
    // code of the failure, which has been reported.
    TExitCode Connect();
    // Probes port Number as the search does and keeps what its instrument
    // said as the generator's identity.
    TProbeResult Probe(int number);
    void Adopt(const TPortProbe& probe);
    // A port folder that JT6400_PORT_DIR names but that is not there, or
    // that this user may not read, is reported (exit code 3).
    TExitCode CheckPortFolder();
    // Why a port gave no generator, in words (no full stop).
    QString ProbeFailureText(int number, TProbeResult result);
    // A port that answered with no identification, asked again with time to
    // answer: the generator there, if it is one that answers too late.
    std::optional<TDeviceIdentity> LateGenerator(int number);
    // True when the probe's outcome may be a generator that answers late.
    bool MayAnswerLate(TProbeResult result) const;
    // After a failed open: where port Number's link leads, when it is a link
    // of the port folder whose device does not exist.
    std::optional<QString> DanglingLinkTarget(int number);
    static QString LateText(int number, const TDeviceIdentity& id);
    static QString GeneratorText(const TDeviceIdentity& id);
    // True when Command can go on the line as one command; otherwise the
    // reason has been reported.
    bool Sendable(const QString& command);
    // A settings file from standard input ("apply -").
    static TSettingsFileText ReadSettingsInput();
    // True when the last exchange got no answer in time, or the port went.
    bool Lost() const;
    // Reports a lost generator; returns TExitCode::ecUnavailable.
    TExitCode ReportLost();
    // A reply that reports an error: "ERR..." or one holding "?".
    static bool IsErrorReply(const QString& reply);
    // Reads every setting into a snapshot; false when the generator stopped
    // answering (reported).
    bool ReadBack(TSettingsSnapshot& snapshot);
    QJsonObject IdentityJson() const;
    QString PortName() const;

    void Out(const QString& text);
    void Err(const QString& text);
    void OutJson(const QJsonObject& object);
    void Progress(qsizetype done, qsizetype total);

    TCliOptions FOptions;
    std::FILE* FOut;
    std::FILE* FErr;
    TConsoleDialogs FDialogs;
    TProgramState FState;
    TJTComPort FPort;
    TCommunication FComm;
};

}  // namespace jtcli
