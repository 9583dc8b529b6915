#include "cli/Cli.h"

#include "cli/SettingsCompare.h"
#include "model/Capabilities.h"
#include "readback/SnapshotReader.h"
#include "scheduling/StatusQueries.h"
#include "serial/PortList.h"
#include "storage/SettingsFile.h"
#include "storage/SettingsRestore.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <optional>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace jtcli {

namespace {

bool IsTerminal(std::FILE* file)
{
#ifdef Q_OS_UNIX
    return ::isatty(::fileno(file)) == 1;
#else
    Q_UNUSED(file);
    return false;
#endif
}

// A port that could not be opened, in words.
QString OpenFailureText(TOpenFailure failure)
{
    switch (failure) {
        case TOpenFailure::ofInUse:
            return QStringLiteral("in use");
        case TOpenFailure::ofNoPermission:
            return QStringLiteral("no permission");
        default:
            return QStringLiteral("no generator");
    }
}

}  // namespace

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
    return TCli(parsed.Options, out, err).Run();
}

TCli::TCli(TCliOptions options, std::FILE* out, std::FILE* err)
    : FOptions(std::move(options)),
      FOut(out),
      FErr(err),
      FDialogs(err),
      FPort(nullptr, &FDialogs),
      FComm(FState, FPort, FDialogs)
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
        FComm.Log().SetFilePath(FOptions.LogFile);
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
    return RunStop(c == QLatin1String("run"));
}

TExitCode TCli::Connect()
{
    if (FOptions.Port > 0) {
        FComm.ApplyScanSettings();
        switch (FComm.ProbePort(FOptions.Port)) {
            case TProbeResult::prFound:
                break;
            case TProbeResult::prNotOpened:
                switch (FPort.LastOpenFailure()) {
                    case TOpenFailure::ofInUse:
                        Err(QStringLiteral("%1 is in use by another program; nothing was sent.").arg(PortName()));
                        break;
                    case TOpenFailure::ofNoPermission:
                        Err(QStringLiteral("%1: no permission to open %2. %3")
                                .arg(PortName(), PortDevicePath(FOptions.Port), TJTComPort::PermissionHint()));
                        break;
                    case TOpenFailure::ofNoDevice:
                        Err(QStringLiteral("%1: no such port.").arg(PortName()));
                        break;
                    default:
                        Err(QStringLiteral("%1 cannot be opened.").arg(PortName()));
                        break;
                }
                return TExitCode::ecUnavailable;
            case TProbeResult::prNoAnswer:
                Err(QStringLiteral("no generator answers on %1.").arg(PortName()));
                return TExitCode::ecUnavailable;
            case TProbeResult::prUnsupported:
                Err(QStringLiteral("%1: model \"%2\" is not a supported generator.")
                        .arg(PortName(), FState.DeviceIdentity.Model));
                return TExitCode::ecUnavailable;
        }
    } else {
        QStringList unavailable;
        const bool found = FComm.FindDevice([&](int port, TProbeResult result) {
            if (result == TProbeResult::prNotOpened && FPort.LastOpenFailure() == TOpenFailure::ofInUse)
                unavailable << QStringLiteral("%1 is in use by another program").arg(ComPortName(port));
            if (result == TProbeResult::prNotOpened && FPort.LastOpenFailure() == TOpenFailure::ofNoPermission)
                unavailable
                    << QStringLiteral("%1: no permission. %2").arg(ComPortName(port), TJTComPort::PermissionHint());
        });
        if (!found) {
            for (const QString& text : unavailable)
                Err(text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.'));
            Err(QStringLiteral("no generator found."));
            return TExitCode::ecUnavailable;
        }
    }
    FPort.SetResponseTime(kAnswerTimeMs);
    return TExitCode::ecDone;
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

TExitCode TCli::List()
{
    FComm.ApplyScanSettings();
    const QList<int> ports = FOptions.Port > 0 ? QList<int>{FOptions.Port} : FPort.GetValidSerialPorts();
    if (ports.isEmpty()) {
        Err(QStringLiteral("No available ports."));
        return TExitCode::ecUnavailable;
    }
    QJsonArray json;
    int generators = 0;
    for (int number : ports) {
        const TProbeResult result = FComm.ProbePort(number);
        const TDeviceIdentity& id = FState.DeviceIdentity;
        QJsonObject entry = result == TProbeResult::prFound || result == TProbeResult::prUnsupported
                                ? IdentityJson()
                                : QJsonObject{{QStringLiteral("port"), number}};
        QString state;
        QString text;
        switch (result) {
            case TProbeResult::prFound:
                ++generators;
                state = QStringLiteral("generator");
                text = QStringLiteral("%1  serial %2  firmware %3  FPGA %4")
                           .arg(id.Model)
                           .arg(id.SerialNumber)
                           .arg(id.FirmwareVersion, id.FpgaVersion);
                FPort.Close();
                break;
            case TProbeResult::prUnsupported:
                state = QStringLiteral("unsupported");
                text = QStringLiteral("unsupported model \"%1\"").arg(id.Model);
                break;
            case TProbeResult::prNoAnswer:
                state = text = QStringLiteral("no generator");
                break;
            case TProbeResult::prNotOpened:
                state = text = OpenFailureText(FPort.LastOpenFailure());
                break;
        }
        entry.insert(QStringLiteral("state"), state);
        json.append(entry);
        if (!FOptions.Json)
            Out(QStringLiteral("%1  %2").arg(ComPortName(number), -6).arg(text));
    }
    if (FOptions.Json)
        OutJson(QJsonObject{{QStringLiteral("ports"), json}});
    return generators > 0 ? TExitCode::ecDone : TExitCode::ecUnavailable;
}

TExitCode TCli::Identify()
{
    if (const TExitCode code = Connect(); code != TExitCode::ecDone)
        return code;
    const TDeviceIdentity& id = FState.DeviceIdentity;
    if (FOptions.Json) {
        OutJson(IdentityJson());
        return TExitCode::ecDone;
    }
    Out(QStringLiteral("port:          %1").arg(PortName()));
    Out(QStringLiteral("manufacturer:  %1 (%2)").arg(ManufacturerName(id), id.Manufacturer));
    Out(QStringLiteral("model:         %1").arg(id.Model));
    Out(QStringLiteral("serial number: %1").arg(id.SerialNumber));
    Out(QStringLiteral("firmware:      %1").arg(id.FirmwareVersion));
    Out(QStringLiteral("FPGA:          %1").arg(id.FpgaVersion));
    return TExitCode::ecDone;
}

TExitCode TCli::Save()
{
    const QString path = FOptions.Arguments.value(0);
    const bool toOutput = path == QLatin1String("-");
    if (!toOutput && !QFileInfo(QFileInfo(path).absolutePath()).isDir()) {
        Err(QStringLiteral("Cannot write the settings file %1: its folder does not exist.")
                .arg(QDir::toNativeSeparators(path)));
        return TExitCode::ecUsage;
    }
    if (const TExitCode code = Connect(); code != TExitCode::ecDone)
        return code;
    TSettingsSnapshot snapshot;
    if (!ReadBack(snapshot))
        return TExitCode::ecUnavailable;
    if (toOutput) {
        const QByteArray bytes = EncodeSettingsText(snapshot.SettingsList);
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), FOut);
        std::fflush(FOut);
        return TExitCode::ecDone;
    }
    const QString error = WriteSettingsFile(path, snapshot.SettingsList);
    if (!error.isEmpty()) {
        Err(error);
        return TExitCode::ecUsage;
    }
    Out(QStringLiteral("Saved the settings of the %1 on %2 to %3.")
            .arg(FState.DeviceIdentity.Model, PortName(), QDir::toNativeSeparators(path)));
    return TExitCode::ecDone;
}

void TCli::Progress(qsizetype done, qsizetype total)
{
    constexpr int kWidth = 30;
    const int filled = total > 0 ? static_cast<int>(done * kWidth / total) : kWidth;
    std::fprintf(FErr, "\rSending [%s%s] %lld/%lld", QByteArray(filled, '#').constData(),
                 QByteArray(kWidth - filled, '-').constData(), static_cast<long long>(done),
                 static_cast<long long>(total));
    std::fflush(FErr);
}

TExitCode TCli::Apply()
{
    const QString path = FOptions.Arguments.value(0);
    // The whole file is read and checked before anything is sent.
    const TSettingsFileText file = ReadSettingsFile(path);
    if (!file.Ok()) {
        Err(file.Error);
        return TExitCode::ecUsage;
    }
    if (const TExitCode code = Connect(); code != TExitCode::ecDone)
        return code;

    if (file.Lines.isEmpty())
        Err(QStringLiteral("Empty file."));
    const bool bar = IsTerminal(FErr) && !file.Lines.isEmpty();
    const qsizetype total = file.Lines.size();
    if (bar)
        Progress(0, total);
    const bool sent = SendSettingsLines(FComm, file.Lines, kRestoreLinePause, [&](qsizetype done) {
        if (bar)
            Progress(done, total);
        return !Lost();
    });
    if (bar) {
        Progress(total, total);
        std::fputc('\n', FErr);
    }
    if (!sent)
        return ReportLost();

    TSettingsSnapshot snapshot;
    if (!ReadBack(snapshot))
        return TExitCode::ecUnavailable;
    const TSettingsComparison comparison = CompareSettings(file.Lines, snapshot.SettingsList);
    const qsizetype commands = SettingsCommandLines(file.Lines).size();

    if (FOptions.Json) {
        QJsonArray differences;
        for (const TSettingDifference& d : comparison.Differences)
            differences.append(QJsonObject{{QStringLiteral("setting"), d.Setting},
                                           {QStringLiteral("file"), d.Asked},
                                           {QStringLiteral("generator"), d.Found}});
        OutJson(QJsonObject{{QStringLiteral("port"), FPort.Port()},
                            {QStringLiteral("model"), FState.DeviceIdentity.Model},
                            {QStringLiteral("file"), path},
                            {QStringLiteral("sent"), commands},
                            {QStringLiteral("differences"), differences},
                            {QStringLiteral("notCompared"), QJsonArray::fromStringList(comparison.NotCompared)}});
    } else {
        Out(QStringLiteral("Sent %1 lines of %2 to the %3 on %4.")
                .arg(commands)
                .arg(QDir::toNativeSeparators(path), FState.DeviceIdentity.Model, PortName()));
        if (!comparison.NotCompared.isEmpty()) {
            Out(QStringLiteral("%1 line(s) of the file name no setting the %2 reads back, so it cannot hold them:")
                    .arg(comparison.NotCompared.size())
                    .arg(FState.DeviceIdentity.Model));
            for (const QString& line : comparison.NotCompared)
                Out(QStringLiteral("  %1").arg(line));
        }
        if (comparison.Differences.isEmpty()) {
            Out(comparison.NotCompared.isEmpty()
                    ? QStringLiteral("Every setting of the file reads back as asked.")
                    : QStringLiteral("Every other setting of the file reads back as asked."));
        } else {
            Out(QStringLiteral("%1 setting(s) differ from the file:").arg(comparison.Differences.size()));
            qsizetype width = 0;
            for (const TSettingDifference& d : comparison.Differences)
                width = std::max(width, d.Setting.size());
            for (const TSettingDifference& d : comparison.Differences)
                Out(QStringLiteral("  %1  file %2  generator %3")
                        .arg(d.Setting, -static_cast<int>(width))
                        .arg(d.Asked, d.Found.isEmpty() ? QStringLiteral("(no answer)") : d.Found));
        }
    }
    // A line the generator cannot read back (a channel or feature the model
    // lacks: a file made for another model) is a setting it does not hold.
    return comparison.Differences.isEmpty() && comparison.NotCompared.isEmpty() ? TExitCode::ecDone
                                                                                : TExitCode::ecGenerator;
}

TExitCode TCli::Query()
{
    QString command = FOptions.Arguments.value(0).trimmed();
    if (command.endsWith(QLatin1Char('?')))
        command.chop(1);
    if (const TExitCode code = Connect(); code != TExitCode::ecDone)
        return code;
    const QString answer = FComm.QueryDevice(command);
    if (Lost())
        return ReportLost();
    Out(answer);
    return IsErrorReply(answer) ? TExitCode::ecGenerator : TExitCode::ecDone;
}

TExitCode TCli::Send()
{
    if (const TExitCode code = Connect(); code != TExitCode::ecDone)
        return code;
    const QString reply = FComm.SendCommand(FOptions.Arguments.value(0).trimmed());
    if (Lost())
        return ReportLost();
    Out(reply);
    return IsErrorReply(reply) ? TExitCode::ecGenerator : TExitCode::ecDone;
}

TExitCode TCli::RunStop(bool run)
{
    if (const TExitCode code = Connect(); code != TExitCode::ecDone)
        return code;
    const QString reply = FComm.SendCommand(run ? QStringLiteral(":PULS0:STAT ON") : QStringLiteral(":PULS0:STAT OFF"));
    if (Lost())
        return ReportLost();
    if (IsErrorReply(reply)) {
        Err(QStringLiteral("the generator refused: %1").arg(reply));
        return TExitCode::ecGenerator;
    }
    return TExitCode::ecDone;
}

TExitCode TCli::Status()
{
    if (const TExitCode code = Connect(); code != TExitCode::ecDone)
        return code;
    QJsonObject json{{QStringLiteral("port"), FPort.Port()}, {QStringLiteral("model"), FState.DeviceIdentity.Model}};
    QStringList lines;
    auto line = [&lines](const char* name, const QString& value) {
        lines << QStringLiteral("%1 %2").arg(QLatin1String(name), -17).arg(value);
    };

    const bool running = QueryRunning(FComm);
    if (Lost())
        return ReportLost();
    json.insert(QStringLiteral("running"), running);
    line("state:", running ? QStringLiteral("running") : QStringLiteral("stopped"));

    // The counters of the Plus features, read while they are switched on.
    if (FState.Variant().PlusFeatures) {
        const bool counting = FComm.QueryInteger(QStringLiteral(":PULS0:COUN:STAT")) == 1;
        std::optional<std::uint32_t> count;
        if (!Lost() && counting)
            count = QueryShotCount(FComm);
        const bool measuring = !Lost() && FComm.QueryInteger(QStringLiteral(":PULS0:EXTP:STAT")) == 1;
        std::optional<double> period;
        if (!Lost() && measuring)
            period = QueryMeasuredPeriod(FComm);
        if (Lost())
            return ReportLost();
        json.insert(QStringLiteral("shotCount"), count ? QJsonValue(static_cast<qint64>(*count)) : QJsonValue());
        json.insert(QStringLiteral("measuredPeriod"), period ? QJsonValue(*period) : QJsonValue());
        line("shot count:", count ? QString::number(*count) : QStringLiteral("off"));
        line("measured period:", period ? QString::number(*period, 'f', 10) : QStringLiteral("off"));
    }

    int code = 0;
    if (HasErrorQuery(FState.DeviceIdentity)) {
        code = QueryErrorCode(FComm);
        if (Lost())
            return ReportLost();
        const QString text = code > 0 ? ErrorText(code) : QString();
        const QString shown =
            code <= 0 ? QStringLiteral("none") : (text.isEmpty() ? QStringLiteral("error code %1").arg(code) : text);
        json.insert(QStringLiteral("error"),
                    code > 0 ? QJsonValue(QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("text"), shown}})
                             : QJsonValue());
        line("error:", shown);
    } else {
        line("error:", QStringLiteral("not reported by firmware %1").arg(FState.DeviceIdentity.FirmwareVersion));
    }

    if (FOptions.Json)
        OutJson(json);
    else
        Out(lines.join(QLatin1Char('\n')));
    return code > 0 ? TExitCode::ecGenerator : TExitCode::ecDone;
}

}  // namespace jtcli
