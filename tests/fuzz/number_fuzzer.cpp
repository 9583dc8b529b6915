// Fuzzes the strict number conversions used on generator answers, the
// keyword matching of enumerated answers and the value texts written into
// commands.
#include "fuzz/FuzzCheck.h"
#include "model/NumberText.h"
#include "model/Settings.h"

#include <QRegularExpression>
#include <QString>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

bool IsDecimalInteger(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("\\A[+-]?[0-9]+\\z"));
    return re.match(text).hasMatch() && !text.startsWith(QLatin1String("+-"));
}

bool IsDecimalNumber(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("\\A[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?\\z"));
    return re.match(text).hasMatch();
}

// Whether the decimal integer Text lies in [lo, hi], compared as digit
// strings so the check does not share the parser's arithmetic.
bool FitsRange(const QString& text, std::int64_t lo, std::int64_t hi)
{
    QString digits = text;
    bool negative = false;
    if (digits.startsWith('+') || digits.startsWith('-')) {
        negative = digits.startsWith('-');
        digits.remove(0, 1);
    }
    while (digits.size() > 1 && digits.startsWith('0'))
        digits.remove(0, 1);
    if (digits == QLatin1String("0"))
        return true;
    const QString limit = negative ? QString::number(lo).mid(1) : QString::number(hi);
    if (digits.size() != limit.size())
        return digits.size() < limit.size();
    return digits <= limit;
}

void CheckConversions(const QString& text)
{
    const auto i32 = TryStrToInt(text);
    const auto i64 = TryStrToInt64(text);
    const auto f = TryStrToFloat(text);
    const bool integer = IsDecimalInteger(text);

    FUZZ_CHECK(i32.has_value() == (integer && FitsRange(text, INT32_MIN, INT32_MAX)));
    FUZZ_CHECK(i64.has_value() == (integer && FitsRange(text, INT64_MIN, INT64_MAX)));
    if (i32) {
        FUZZ_CHECK(i64 && *i64 == *i32);
        FUZZ_CHECK(TryStrToInt(QString::number(*i32)) == i32);
    }
    if (i64)
        FUZZ_CHECK(TryStrToInt64(QString::number(*i64)) == i64);

    if (f) {
        FUZZ_CHECK(IsDecimalNumber(text));
        FUZZ_CHECK(std::isfinite(*f));
        // Both conversions round correctly, so they agree exactly.
        const std::string s = text.toStdString();
        FUZZ_CHECK(std::strtod(s.c_str(), nullptr) == *f);
    } else if (IsDecimalNumber(text)) {
        // Only a value out of the double range may be refused.
        const std::string s = text.toStdString();
        const double v = std::strtod(s.c_str(), nullptr);
        FUZZ_CHECK(!std::isfinite(v) || v == 0 || std::fabs(v) < std::numeric_limits<double>::min());
    }
    if (i64 && f)
        FUZZ_CHECK(*f == static_cast<double>(*i64));

    const QString right = TrimRightControls(text);
    const QString both = TrimControls(text);
    FUZZ_CHECK(text.startsWith(right) && right.endsWith(both));
    FUZZ_CHECK(right.isEmpty() || right.back().unicode() > 32);
    FUZZ_CHECK(both.isEmpty() || (both.front().unicode() > 32 && both.back().unicode() > 32));
}

void CheckKeywords(const QString& text)
{
    constexpr TKeywordTable tables[] = {
        TKeywordTable::ktSystemMode,      TKeywordTable::ktChannelMode,     TKeywordTable::ktExtMode,
        TKeywordTable::ktTriggerEdge,     TKeywordTable::ktGatePolarity,    TKeywordTable::ktChannelPolarity,
        TKeywordTable::ktChannelGateMode, TKeywordTable::ktShotCountSource,
    };
    for (TKeywordTable table : tables) {
        const int index = KeywordIndex(table, text);
        FUZZ_CHECK(index >= -1 && index < Keywords(table).size());
        if (index >= 0)
            FUZZ_CHECK(KeywordOf(table, index) == text);
        std::int32_t field = -77;
        FUZZ_CHECK(ApplyKeyword(table, text, field) == (index >= 0));
        FUZZ_CHECK(field == (index >= 0 ? index : -77));
    }
    const int channel = GetChannelNumber(text);
    FUZZ_CHECK(channel == kNoChannel || (channel >= 0 && channel <= kMaxChannel));
    if (channel != kNoChannel) {
        FUZZ_CHECK(GetChannelNumber(GetChSyncName(channel)) == channel);
        FUZZ_CHECK(GetChannelNumber(GetChCmdName(channel)) == channel);
    }
}

// The value writers, fed with the bits of a double taken from the input.
void CheckValueTexts(const std::uint8_t* data, std::size_t size)
{
    if (size < sizeof(double) + 1)
        return;
    double value;
    std::memcpy(&value, data, sizeof value);
    const int decimals = data[sizeof value] % 20;

    const QString fixed = FixedText(value, decimals);
    FUZZ_CHECK(!fixed.startsWith(QLatin1String("-0")) || fixed.contains(QRegularExpression(QStringLiteral("[1-9]"))));
    const auto back = TryStrToFloat(fixed);
    FUZZ_CHECK(back.has_value());
    if (std::isfinite(value)) {
        FUZZ_CHECK(fixed.count('.') == (decimals > 0 ? 1 : 0));
        if (decimals > 0)
            FUZZ_CHECK(fixed.size() - fixed.indexOf('.') - 1 == decimals);
        // Within half a unit of the last decimal (plus the rounding of the text itself).
        const double unit = std::pow(10.0, -decimals);
        FUZZ_CHECK(std::fabs(*back - value) <= unit / 2 + std::fabs(value) * 1e-15);
    } else {
        FUZZ_CHECK(*back == 0);
    }

    const std::int32_t count = RoundCount(value);
    FUZZ_CHECK(TryStrToInt(CountText(value)) == count);
    if (std::isfinite(value) && std::fabs(value) < 2e9)
        FUZZ_CHECK(std::fabs(count - value) <= 0.5);
    const std::uint32_t ucount = RoundUnsignedCount(value);
    FUZZ_CHECK(TryStrToInt64(UnsignedCountText(value)) == static_cast<std::int64_t>(ucount));
    if (value >= 0 && value < 4e9)
        FUZZ_CHECK(std::fabs(ucount - value) <= 0.5);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    const QString latin1 = QString::fromLatin1(bytes, static_cast<qsizetype>(size));
    CheckConversions(latin1);
    CheckKeywords(latin1);
    // Text that reached the program through a UTF-8 file or the terminal.
    const QString utf8 = QString::fromUtf8(bytes, static_cast<qsizetype>(size));
    if (utf8 != latin1)
        CheckConversions(utf8);
    CheckValueTexts(data, size);
    return 0;
}
