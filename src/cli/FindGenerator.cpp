// Finding the generator for a command: on the chosen port or by the
// discovery scan, with every port that could have been it named when none
// is found.
#include "cli/Cli.h"

#include "model/Capabilities.h"
#include "serial/PortList.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace jtcli {

TExitCode TCli::CheckPortFolder()
{
    const QString folder = PortFolder();
    if (folder.isEmpty())
        return TExitCode::ecDone;
    const QFileInfo info(folder);
    QString why;
    if (!info.exists())
        why = QStringLiteral("which does not exist");
    else if (!info.isDir())
        why = QStringLiteral("which is not a folder");
    else if (!info.isReadable() || !info.isExecutable())
        // Its links can be neither listed nor followed.
        why = QStringLiteral("which this user may not read");
    else
        return TExitCode::ecDone;
    Err(QStringLiteral("No available ports: JT6400_PORT_DIR names %1, %2.").arg(QDir::toNativeSeparators(folder), why));
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
    // Answers still on their way from the scan come first, and may come
    // together, the first of them taken for the answer: the question is
    // asked again until an identification comes, or nothing does.
    for (int asked = 0; asked < 6 && !named; ++asked) {
        const QString answer = FComm.QueryDevice(QStringLiteral("*IDN"));
        if (answer.isEmpty())
            break;
        TDeviceIdentity id;
        if (ParseIDNText(answer, id) == TIdnParseResult::iprComplete && IsSupportedModel(id.Model)) {
            found = id;
            named = true;
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
    // its own exchange, into the next one. No reply at all: the answers may
    // come later still, after the probe's last exchange.
    return (result == TProbeResult::prUnsupported && FState.DeviceIdentity.Model.isEmpty()) ||
           result == TProbeResult::prNoAnswer;
}

std::optional<QString> TCli::DanglingLinkTarget(int number)
{
    if (FPort.LastOpenFailure() != TOpenFailure::ofNoDevice)
        return std::nullopt;
    const QFileInfo link(PortDevicePath(number));
    if (!link.isSymLink() || link.exists())
        return std::nullopt;
    return link.symLinkTarget();
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
                case TOpenFailure::ofNoDevice:
                    // A port folder's link whose device is gone.
                    if (const auto target = DanglingLinkTarget(number))
                        return QStringLiteral("no generator on %1: its device %2 does not exist")
                            .arg(ComPortName(number), *target);
                    return QStringLiteral("%1: no such port").arg(ComPortName(number));
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
        // Ports that may hold a generator answering too late for the scan;
        // asked again only when the scan finds none, so that a silent port
        // does not hold up the search.
        QList<int> mayBeLate;
        auto heard = [&](int port, TProbeResult result) {
            if (result == TProbeResult::prNotOpened && FPort.LastOpenFailure() == TOpenFailure::ofInUse)
                unavailable << QStringLiteral("%1 is in use by another program.").arg(ComPortName(port));
            if (result == TProbeResult::prNotOpened && FPort.LastOpenFailure() == TOpenFailure::ofNoPermission)
                noPermission << ComPortName(port);
            if (result == TProbeResult::prNotOpened && DanglingLinkTarget(port))
                unavailable << ProbeFailureText(port, result) + QLatin1Char('.');
            if (MayAnswerLate(result))
                mayBeLate << port;
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
            for (int port : mayBeLate) {
                if (const auto late = LateGenerator(port))
                    unavailable << LateText(port, *late) + QLatin1Char('.');
            }
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

}  // namespace jtcli
