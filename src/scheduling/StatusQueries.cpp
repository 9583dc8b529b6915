#include "scheduling/StatusQueries.h"

#include "comm/Communication.h"
#include "model/DeviceIdentity.h"

#include <cstdio>

bool QueryRunning(TCommunication& comm)
{
    return comm.QueryInteger(QStringLiteral(":PULS0:STAT")) != 0;
}

std::uint32_t QueryShotCount(TCommunication& comm)
{
    return static_cast<std::uint32_t>(comm.QueryInt64(QStringLiteral(":PULS0:COUN:COUN")) & 0xFFFFFFFFu);
}

double QueryMeasuredPeriod(TCommunication& comm)
{
    return comm.QueryFloat(QStringLiteral(":PULS0:EXTP:PER"));
}

std::int32_t QueryErrorCode(TCommunication& comm)
{
    return comm.QueryInteger(QStringLiteral("*ERS"));
}

bool HasErrorQuery(const TDeviceIdentity& identity)
{
    return identity.FirmwareVersionParts[0] >= 2;
}

QString ErrorText(int code)
{
    switch (code) {
        case 1:
            return QStringLiteral("Over Current Error");
        case 2:
            return QStringLiteral("Over Temperature Error");
        case 3:
            return QStringLiteral("Fan Failure");
        default:
            return {};
    }
}

QString ShotCountText(std::uint32_t count)
{
    char text[32];
    std::snprintf(text, sizeof text, "Count: %10u", static_cast<unsigned>(count));
    return QString::fromLatin1(text);
}

QString MeasuredPeriodText(double period)
{
    char text[64];
    std::snprintf(text, sizeof text, "P: %11.10f", period);
    return QString::fromLatin1(text);
}
