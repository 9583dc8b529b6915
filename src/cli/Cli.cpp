// jt6400-cli: the command line parsed, the command chosen, and what the
// commands share (messages, the lost generator, the read-back). Each
// command has a file of its own.
#include "cli/Cli.h"

#include "comm/CommandText.h"
#include "readback/SnapshotReader.h"
#include "serial/PortList.h"
#include "serial/PortLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace jtcli {

TExitCode RunCli(const QStringList& arguments, std::FILE* out, std::FILE* err)
{
    const TParsedCommandLine parsed = ParseCliArguments(arguments);
    if (!parsed.Error.isEmpty()) {
        std::fprintf(err, "jt6400-cli: %s\nTry 'jt6400-cli --help'.\n", parsed.Error.toLocal8Bit().constData());
        return TExitCode::ecUsage;
    }
    if (parsed.Options.Help) {
        std::fputs(HelpText().toLocal8Bit().constData(), out);
        return TExitCode::ecDone;
    }
    if (parsed.Options.Version) {
        std::fprintf(out, "jt6400-cli %s\n", FileVersionText().toLocal8Bit().constData());
        return TExitCode::ecDone;
    }
    // Ended by a signal, the program leaves no lock file behind.
    portlock::RemoveLockFilesOnEndSignals();
    return TCli(parsed.Options, out, err).Run();
}

TCli::TCli(TCliOptions options, std::FILE* out, std::FILE* err)
    : FOptions(std::move(options)),
      FOut(out),
      FErr(err),
      FDialogs(err),
      FPort(nullptr, &FDialogs),
      FComm(FPort, FDialogs)
{
}

void TCli::Out(const QString& text)
{
    std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), FOut);
    std::fflush(FOut);
}

void TCli::Err(const QString& text)
{
    std::fprintf(FErr, "jt6400-cli: %s\n", text.toLocal8Bit().constData());
    std::fflush(FErr);
}

void TCli::OutJson(const QJsonObject& object)
{
    std::fputs(QJsonDocument(object).toJson(QJsonDocument::Indented).constData(), FOut);
    std::fflush(FOut);
}

QString TCli::PortName() const
{
    return ComPortName(FPort.Port());
}

TExitCode TCli::Run()
{
    if (!FOptions.LogFile.isEmpty()) {
        // A log that cannot be written is known before anything is sent; an
        // existing log is kept and this run added after it.
        const QString shown = QDir::toNativeSeparators(FOptions.LogFile);
        QFile log(FOptions.LogFile);
        if (QFileInfo(FOptions.LogFile).isDir()) {
            Err(QStringLiteral("Log file cannot be written to. %1: it is a folder.").arg(shown));
            return TExitCode::ecUsage;
        }
        if (!log.open(QIODevice::WriteOnly | QIODevice::Append)) {
            Err(QStringLiteral("Log file cannot be written to. %1: %2.").arg(shown, log.errorString()));
            return TExitCode::ecUsage;
        }
        log.close();
        FComm.Log().SetFilePath(FOptions.LogFile);
        FComm.Log().SetAppend(true);
        FComm.ToggleLoggingState();  // a failure has been reported
        if (!FComm.Log().IsOpen())
            return TExitCode::ecUsage;
    }
    const QString& c = FOptions.Command;
    if (c == QLatin1String("list"))
        return List();
    if (c == QLatin1String("identify"))
        return Identify();
    if (c == QLatin1String("save"))
        return Save();
    if (c == QLatin1String("apply"))
        return Apply();
    if (c == QLatin1String("query"))
        return Query();
    if (c == QLatin1String("send"))
        return Send();
    if (c == QLatin1String("status"))
        return Status();
    if (c == QLatin1String("serve"))
        return Serve();
    return RunStop(c == QLatin1String("run"));
}

bool TCli::Lost() const
{
    return FPort.TimedOut() || !FPort.Opened();
}

TExitCode TCli::ReportLost()
{
    Err(QStringLiteral("the generator on %1 did not answer \"%2\" within %3 ms.")
            .arg(PortName(), FComm.LastCommandText())
            .arg(FPort.ResponseTime()));
    return TExitCode::ecUnavailable;
}

bool TCli::IsErrorReply(const QString& reply)
{
    return reply.startsWith(QLatin1String("ERR"), Qt::CaseInsensitive) || reply.contains(QLatin1Char('?'));
}

bool TCli::ReadBack(TSettingsSnapshot& snapshot)
{
    snapshot = FState;
    TSnapshotReader reader(FComm, [this] { return !Lost(); });
    if (reader.Read(snapshot))
        return true;
    ReportLost();
    return false;
}

QJsonObject TCli::IdentityJson() const
{
    const TDeviceIdentity& id = FState.DeviceIdentity;
    return QJsonObject{
        {QStringLiteral("port"), FPort.Port()},          {QStringLiteral("manufacturer"), id.Manufacturer},
        {QStringLiteral("maker"), ManufacturerName(id)}, {QStringLiteral("model"), id.Model},
        {QStringLiteral("serial"), id.SerialNumber},     {QStringLiteral("firmware"), id.FirmwareVersion},
        {QStringLiteral("fpga"), id.FpgaVersion}};
}

bool TCli::Sendable(const QString& command)
{
    const TCommandTextCheck check = CheckCommandText(command);
    if (check.Ok())
        return true;
    Err(QStringLiteral("%1 refused: %2. Nothing was sent.").arg(FOptions.Command, check.Reason()));
    return false;
}

}  // namespace jtcli
