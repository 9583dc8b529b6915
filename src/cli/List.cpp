// jt6400-cli list: every port and what answers on it.
#include "cli/Cli.h"

#include "serial/PortList.h"

#include <QJsonArray>

#include <optional>

namespace jtcli {

namespace {

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
                if (const auto target = DanglingLinkTarget(number)) {
                    state = QStringLiteral("dangling link");
                    text = QStringLiteral("dangling link: its device %1 does not exist").arg(*target);
                    entry.insert(QStringLiteral("device"), *target);
                } else {
                    state = text = OpenFailureText(FPort.LastOpenFailure());
                }
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

}  // namespace jtcli
