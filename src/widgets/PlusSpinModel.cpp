#include "widgets/PlusSpinModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Rounds to the nearest integer, halves to the even neighbour, independent of
// the floating-point rounding mode in force.
double RoundHalfEven(double x)
{
    double r = std::round(x);  // halves away from zero
    if (std::fabs(x - std::trunc(x)) == 0.5 && std::fmod(r, 2.0) != 0.0)
        r -= std::copysign(1.0, x);
    return r;
}

std::u16string Widen(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

const char* const kNotValid = "Not a valid number";

}  // namespace

TPlusSpinModel::TPlusSpinModel()
{
    SelectDigit(0);
    FormatValueText();
    UpdateSelection();
}

double TPlusSpinModel::LnBase(int b)
{
    static const double kLn[21] = {0,
                                   0,
                                   0.6931471805599,
                                   1.0986122886681,
                                   1.3862943611198,
                                   1.6094379124341,
                                   1.7917594692280,
                                   1.9459101490553,
                                   2.0794415416798,
                                   2.1972245773362,
                                   2.3025850929940,
                                   2.3978952727983,
                                   2.4849066497880,
                                   2.5649493574615,
                                   2.6390573296152,
                                   2.7080502011022,
                                   2.7725887222397,
                                   2.8332133440562,
                                   2.8903717578961,
                                   2.9444389791664,
                                   2.9957322735539};
    if (b < 2 || b > 20)
        throw EPlusSpinError("Base must be between 2 and 20");
    return kLn[b];
}

int TPlusSpinModel::DigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z')
        return c - u'A' + 10;
    return -1;
}

int TPlusSpinModel::DigitExponent(double x) const
{
    // An infinite limit reaches as far left as the largest finite value does.
    const double ax = std::min(std::fabs(x), std::numeric_limits<double>::max());
    int r = 0;
    if (ax > 1) {
        const double lnB = LnBase(FBase);
        r = static_cast<int>(RoundHalfEven(std::log(ax) / lnB));
        if (std::exp(r * lnB) > ax)
            --r;
    }
    if (r < 1)
        r = 1;
    if (x < 0)
        ++r;
    return r;
}

std::string TPlusSpinModel::FixedText(double v, int decimals, int maxSig)
{
    if (!std::isfinite(v))
        v = 0;
    bool negative = v < 0;
    std::string kept;  // significant digits kept after rounding
    int weight = 0;    // power of ten of the last kept digit
    if (v != 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.17e", std::fabs(v));
        std::string digits;
        digits += buf[0];
        digits.append(buf + 2, 17);
        const int e = std::atoi(std::strchr(buf, 'e') + 1);
        const int keep = std::min(maxSig, e + 1 + decimals);
        if (keep >= 0) {
            kept = digits.substr(0, keep);
            weight = e + 1 - keep;
            if (keep < 18 && digits[keep] >= '5') {
                int i = static_cast<int>(kept.size()) - 1;
                while (i >= 0 && kept[i] == '9')
                    kept[i--] = '0';
                if (i >= 0)
                    ++kept[i];
                else
                    kept.insert(kept.begin(), '1');
            }
        }
    }
    // kept * 10^weight, with weight >= -decimals.
    std::string all = kept;
    int fracDigits = 0;
    if (weight > 0)
        all.append(weight, '0');
    else
        fracDigits = -weight;
    if (static_cast<int>(all.size()) < fracDigits + 1)
        all.insert(0, fracDigits + 1 - all.size(), '0');
    std::string intPart = all.substr(0, all.size() - fracDigits);
    std::string frac = all.substr(all.size() - fracDigits);
    frac.append(decimals - fracDigits, '0');
    const auto nz = intPart.find_first_not_of('0');
    intPart = nz == std::string::npos ? "0" : intPart.substr(nz);
    // A value that shows as zero is shown without a sign.
    if (intPart == "0" && frac.find_first_not_of('0') == std::string::npos)
        negative = false;
    std::string out = negative ? "-" : "";
    out += intPart;
    if (decimals > 0) {
        out += '.';
        out += frac;
    }
    return out;
}

std::u16string TPlusSpinModel::Group(const std::string& plain) const
{
    std::u16string text = Widen(plain);
    const char16_t sep = FInternalThousandSep;
    if (sep == 0)
        return text;
    const int g = GroupSize();
    const auto point = FDecimals > 0 ? text.find(kSpinDecimalSeparator) : text.size();
    std::u16string intPart = text.substr(0, point);
    std::u16string frac = FDecimals > 0 ? text.substr(point + 1) : std::u16string();
    std::u16string groupedFrac;
    for (size_t i = 0; i < frac.size(); ++i) {
        if (i > 0 && i % g == 0)
            groupedFrac += sep;
        groupedFrac += frac[i];
    }
    // Walking left from the point; the minus sign counts as a character.
    for (int k = static_cast<int>(intPart.size()) - g; k > 0; k -= g)
        intPart.insert(k, 1, sep);
    std::u16string out = intPart;
    if (FDecimals > 0) {
        out += kSpinDecimalSeparator;
        out += groupedFrac;
    }
    return out;
}

std::u16string TPlusSpinModel::FormatValue(double v) const
{
    return Group(FixedText(v, FDecimals));
}

void TPlusSpinModel::FormatValueText()
{
    FText = FormatValue(FValue);
}

void TPlusSpinModel::UpdateSelection()
{
    const int L = static_cast<int>(FText.size());
    const int e = FIncExponent;
    const int d = FDecimals;
    const int g = GroupSize();
    const char16_t sep = FInternalThousandSep;
    int idx = L - e - d;
    if (e >= 0 && d > 0)
        --idx;
    if (sep != 0) {
        idx -= (d - 1) / g;
        if (e < 0)
            idx += (-e - 1) / g;
        else
            idx -= e / g;
    }
    std::u16string text = FText;
    if (idx < 1) {
        for (int i = idx; i <= 0; ++i) {
            const bool isSep = sep != 0 && (e / g + e + i + 1) % (g + 1) == 0;
            text.insert(text.begin(), isSep ? sep : kSpinPlaceholder);
        }
        idx = 1;
    }
    while (idx > 1 && !text.empty() && (text[0] == kSpinPlaceholder || (sep != 0 && text[0] == sep))) {
        text.erase(0, 1);
        --idx;
    }
    FText = text;
    FFocusIndex = idx;
    if (FView)
        FView->SelectionPlaced();
}

void TPlusSpinModel::SetValue(double NewValue)
{
    if (FMinValue != FMaxValue) {
        if (NewValue < FMinValue)
            NewValue = FMinValue;
        else if (NewValue > FMaxValue)
            NewValue = FMaxValue;
    }
    if (!std::isfinite(NewValue))
        return;
    if (NewValue == 0)
        NewValue = 0;  // no negative zero
    if (NewValue == FValue)
        return;
    FValue = NewValue;
    FormatValueText();
    UpdateSelection();
    if (FView)
        FView->Invalidate();
}

void TPlusSpinModel::setValue(double v)
{
    const double old = FValue;
    SetValue(v);
    if (FValue == old)
        return;
    if (!FSpinning || FTrackSpin) {
        FModified = false;
        Change();
    } else {
        FModified = true;
    }
}

std::int64_t TPlusSpinModel::IntValue() const
{
    const double r = RoundHalfEven(FValue);
    if (r >= 9.2233720368547758e18)
        return INT64_MAX;
    if (r <= -9.2233720368547758e18)
        return INT64_MIN;
    return static_cast<std::int64_t>(r);
}

void TPlusSpinModel::setIntValue(std::int64_t v)
{
    setValue(static_cast<double>(v));
}

void TPlusSpinModel::Change()
{
    if (OnChange)
        OnChange(*this);
    if (FView)
        FView->Changed();
}

void TPlusSpinModel::EndSpin()
{
    FSpinning = false;
    if (!FTrackSpin && FModified) {
        FModified = false;
        Change();
    }
    FModified = false;
}

void TPlusSpinModel::ReclampAfterLimitChange()
{
    setValue(FValue);
    if (FView)
        FView->ReAutoSize();
}

void TPlusSpinModel::setMaxValue(double v)
{
    if (v == FMaxValue)
        return;
    FMaxValue = v;
    ReclampAfterLimitChange();
}

void TPlusSpinModel::setMinValue(double v)
{
    if (v == FMinValue)
        return;
    FMinValue = v;
    ReclampAfterLimitChange();
}

void TPlusSpinModel::SelectDigit(int n)
{
    if (n < -FDecimals)
        n = -FDecimals;
    if (FMinValue != FMaxValue) {
        const int top = std::max(DigitExponent(FMinValue), DigitExponent(FMaxValue));
        if (n > top)
            n = top;
    }
    double step = 1.0;
    for (int i = 0; i < n; ++i)
        step *= FBase;
    for (int i = 0; i < -n; ++i)
        step /= FBase;
    // Nothing to do when both the position and the step stay. (Comparing the
    // step alone would pin the selection once it lies right of the minimum
    // step's digit: moving back would compute the step already in force.)
    const bool sameStep = FIncrement != 0 && std::fabs(step - FIncrement) / FIncrement <= 1e-7;
    if (sameStep && n == FIncExponent)
        return;
    FIncrement = std::max(step, FSavedIncrement);
    FIncExponent = n;
    if (OnSetIncrement)
        OnSetIncrement(*this);
    if (FView)
        FView->IncrementSet();
    UpdateSelection();
    if (FView)
        FView->Invalidate();
}

void TPlusSpinModel::setIncrement(double x)
{
    FSavedIncrement = x;
    x = std::fabs(x);
    if (FIncrement != 0 && std::fabs(x - FIncrement) / FIncrement < 1e-7)
        return;
    int e;
    if (x > 1e-20) {
        const double lnB = LnBase(FBase);
        // An infinite step selects the leftmost digit a finite value can have.
        e = static_cast<int>(RoundHalfEven(std::log(std::min(x, std::numeric_limits<double>::max())) / lnB));
        if (1.0001 * x < std::exp(e * lnB))
            --e;
    } else {
        e = -FDecimals - 1;
    }
    FIncExponent = e;
    UpdateSelection();
    if (FView)
        FView->Invalidate();
    FIncrement = x;
    if (OnSetIncrement)
        OnSetIncrement(*this);
    if (FView)
        FView->IncrementSet();
}

void TPlusSpinModel::setDecimals(int d)
{
    d = std::clamp(d, 0, 18);
    if (d == FDecimals)
        return;
    FDecimals = d;
    FormatValueText();
    UpdateSelection();
    if (FView) {
        FView->Invalidate();
        FView->ReAutoSize();
    }
}

void TPlusSpinModel::setThousandSeparator(char16_t c)
{
    if (c == FThousandSep)
        return;
    FThousandSep = c;
    char16_t eff = c;
    if (c != 0 && c <= 255) {
        const bool confusable = c == u'+' || c == u'-' || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') ||
                                (c >= u'a' && c <= u'z') || c == kSpinDecimalSeparator;
        if (confusable)
            eff = u' ';
    }
    FInternalThousandSep = eff;
    FormatValueText();
    UpdateSelection();
    if (FView) {
        FView->Invalidate();
        FView->ReAutoSize();  // the separators widen the text
    }
}

void TPlusSpinModel::setBase(int b)
{
    if (b < 2 || b > 20)
        throw EPlusSpinError("Base must be between 2 and 20");
    if (b == FBase)
        return;
    FBase = b;
    SelectDigit(FIncExponent);
    FormatValueText();
    UpdateSelection();
    if (FView) {
        FView->ReAutoSize();
        FView->Invalidate();
    }
}

double TPlusSpinModel::ParseDigits(const std::u16string& s, int b)
{
    size_t i = 0;
    bool negative = false;
    if (s.size() > 1 && s[0] == u'-') {
        negative = true;
        i = 1;
    }
    double acc = 0;
    double w = 1.0 / b;
    bool inFraction = false;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c == kSpinDecimalSeparator) {
            if (inFraction)
                throw EPlusSpinError(kNotValid);
            inFraction = true;
            continue;
        }
        const int dv = DigitValue(c);
        if (dv < 0 || dv >= b)
            throw EPlusSpinError(kNotValid);
        const double digit = negative ? -dv : dv;
        if (!inFraction) {
            acc = acc * b + digit;
        } else {
            acc += digit * w;
            w /= b;
        }
    }
    return acc;
}

void TPlusSpinModel::EnterDigit(char16_t c)
{
    if (!FEditorEnabled)
        return;
    const int dv = DigitValue(c);
    if (dv < 0 || dv >= FBase)
        return;
    // A selection beyond the text (a step finer than the last decimal) has no
    // digit to overwrite.
    if (FFocusIndex < 1 || FFocusIndex > static_cast<int>(FText.size()))
        return;
    std::u16string s = FText;
    const size_t at = static_cast<size_t>(FFocusIndex - 1);
    s[at] = c;
    for (size_t i = at + 1; i < s.size(); ++i)
        if (s[i] == kSpinPlaceholder)
            s[i] = u'0';
    if (FInternalThousandSep != 0)
        std::erase(s, FInternalThousandSep);
    const double parsed = ParseDigits(s, FBase);
    if (FIncExponent > -FDecimals)
        SelectDigit(FIncExponent - 1);
    setValue(parsed);
}

void TPlusSpinModel::RightZero()
{
    std::string s = FixedText(FValue, FDecimals, 12);
    const int e = FIncExponent;
    if (e < 0) {
        const int n = std::min<int>(FDecimals + e, static_cast<int>(s.size()));
        for (int i = 0; i < n; ++i)
            s[s.size() - 1 - i] = '0';
    } else {
        if (FDecimals > 0)
            s.erase(s.find('.'));
        const int n = std::min<int>(e, static_cast<int>(s.size()));
        for (int i = 0; i < n; ++i)
            s[s.size() - 1 - i] = '0';
    }
    setValue(ParseDigits(Widen(s), 10));
}
