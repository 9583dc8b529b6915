// jt6400-cli run and stop: the generator's pulses started or stopped.
#include "cli/Cli.h"

namespace jtcli {

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

}  // namespace jtcli
