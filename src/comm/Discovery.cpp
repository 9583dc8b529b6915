// FindDevice: the scan for a supported generator at start-up.
#include "comm/Communication.h"

#include "comm/LineOwner.h"

#include "model/Capabilities.h"
#include "platform/Dialogs.h"
#include "serial/JTComPort.h"
#include "model/ProgramState.h"


namespace {

// Beyond this many listed ports the scan reports failure even when it found
// a generator.
constexpr qsizetype kMaxScannedPorts = 100;

}  // namespace

void TCommunication::ApplyScanSettings()
{
    FPort.SetBaud(115200);
    FPort.SetEndOfResponse(QByteArray(1, '\r'));
    FPort.SetAllowEvents(false);
    FPort.SetShowErrors(false);
    FPort.SetResponseTime(kScanAnswerTimeMs);
}

bool TCommunication::OpenSettled(int number)
{
    FPort.SetPort(number);
    if (!FPort.Open())
        return false;
    TLineOwner::Pause(100);
    return true;
}

TProbeResult TCommunication::ProbePort(int number)
{
    if (!OpenSettled(number))
        return TProbeResult::prNotOpened;
    const QString usbReply = SendCommand(QStringLiteral(":SYST:COMM:USB:ECH OFF"));
    const QString blueReply = SendCommand(QStringLiteral(":SYST:COMM:BLUE:ECH OFF"));
    FProbeHeard = !usbReply.isEmpty() || !blueReply.isEmpty();
    if (QueryDevice(QStringLiteral("*IDN")).isEmpty()) {
        FPort.Close();
        return TProbeResult::prNoAnswer;
    }
    // The parse may stop early and leave fields as they were: each port
    // starts from an empty identity, so nothing of a passed-over port stays.
    FState.DeviceIdentity = TDeviceIdentity{};
    // An identification whose version parts do not convert does not name
    // a generator this program can work with: the port is passed over.
    const TIdnParseResult parsed = ParseIDN();
    if (parsed != TIdnParseResult::iprBadVersion && IsSupportedModel(FState.DeviceIdentity.Model)) {
        const TModelInfo info = ModelInfo(FState.DeviceIdentity.Model);
        FState.PlusOption = info.PlusOption;
        FState.HighResolution = info.HighResolution;
        return TProbeResult::prFound;
    }
    FPort.Close();
    return TProbeResult::prUnsupported;
}

bool TCommunication::FindDevice(const std::function<void(int port, TProbeResult result)>& probed)
{
    ApplyScanSettings();

    const QList<int> ports = FPort.GetValidSerialPorts();
    if (ports.isEmpty()) {
        FDialogs.MessageDlg(QStringLiteral("No available ports."), QString(), TMsgButton::mbOK);
        return false;
    }

    bool found = false;
    for (int number : ports) {
        const TProbeResult result = ProbePort(number);
        if (probed)
            probed(number, result);
        if (result == TProbeResult::prFound) {
            found = true;
            break;
        }
    }

    if (found && FTerminal)
        FTerminal->Clear();
    return found && ports.size() <= kMaxScannedPorts;
}
