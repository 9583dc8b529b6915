#include "cli/Cli.h"

#include "cli/SettingsCompare.h"
#include "comm/CommandText.h"
#include "model/Capabilities.h"
#include "readback/SnapshotReader.h"
#include "scheduling/StatusQueries.h"
#include "serial/PortList.h"
#include "storage/SettingsFile.h"
#include "storage/SettingsRestore.h"

#include <QDir>
#include <QFile>
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

TExitCode TCli::CheckPortFolder()
{
    const QString folder = PortFolder();
    if (folder.isEmpty() || QFileInfo(folder).isDir())
        return TExitCode::ecDone;
    Err(QStringLiteral("No available ports: JT6400_PORT_DIR names %1, %2.")
            .arg(QDir::toNativeSeparators(folder), QFileInfo::exists(folder) ? QStringLiteral("which is not a folder")
                                                                              : QStringLiteral("which does not exist")));
    return TExitCode::ecUnavailable;
}

QString TCli::GeneratorText(const TDeviceIdentity& id)
{
    return QStringLiteral("the %1 with serial number %2").arg(id.Model).arg(id.SerialNumber);
}

std::optional<TDeviceIdentity> TCli::LateGenerator(int number)
{
    // What answered was no identification: a generator whose answers come
    // after the scan's 100 ms puts the answer of one exchange into the next.
    // Asked once more and given time, such a generator names itself.
    if (!FComm.OpenSettled(number))
        return std::nullopt;
    const std::uint32_t scanTime = FPort.ResponseTime();
    FPort.SetResponseTime(kAnswerTimeMs);
    TDeviceIdentity found;
    bool named = false;
    QString answer = FComm.QueryDevice(QStringLiteral("*IDN"));
    // Answers still on their way from the scan come first.
    for (int late = 0; late < 6 && !answer.isEmpty() && !named; ++late) {
        TDeviceIdentity id;
        if (ParseIDNText(answer, id) == TIdnParseResult::iprComplete && IsSupportedModel(id.Model)) {
            found = id;
            named = true;
        } else {
            answer = FComm.ReadResponse();
        }
    }
    FPort.SetResponseTime(scanTime);
    FPort.Close();
    if (!named)
        return std::nullopt;
    return found;
}

bool TCli::MayAnswerLate(TProbeResult result) const
{
    // No identification, but replies: answers that came, each too late for
    // its own exchange, into the next one.
    return (result == TProbeResult::prUnsupported && FState.DeviceIdentity.Model.isEmpty()) ||
           (result == TProbeResult::prNoAnswer && FComm.ProbeHeardReplies());
}

QString TCli::ProbeFailureText(int number, TProbeResult result)
{
    if (MayAnswerLate(result)) {
        if (const auto late = LateGenerator(number))
            return LateText(number, *late);
    }
    switch (result) {
        case TProbeResult::prFound:
            return QString();
        case TProbeResult::prNotOpened:
            switch (FPort.LastOpenFailure()) {
                case TOpenFailure::ofInUse:
                    return QStringLiteral("%1 is in use by another program").arg(ComPortName(number));
                case TOpenFailure::ofNoPermission:
                    return QStringLiteral("%1: no permission to open %2. %3")
                        .arg(ComPortName(number), PortDevicePath(number), TJTComPort::PermissionHint());
                case TOpenFailure::ofNoDevice: {
                    // A port folder's link whose device is gone is a port
                    // without a generator, as list shows it.
                    const QFileInfo link(PortDevicePath(number));
                    if (link.isSymLink() && !link.exists())
                        return QStringLiteral("no generator on %1: its device %2 does not exist")
                            .arg(ComPortName(number), link.symLinkTarget());
                    return QStringLiteral("%1: no such port").arg(ComPortName(number));
                }
                default:
                    return QStringLiteral("%1 cannot be opened").arg(ComPortName(number));
            }
        case TProbeResult::prNoAnswer:
            return QStringLiteral("no generator answers on %1").arg(ComPortName(number));
        case TProbeResult::prUnsupported:
            return QStringLiteral("%1: model \"%2\" is not a supported generator")
                .arg(ComPortName(number), FState.DeviceIdentity.Model);
    }
    return QString();
}

QString TCli::LateText(int number, const TDeviceIdentity& id)
{
    return QStringLiteral("%1: %2 answers too late: its answers come after the %3 ms that the search for a "
                          "generator waits")
        .arg(ComPortName(number), GeneratorText(id))
        .arg(kScanAnswerTimeMs);
}

void TCli::Adopt(const TPortProbe& probe)
{
    if (probe.Result == TProbeResult::prFound || probe.Result == TProbeResult::prUnsupported)
        FState.SetGenerator(probe.Identity);
}

TProbeResult TCli::Probe(int number)
{
    const TPortProbe probe = FComm.ProbePort(number);
    Adopt(probe);
    return probe.Result;
}

TExitCode TCli::Connect()
{
    if (const TExitCode code = CheckPortFolder(); code != TExitCode::ecDone)
        return code;
    if (FOptions.Port > 0) {
        FComm.ApplyScanSettings();
        const TProbeResult result = Probe(FOptions.Port);
        if (result != TProbeResult::prFound) {
            const QString text = ProbeFailureText(FOptions.Port, result);
            Err(result == TProbeResult::prNotOpened && FPort.LastOpenFailure() == TOpenFailure::ofInUse
                    ? text + QStringLiteral("; nothing was sent.")
                    : text + (text.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral(".")));
            return TExitCode::ecUnavailable;
        }
        if (FOptions.HasSerial && FState.DeviceIdentity.SerialNumber != FOptions.Serial) {
            Err(QStringLiteral("%1 holds %2, not the one with serial number %3.")
                    .arg(PortName(), GeneratorText(FState.DeviceIdentity))
                    .arg(FOptions.Serial));
            FPort.Close();
            return TExitCode::ecUnavailable;
        }
    } else {
        // Every port that could have been the generator is named when none is
        // found; the advice for missing permissions is given once.
        QStringList unavailable;
        QStringList noPermission;
        QStringList others;  // generators passed over for another serial number
        auto heard = [&](int port, TProbeResult result) {
            if (result == TProbeResult::prNotOpened && FPort.LastOpenFailure() == TOpenFailure::ofInUse)
                unavailable << QStringLiteral("%1 is in use by another program.").arg(ComPortName(port));
            if (result == TProbeResult::prNotOpened && FPort.LastOpenFailure() == TOpenFailure::ofNoPermission)
                noPermission << ComPortName(port);
            if (MayAnswerLate(result)) {
                if (const auto late = LateGenerator(port))
                    unavailable << LateText(port, *late) + QLatin1Char('.');
            }
        };
        bool found = false;
        if (!FOptions.HasSerial) {
            found = FComm.FindDevice([&](int port, const TPortProbe& probe) {
                              Adopt(probe);
                              heard(port, probe.Result);
                          }).Found;
        } else {
            FComm.ApplyScanSettings();
            const QList<int> ports = FPort.GetValidSerialPorts();
            for (int port : ports) {
                const TProbeResult result = Probe(port);
                heard(port, result);
                if (result != TProbeResult::prFound)
                    continue;
                if (FState.DeviceIdentity.SerialNumber == FOptions.Serial) {
                    found = true;
                    break;
                }
                others << QStringLiteral("%1 holds %2.").arg(ComPortName(port), GeneratorText(FState.DeviceIdentity));
                FPort.Close();
            }
            if (ports.isEmpty())
                Err(QStringLiteral("No available ports."));
        }
        if (!found) {
            for (const QString& text : unavailable + others)
                Err(text);
            if (!noPermission.isEmpty())
                Err(QStringLiteral("%1: no permission. %2").arg(noPermission.join(QStringLiteral(", ")), TJTComPort::PermissionHint()));
            Err(FOptions.HasSerial
                    ? QStringLiteral("no generator with serial number %1 found.").arg(FOptions.Serial)
                    : QStringLiteral("no generator found."));
            return TExitCode::ecUnavailable;
        }
        // Found by the search: which one, so that a script's log shows it.
        Err(QStringLiteral("using %1 on %2.").arg(GeneratorText(FState.DeviceIdentity), PortName()));
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
    if (const TExitCode code = CheckPortFolder(); code != TExitCode::ecDone)
        return code;
    FComm.ApplyScanSettings();
    const QList<int> ports = FOptions.Port > 0 ? QList<int>{FOptions.Port} : FPort.GetValidSerialPorts();
    if (ports.isEmpty()) {
        Err(QStringLiteral("No available ports."));
        return TExitCode::ecUnavailable;
    }
    QJsonArray json;
    int generators = 0;
    for (int number : ports) {
        const TProbeResult result = Probe(number);
        const TDeviceIdentity& id = FState.DeviceIdentity;
        const std::optional<TDeviceIdentity> late =
            MayAnswerLate(result) ? LateGenerator(number) : std::optional<TDeviceIdentity>();
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
        if (late) {
            state = QStringLiteral("too late");
            text = QStringLiteral("%1 answers too late (after more than %2 ms)").arg(late->Model).arg(kScanAnswerTimeMs);
            entry = QJsonObject{{QStringLiteral("port"), number},
                                {QStringLiteral("model"), late->Model},
                                {QStringLiteral("serial"), late->SerialNumber}};
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
    // The file is opened before the read-back: one that cannot be written is
    // refused before anything is sent. A regular file stays as it was until
    // the complete new one replaces it.
    TSettingsFileWriter writer(path);
    if (!toOutput) {
        if (const QString error = writer.Open(); !error.isEmpty()) {
            Err(error);
            return TExitCode::ecUsage;
        }
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
    const QString error = writer.Write(snapshot.SettingsList);
    if (!error.isEmpty()) {
        Err(error);
        return TExitCode::ecUsage;
    }
    // A pipe or /dev/stdout may be standard output itself: the note goes
    // beside the settings then, not into them.
    const QString note = QStringLiteral("Saved the settings of the %1 on %2 to %3.")
                             .arg(FState.DeviceIdentity.Model, PortName(), QDir::toNativeSeparators(path));
    if (writer.InPlace())
        Err(note);
    else
        Out(note);
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
    const bool fromInput = path == QLatin1String("-");
    // The whole file is read and checked before anything is sent.
    TSettingsFileText file = fromInput ? ReadSettingsInput() : ReadSettingsFile(path);
    if (!file.Ok()) {
        Err(file.Error);
        return TExitCode::ecUsage;
    }
    const QString shown = fromInput ? QStringLiteral("standard input") : QDir::toNativeSeparators(path);
    // Every setting line goes out as it stands, or none does.
    for (qsizetype i = 0; i < file.Lines.size(); ++i) {
        if (IsSettingsComment(file.Lines[i]) || file.Lines[i].trimmed().isEmpty())
            continue;
        const TCommandTextCheck check = CheckCommandText(file.Lines[i]);
        if (!check.Ok()) {
            Err(QStringLiteral("%1: line %2 cannot be sent: %3. Nothing was sent.")
                    .arg(shown)
                    .arg(i + 1)
                    .arg(check.Reason()));
            return TExitCode::ecUsage;
        }
    }
    // A blank line carries no setting: it is skipped like a comment.
    file.Lines.removeIf([](const QString& line) { return line.trimmed().isEmpty(); });
    const qsizetype commands = SettingsCommandLines(file.Lines).size();
    if (commands == 0) {
        // An empty, comment-only or cut-off file would leave the generator as
        // it is and then report every setting as asked.
        Err(QStringLiteral("%1 holds no setting (no line besides comments and blank lines); nothing was sent.")
                .arg(shown));
        return TExitCode::ecUsage;
    }
    if (const TExitCode code = Connect(); code != TExitCode::ecDone)
        return code;

    const bool bar = IsTerminal(FErr);
    const qsizetype total = file.Lines.size();
    if (bar)
        Progress(0, total);
    qsizetype sentLines = 0;
    const bool sent = SendSettingsLines(FComm, file.Lines, kRestoreLinePause, [&](qsizetype done) {
        ++sentLines;
        if (bar)
            Progress(done, total);
        return !Lost();
    });
    if (bar) {
        if (sent)
            Progress(total, total);
        std::fputc('\n', FErr);
    }
    if (!sent) {
        ReportLost();
        Err(QStringLiteral("%1 of the %2 setting lines had been sent when the generator stopped answering: it is now "
                           "partly set.")
                .arg(sentLines)
                .arg(commands));
        return TExitCode::ecUnavailable;
    }

    TSettingsSnapshot snapshot;
    if (!ReadBack(snapshot))
        return TExitCode::ecUnavailable;
    const TSettingsComparison comparison = CompareSettings(file.Lines, snapshot.SettingsList);

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
                .arg(shown, FState.DeviceIdentity.Model, PortName()));
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
    if (!Sendable(command))
        return TExitCode::ecUsage;
    if (const TExitCode code = Connect(); code != TExitCode::ecDone)
        return code;
    const QString answer = FComm.QueryDevice(command);
    if (Lost())
        return ReportLost();
    Out(answer);
    return IsErrorReply(answer) ? TExitCode::ecGenerator : TExitCode::ecDone;
}

bool TCli::Sendable(const QString& command)
{
    const TCommandTextCheck check = CheckCommandText(command);
    if (check.Ok())
        return true;
    Err(QStringLiteral("%1 refused: %2. Nothing was sent.").arg(FOptions.Command, check.Reason()));
    return false;
}

TSettingsFileText TCli::ReadSettingsInput()
{
    TSettingsFileText result;
    const QString prefix = QStringLiteral("Cannot read the settings from standard input: ");
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly)) {
        result.Error = prefix + input.errorString() + QLatin1Char('.');
        return result;
    }
    // Read one byte past the limit to tell input that is too large.
    QByteArray bytes;
    while (bytes.size() <= kMaxSettingsFileSize) {
        const QByteArray part = input.read(kMaxSettingsFileSize + 1 - bytes.size());
        if (part.isEmpty())
            break;
        bytes += part;
    }
    if (bytes.size() > kMaxSettingsFileSize) {
        result.Error = prefix + QStringLiteral("it is larger than %1 KiB, too large for a settings file.")
                                    .arg(kMaxSettingsFileSize / 1024);
        return result;
    }
    result = DecodeSettingsText(bytes);
    if (!result.Ok())
        result.Error = prefix + result.Error;
    return result;
}

TExitCode TCli::Send()
{
    const QString command = FOptions.Arguments.value(0).trimmed();
    if (!Sendable(command))
        return TExitCode::ecUsage;
    if (const TExitCode code = Connect(); code != TExitCode::ecDone)
        return code;
    const QString reply = FComm.SendCommand(command);
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

    // Every key is there on every model and firmware: null where the
    // generator has no such reading, or it is switched off.
    json.insert(QStringLiteral("shotCount"), QJsonValue());
    json.insert(QStringLiteral("measuredPeriod"), QJsonValue());
    json.insert(QStringLiteral("error"), QJsonValue());

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
