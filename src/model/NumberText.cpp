#include "model/NumberText.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

bool IsControlOrBlank(QChar c)
{
    return c.unicode() <= 32;
}

// from_chars does not take a leading "+"; strip one, but never two signs.
bool PrepareSigned(const QString& text, std::string& out)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c.unicode() > 127)
            return false;
    out = text.toStdString();
    if (out[0] == '+') {
        out.erase(0, 1);
        if (out.empty() || out[0] == '-' || out[0] == '+')
            return false;
    }
    return !out.empty();
}

template <typename T>
std::optional<T> ParseInteger(const QString& text)
{
    std::string s;
    if (!PrepareSigned(text, s))
        return std::nullopt;
    T value{};
    const char* end = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(s.data(), end, value, 10);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

}  // namespace

QString TrimRightControls(const QString& text)
{
    qsizetype n = text.size();
    while (n > 0 && IsControlOrBlank(text[n - 1]))
        --n;
    return text.left(n);
}

QString TrimControls(const QString& text)
{
    qsizetype first = 0;
    while (first < text.size() && IsControlOrBlank(text[first]))
        ++first;
    return TrimRightControls(text.mid(first));
}

std::optional<std::int32_t> TryStrToInt(const QString& text)
{
    return ParseInteger<std::int32_t>(text);
}

std::optional<std::int64_t> TryStrToInt64(const QString& text)
{
    return ParseInteger<std::int64_t>(text);
}

std::optional<double> TryStrToFloat(const QString& text)
{
    std::string s;
    if (!PrepareSigned(text, s))
        return std::nullopt;
    // Only digits, one sign, ".", and an exponent: from_chars would also take
    // "inf", "nan" and hexadecimal forms, which no generator answer uses.
    for (char c : s) {
        const bool ok = (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
        if (!ok)
            return std::nullopt;
    }
    double value = 0;
    const char* end = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(s.data(), end, value, std::chars_format::general);
    if (ec != std::errc() || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}
