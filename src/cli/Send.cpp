// jt6400-cli send: one set command, the generator's reply printed.
#include "cli/Cli.h"

namespace jtcli {

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

}  // namespace jtcli
