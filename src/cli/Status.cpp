// jt6400-cli status: the run state, the Plus counters and the error state,
// as the panel's status poll reads them.
#include "cli/Cli.h"

#include "scheduling/StatusQueries.h"

#include <optional>

namespace jtcli {

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
    // generator has no such reading, or it is switched off. The error is 0
    // when the generator reports none, null when its firmware cannot say.
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
                             : QJsonValue(0));
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
