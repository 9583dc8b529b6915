// Value texts of the settings snapshot (SettingsList): every setting is a
// ready-to-send command line, numbers in the forms below.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>

// General format with 15 significant digits: fixed notation when the decimal
// exponent k of the value satisfies -5 < k < 15, otherwise mantissa, "E" and
// exponent ("1E-7", "2.5E15"); trailing zeros and a trailing "." dropped;
// "." as separator whatever the locale; 0 gives "0".
QString SettingsRealText(double value);

// "Command Value" lines for the three value kinds.
QString SettingsIntLine(const QString& command, std::int32_t value);
QString SettingsUIntLine(const QString& command, std::uint32_t value);
QString SettingsRealLine(const QString& command, double value);
// The generator's answer exactly as received.
QString SettingsAnswerLine(const QString& command, const QString& answer);
// Puts Line in place of the line with the same command in Lines, or at the
// end when Lines has none.
void PutSettingsLine(QStringList& lines, const QString& line);

// First line of every snapshot: "// " date "," time, in the system's short
// date format and a seconds-resolution time of day.
QString SettingsTimeStampLine(const QDateTime& when);
// A comment line: "// " followed by Text.
QString SettingsCommentLine(const QString& text);
