// Fuzzes the spin-edit value model: random configurations (base, decimals,
// separator, limits, step, value) followed by a random sequence of edits,
// with digit entry as the main operation. After every step the model must
// hold a finite value inside its limits, and a refused digit entry must
// leave value, text and selection as they were.
#include "fuzz/FuzzCheck.h"
#include "widgets/PlusSpinModel.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

double PickDouble(FuzzedDataProvider& in)
{
    static const double kInteresting[] = {0,
                                          1,
                                          -1,
                                          0.5,
                                          -0.5,
                                          9.99,
                                          999.5,
                                          1e3,
                                          -1e3,
                                          1e6,
                                          4294967295.0,
                                          1e9,
                                          1e15,
                                          1e18,
                                          -1e18,
                                          1e-9,
                                          1e-19,
                                          1e-25,
                                          123456.789,
                                          -98765.4321,
                                          1e300,
                                          -1e300,
                                          std::numeric_limits<double>::max(),
                                          -std::numeric_limits<double>::max(),
                                          std::numeric_limits<double>::denorm_min(),
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          std::numeric_limits<double>::quiet_NaN()};
    if (in.ConsumeBool())
        return in.PickValueInArray(kInteresting);
    return in.ConsumeFloatingPoint<double>();
}

char16_t PickSeparator(FuzzedDataProvider& in)
{
    static const char16_t kSeparators[] = {0, u' ', u',', u'\'', u'.', u'-', u'5', u'a', u'_', 0x00A0, 0x2009};
    if (in.ConsumeBool())
        return in.PickValueInArray(kSeparators);
    return in.ConsumeIntegral<char16_t>();
}

char16_t PickDigit(FuzzedDataProvider& in, int base)
{
    if (in.ConsumeProbability<float>() < 0.8f) {
        const int d = in.ConsumeIntegralInRange(0, base - 1);
        return static_cast<char16_t>(d < 10 ? u'0' + d : (in.ConsumeBool() ? u'a' : u'A') + d - 10);
    }
    return in.ConsumeIntegral<char16_t>();
}

struct TSnapshot {
    double Value;
    std::u16string Text;
    int FocusIndex;
    int IncExponent;
    double Increment;
    bool operator==(const TSnapshot& o) const
    {
        return Value == o.Value && Text == o.Text && FocusIndex == o.FocusIndex && IncExponent == o.IncExponent &&
               (Increment == o.Increment || (std::isnan(Increment) && std::isnan(o.Increment)));
    }
};

TSnapshot Take(const TPlusSpinModel& m)
{
    return {m.Value(), m.Text(), m.FocusIndex(), m.IncExponent(), m.Increment()};
}

void CheckModel(const TPlusSpinModel& m)
{
    FUZZ_CHECK(std::isfinite(m.Value()));
    if (m.MinValue() < m.MaxValue())
        FUZZ_CHECK(m.Value() >= m.MinValue() && m.Value() <= m.MaxValue());
    FUZZ_CHECK(!m.Text().empty());
    FUZZ_CHECK(m.FocusIndex() >= 1);
    FUZZ_CHECK(m.Decimals() >= 0 && m.Decimals() <= 18);
    FUZZ_CHECK(m.Base() >= 2 && m.Base() <= 20);
}

// Reference reading of ParseDigits' accepted form: an optional leading "-"
// (not alone), then digits of the base and at most one ".".
bool ValidDigits(const std::u16string& s, int base)
{
    std::size_t i = s.size() > 1 && s[0] == u'-' ? 1 : 0;
    int points = 0;
    for (; i < s.size(); ++i) {
        if (s[i] == kSpinDecimalSeparator) {
            if (++points > 1)
                return false;
            continue;
        }
        const int d = TPlusSpinModel::DigitValue(s[i]);
        if (d < 0 || d >= base)
            return false;
    }
    return true;
}

void FuzzParseDigits(FuzzedDataProvider& in)
{
    const int base = in.ConsumeIntegralInRange(2, 20);
    const std::string raw = in.ConsumeRandomLengthString(64);
    std::u16string s(raw.begin(), raw.end());
    bool threw = false;
    double v = 0;
    try {
        v = TPlusSpinModel::ParseDigits(s, base);
    } catch (const EPlusSpinError&) {
        threw = true;
    }
    FUZZ_CHECK(threw == !ValidDigits(s, base));
    if (threw)
        return;
    FUZZ_CHECK(!std::isnan(v));
    // In base 10 the result is the decimal number the text reads as.
    if (base == 10 && s.size() <= 30) {
        const double expected = std::strtod(raw.c_str(), nullptr);
        FUZZ_CHECK(std::fabs(v - expected) <= 1e-12 * std::fabs(expected) + 1e-300);
    }
}

void FuzzFixedText(FuzzedDataProvider& in)
{
    const double v = PickDouble(in);
    const int decimals = in.ConsumeIntegralInRange(0, 18);
    const int maxSig = in.ConsumeIntegralInRange(1, 18);
    const std::string text = TPlusSpinModel::FixedText(v, decimals, maxSig);
    const std::u16string wide(text.begin(), text.end());
    const double back = TPlusSpinModel::ParseDigits(wide, 10);
    if (!std::isfinite(v)) {
        FUZZ_CHECK(back == 0);
        return;
    }
    // Rounding the largest values to few digits may go past the double range.
    if (std::isinf(back)) {
        FUZZ_CHECK(std::fabs(v) > 1e307 && maxSig < 17);
        return;
    }
    // Rounded at the last decimal, or to maxSig significant digits when fewer.
    const double unit = std::pow(10.0, -decimals);
    const double sigUnit = v == 0 ? 0 : std::pow(10.0, std::floor(std::log10(std::fabs(v))) + 1 - maxSig);
    FUZZ_CHECK(std::fabs(back - v) <= std::max(unit, sigUnit) * 0.5000001 + std::fabs(v) * 1e-14);
}

void FuzzModel(FuzzedDataProvider& in)
{
    TPlusSpinModel m;
    int changes = 0;
    m.OnChange = [&](TPlusSpinModel&) { ++changes; };

    // Properties in a random order, as a form loader or program code might.
    for (int i = in.ConsumeIntegralInRange(0, 8); i > 0; --i) {
        switch (in.ConsumeIntegralInRange(0, 6)) {
            case 0:
                m.setBase(in.ConsumeIntegralInRange(2, 20));
                break;
            case 1:
                m.setDecimals(in.ConsumeIntegralInRange(-3, 21));
                break;
            case 2:
                m.setThousandSeparator(PickSeparator(in));
                break;
            case 3:
                m.setMinValue(PickDouble(in));
                break;
            case 4:
                m.setMaxValue(PickDouble(in));
                break;
            case 5:
                m.setIncrement(PickDouble(in));
                break;
            case 6:
                m.setValue(PickDouble(in));
                break;
        }
        CheckModel(m);
    }

    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange(0, 12)) {
            case 0:
            case 1:
            case 2:
            case 3: {
                const char16_t c = PickDigit(in, m.Base());
                const TSnapshot before = Take(m);
                const int changesBefore = changes;
                try {
                    m.EnterDigit(c);
                } catch (const EPlusSpinError&) {
                    FUZZ_CHECK(Take(m) == before);
                    FUZZ_CHECK(changes == changesBefore);
                }
                break;
            }
            case 4:
                m.StepUp();
                break;
            case 5:
                m.StepDown();
                break;
            case 6:
                m.SelectDigit(in.ConsumeIntegralInRange(-25, 25));
                break;
            case 7:
                m.RightZero();
                break;
            case 8:
                m.setValue(PickDouble(in));
                break;
            case 9:
                if (m.Spinning())
                    m.EndSpin();
                else
                    m.BeginSpin();
                m.setTrackSpin(in.ConsumeBool());
                break;
            case 10:
                m.setIncrement(PickDouble(in));
                break;
            case 11:
                m.setThousandSeparator(PickSeparator(in));
                break;
            case 12: {
                const int base = in.ConsumeIntegralInRange(0, 22);
                if (base < 2 || base > 20) {
                    const int old = m.Base();
                    bool threw = false;
                    try {
                        m.setBase(base);
                    } catch (const EPlusSpinError&) {
                        threw = true;
                    }
                    FUZZ_CHECK(threw && m.Base() == old);
                } else {
                    m.setBase(base);
                }
                break;
            }
        }
        CheckModel(m);
    }
    m.EndSpin();
    CheckModel(m);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            FuzzParseDigits(in);
            break;
        case 1:
            FuzzFixedText(in);
            break;
        default:
            FuzzModel(in);
            break;
    }
    return 0;
}
