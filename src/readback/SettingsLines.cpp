#include "readback/SettingsLines.h"

#include <QLocale>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

QString SettingsRealText(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    if (!std::isfinite(value))  // the answer conversions never give one
        return QString::number(value);

    // Rounding to 15 significant digits first decides the exponent, so that
    // 9.999999999999999e14 counts as 1E15.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    const char* e = std::strchr(buf, 'e');
    const int exponent = std::atoi(e + 1);
    const bool negative = buf[0] == '-';
    // The 15 digits of the mantissa, without sign and point.
    QString digits;
    for (const char* p = buf; p < e; ++p)
        if (*p >= '0' && *p <= '9')
            digits += QLatin1Char(*p);
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);

    QString text;
    if (exponent > -5 && exponent < 15) {
        if (exponent >= 0) {
            const int intDigits = exponent + 1;
            if (digits.size() <= intDigits)
                text = digits + QString(intDigits - digits.size(), QLatin1Char('0'));
            else
                text = digits.left(intDigits) + QLatin1Char('.') + digits.mid(intDigits);
        } else {
            text = QStringLiteral("0.") + QString(-exponent - 1, QLatin1Char('0')) + digits;
        }
    } else {
        text = digits.left(1);
        if (digits.size() > 1)
            text += QLatin1Char('.') + digits.mid(1);
        text += QLatin1Char('E') + QString::number(exponent);
    }
    return negative ? QLatin1Char('-') + text : text;
}

QString SettingsIntLine(const QString& command, std::int32_t value)
{
    return command + QLatin1Char(' ') + QString::number(value);
}

QString SettingsUIntLine(const QString& command, std::uint32_t value)
{
    return command + QLatin1Char(' ') + QString::number(value);
}

QString SettingsRealLine(const QString& command, double value)
{
    return command + QLatin1Char(' ') + SettingsRealText(value);
}

QString SettingsAnswerLine(const QString& command, const QString& answer)
{
    return command + QLatin1Char(' ') + answer;
}

void PutSettingsLine(QStringList& lines, const QString& line)
{
    const QString command = line.section(QLatin1Char(' '), 0, 0) + QLatin1Char(' ');
    for (QString& held : lines)
        if (held.startsWith(command)) {
            held = line;
            return;
        }
    lines.append(line);
}

QString SettingsTimeStampLine(const QDateTime& when)
{
    const QLocale system = QLocale::system();
    return QStringLiteral("// ") + system.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(',') +
           when.time().toString(QStringLiteral("HH:mm:ss"));
}

QString SettingsCommentLine(const QString& text)
{
    return QStringLiteral("// ") + text;
}
