// Strict number conversions and trimming used wherever generator answers and
// identification fields are turned into numbers. They never depend on the
// user's regional settings: "." is always the decimal separator and no
// thousands separator is accepted.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// Removes every character of code 32 or below from the right-hand end.
QString TrimRightControls(const QString& text);
// Removes every character of code 32 or below from both ends.
QString TrimControls(const QString& text);

// Whole text must be an optionally signed decimal integer that fits the type.
std::optional<std::int32_t> TryStrToInt(const QString& text);
std::optional<std::int64_t> TryStrToInt64(const QString& text);
// Whole text must be a finite decimal number, "." as separator, optional
// exponent; no blanks, no thousands separators.
std::optional<double> TryStrToFloat(const QString& text);
