// jt6400-cli identify: the generator's identity.
#include "cli/Cli.h"

namespace jtcli {

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

}  // namespace jtcli
