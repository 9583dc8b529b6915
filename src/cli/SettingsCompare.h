// What a read-back shows of the settings a file asked for.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace jtcli {

struct TSettingDifference {
    QString Setting;  // the command header, e.g. ":PULS1:DEL"
    QString Asked;    // the value in the file
    QString Found;    // the value the generator reports
};

struct TSettingsComparison {
    QList<TSettingDifference> Differences;
    // Command lines of the file that the read-back has no setting for.
    QStringList NotCompared;
};

// Compares the command lines of a settings file with the settings lines of
// a read-back. A line that sets a setting is compared with the line that
// reads the same setting back, whatever form its header takes (short or
// long nodes, the set or the query header); other headers are compared
// without regard to case. Values are compared as
// numbers when both are numbers (ON and OFF count as 1 and 0), otherwise as
// text without regard to case. When the file sets a header more than once,
// its last line counts.
TSettingsComparison CompareSettings(const QStringList& fileLines, const QStringList& readBackLines);

}  // namespace jtcli
