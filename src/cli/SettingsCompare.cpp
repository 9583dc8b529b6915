#include "cli/SettingsCompare.h"

#include "model/NumberText.h"
#include "model/SettingTable.h"
#include "storage/SettingsRestore.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <optional>

namespace jtcli {

namespace {

struct TCommandLine {
    QString Header;  // upper case, with its leading ":" (except for "*" commands)
    QString Value;
};

// A line that sets a setting of the table is keyed by the header that reads
// the setting back (so ":PULSE0:EXT:MOD" meets the read-back's
// ":PULS0:EXT:MODE"); any other line by its own header.
TCommandLine Split(const QString& line)
{
    const QString text = line.trimmed();
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    TCommandLine c;
    c.Value = blank < 0 ? QString() : text.mid(blank + 1).trimmed();
    int channel = 0;
    if (const TSettingDescription* setting = SettingOfCommand(text, channel)) {
        c.Header = QueryHeaderOf(*setting, channel);
        return c;
    }
    c.Header = (blank < 0 ? text : text.left(blank)).toUpper();
    if (!c.Header.isEmpty() && !c.Header.startsWith(QLatin1Char(':')) && !c.Header.startsWith(QLatin1Char('*')))
        c.Header.prepend(QLatin1Char(':'));
    return c;
}

std::optional<double> Number(const QString& value)
{
    if (value.compare(QLatin1String("ON"), Qt::CaseInsensitive) == 0)
        return 1.0;
    if (value.compare(QLatin1String("OFF"), Qt::CaseInsensitive) == 0)
        return 0.0;
    return TryStrToFloat(value);
}

bool SameValue(const QString& asked, const QString& found)
{
    if (asked.compare(found, Qt::CaseInsensitive) == 0)
        return true;
    const auto a = Number(asked);
    const auto b = Number(found);
    if (!a || !b)
        return false;
    // The generator answers times with 12 decimals; a setting read back
    // within that resolution (or 1e-12 of its size) is the one asked for.
    return std::fabs(*a - *b) <= 1e-12 * std::max({1.0, std::fabs(*a), std::fabs(*b)});
}

}  // namespace

TSettingsComparison CompareSettings(const QStringList& fileLines, const QStringList& readBackLines)
{
    QHash<QString, QString> readBack;
    for (const QString& line : SettingsCommandLines(readBackLines)) {
        const TCommandLine c = Split(line);
        readBack.insert(c.Header, c.Value);
    }
    // The last line of each header counts; the headers keep the order of
    // their first line.
    QStringList order;
    QHash<QString, TCommandLine> asked;
    TSettingsComparison result;
    for (const QString& line : SettingsCommandLines(fileLines)) {
        const TCommandLine c = Split(line);
        if (!readBack.contains(c.Header)) {
            result.NotCompared << line;
            continue;
        }
        if (!asked.contains(c.Header))
            order << c.Header;
        asked.insert(c.Header, c);
    }
    for (const QString& header : order) {
        const QString& want = asked[header].Value;
        const QString& found = readBack[header];
        if (!SameValue(want, found))
            result.Differences.append({header, want, found});
    }
    return result;
}

}  // namespace jtcli
