// FindDevice: the scan for a supported generator at start-up.
#include "comm/Communication.h"

#include "comm/LineOwner.h"

#include "model/Capabilities.h"
#include "platform/Dialogs.h"
#include "serial/JTComPort.h"

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

TPortProbe TCommunication::ProbePort(int number)
{
    TPortProbe probe;
    if (!OpenSettled(number))
        return probe;
    const QString usbReply = SendCommand(QStringLiteral(":SYST:COMM:USB:ECH OFF"));
    const QString blueReply = SendCommand(QStringLiteral(":SYST:COMM:BLUE:ECH OFF"));
    FProbeHeard = !usbReply.isEmpty() || !blueReply.isEmpty();
    if (QueryDevice(QStringLiteral("*IDN")).isEmpty()) {
        FPort.Close();
        probe.Result = TProbeResult::prNoAnswer;
        return probe;
    }
    // An identification whose version parts do not convert does not name
    // a generator this program can work with: the port is passed over.
    const TIdnParseResult parsed = ParseIDN(probe.Identity);
    if (parsed != TIdnParseResult::iprBadVersion && IsSupportedModel(probe.Identity.Model)) {
        probe.Result = TProbeResult::prFound;
        return probe;
    }
    FPort.Close();
    probe.Result = TProbeResult::prUnsupported;
    return probe;
}

TScanResult TCommunication::FindDevice(const std::function<void(int port, const TPortProbe& probe)>& probed,
                                       const std::function<bool()>& ending)
{
    ApplyScanSettings();

    TScanResult scan;
    const QList<int> ports = FPort.GetValidSerialPorts();
    if (ports.isEmpty()) {
        FDialogs.MessageDlg(QStringLiteral("No available ports."), QString(), TMsgButton::mbOK);
        return scan;
    }

    for (int number : ports) {
        if (ending && ending())
            return TScanResult{};
        const TPortProbe probe = ProbePort(number);
        if (probed)
            probed(number, probe);
        // What the last instrument that answered said stays, found or not.
        if (probe.Result != TProbeResult::prNotOpened && probe.Result != TProbeResult::prNoAnswer)
            scan.Identity = probe.Identity;
        if (probe.Result == TProbeResult::prFound) {
            scan.Found = true;
            break;
        }
    }

    if (scan.Found && FTerminal)
        FTerminal->Clear();
    scan.Found = scan.Found && ports.size() <= kMaxScannedPorts;
    return scan;
}
