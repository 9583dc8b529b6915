#include "model/Settings.h"

#include <cmath>
#include <limits>

namespace {

const char* const kSyncNames[] = {"T0", "Ch A", "Ch B", "Ch C", "Ch D", "Ch E", "Ch F", "Ch G", "Ch H"};
const char* const kCmdNames[] = {"T0", "CHA", "CHB", "CHC", "CHD", "CHE", "CHF", "CHG", "CHH"};
const char* const kShortNames[] = {"T0", "ChA", "ChB", "ChC", "ChD", "ChE", "ChF", "ChG", "ChH"};

bool InRange(int number)
{
    return number >= 0 && number <= kMaxChannel;
}

}  // namespace

int GetChannelNumber(const QString& name)
{
    for (int n = 0; n <= kMaxChannel; ++n) {
        if (name == QLatin1String(kCmdNames[n]) || name == QLatin1String(kShortNames[n]) ||
            name == QLatin1String(kSyncNames[n]))
            return n;
    }
    return kNoChannel;
}

QString GetChSyncName(int number)
{
    return InRange(number) ? QString::fromLatin1(kSyncNames[number]) : QString();
}

QString GetChCmdName(int number)
{
    return InRange(number) ? QString::fromLatin1(kCmdNames[number]) : QString();
}

int GetChannelIndex(const QStringList& items, int number)
{
    if (!InRange(number))
        return -1;
    return static_cast<int>(items.lastIndexOf(GetChSyncName(number)));
}

QString FixedText(double value, int decimals)
{
    if (!std::isfinite(value))
        value = 0;
    QString text = QString::number(value, 'f', decimals);
    // "-0.000" would read as a negative value on the generator's side.
    if (text.startsWith('-')) {
        bool allZero = true;
        for (qsizetype i = 1; i < text.size(); ++i)
            if (text[i] != '0' && text[i] != '.')
                allZero = false;
        if (allZero)
            text.remove(0, 1);
    }
    return text;
}

std::int32_t RoundCount(double value)
{
    if (std::isnan(value))
        return 0;
    const double r = std::nearbyint(value);  // default rounding mode: halves to even
    if (r <= std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    if (r >= std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(r);
}

QString CountText(double value)
{
    return QString::number(RoundCount(value));
}

std::uint32_t RoundUnsignedCount(double value)
{
    if (std::isnan(value))
        return 0;
    const double r = std::nearbyint(value);
    if (r <= 0)
        return 0;
    if (r >= 4294967295.0)
        return 4294967295u;
    return static_cast<std::uint32_t>(r);
}

QString UnsignedCountText(double value)
{
    return QString::number(RoundUnsignedCount(value));
}
