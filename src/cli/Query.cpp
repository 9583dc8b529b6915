// jt6400-cli query: one query, its answer printed.
#include "cli/Cli.h"

namespace jtcli {

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

}  // namespace jtcli
