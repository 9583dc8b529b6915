#include "model/Capabilities.h"

#include <algorithm>
#include <cmath>

namespace {

struct TModelRow {
    const char* Code;
    TModelInfo Info;
};

const TModelRow kModels[] = {
    {"6402", {true, 2, 2, false, false, 2}}, {"6404", {true, 4, 4, false, false, 4}},
    {"6402+", {true, 4, 2, true, false, 4}}, {"6404+", {true, 8, 4, true, false, 8}},
    {"6422", {true, 4, 2, false, true, 4}},  {"6424", {true, 8, 4, false, true, 8}},
};

// The delay step of the standard channels of High-resolution generators.
constexpr double kFineDelayStep = 5e-12;

// Halves are rounded away from zero.
double RoundTo(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    double scaled = value * scale;
    scaled += scaled < 0 ? -0.5 : 0.5;
    return std::trunc(scaled) / scale;
}

}  // namespace

TModelInfo ModelInfo(const QString& model)
{
    for (const auto& row : kModels)
        if (model == QLatin1String(row.Code))
            return row.Info;
    return TModelInfo{};
}

bool IsSupportedModel(const QString& model)
{
    return ModelInfo(model).Supported;
}
int ChannelCountOf(const QString& model)
{
    return ModelInfo(model).ChannelCount;
}
int StandardChannelCountOf(const QString& model)
{
    return ModelInfo(model).StandardChannelCount;
}

int MaxStandardChannelCount()
{
    int most = 0;
    for (const auto& row : kModels)
        most = std::max(most, row.Info.StandardChannelCount);
    return most;
}

bool IsVirtualChannel(const QString& model, int channel)
{
    const TModelInfo info = ModelInfo(model);
    return info.Supported && channel > info.StandardChannelCount && channel <= info.ChannelCount;
}

TVariant VariantOf(bool plusOption, bool highResolution)
{
    if (highResolution)
        return TVariant::vaHighResolution;
    if (plusOption)
        return TVariant::vaPlus;
    return TVariant::vaStandard;
}

double TimingResolutionOf(bool plusOption, bool highResolution)
{
    if (!plusOption && !highResolution)
        return 1e-8;
    if (highResolution && !plusOption)
        return 4e-9;
    return 5e-9;
}

TVariantValues VariantValues(bool plusOption, bool highResolution, int standardChannelCount)
{
    TVariantValues v;
    v.Variant = VariantOf(plusOption, highResolution);
    const double res = TimingResolutionOf(plusOption, highResolution);
    const bool extended = plusOption || highResolution;
    v.TimingResolution = res;
    v.PeriodIncrement = res;
    v.WidthIncrement = res;
    v.PeriodDecimals = extended ? 9 : 8;
    v.WidthDecimals = extended ? 9 : 8;
    v.PeriodMinimum = highResolution ? 4e-8 : (plusOption ? 5e-8 : 2e-7);
    v.PeriodMaximum = highResolution ? 4000 : 1000;
    v.WidthMaximum = highResolution ? 4000 : 1000;
    v.WidthMinimumChanged = highResolution;
    v.WidthMinimum = highResolution ? 8e-9 : 0;
    v.DelayMinimum = highResolution ? -4000 : -1000;
    v.DelayMaximum = highResolution ? 4000 : 1000;
    v.DelayCheckStep = DelayCheckStep(highResolution, res);
    v.DelayIncrement[0] = 0;
    v.DelayDecimals[0] = 0;
    for (int n = 1; n <= 8; ++n) {
        const bool fine = highResolution && n <= standardChannelCount;
        v.DelayIncrement[n] = fine ? kFineDelayStep : res;
        v.DelayDecimals[n] = fine ? 12 : (extended ? 9 : 8);
    }
    v.FeatureLabelShown = extended;
    v.PlusFeatures = extended;
    v.GreenBanner = highResolution;
    if (highResolution) {
        v.FeatureLabelCaption = QStringLiteral("Verdalis High Resolution 6420");
        v.PlusCaption = QStringLiteral("Enhanced Options");
        v.SystemResolutionCaption = QStringLiteral("System Resolution: 4ns");
    } else if (plusOption) {
        v.FeatureLabelCaption = QStringLiteral("Plus Option");
    }
    return v;
}

double DelayCheckStep(bool highResolution, double timingResolution)
{
    return highResolution ? kFineDelayStep : timingResolution;
}

TMuxLayout MuxLayoutOf(int channelCount)
{
    TMuxLayout layout;
    layout.Items = channelCount > 4 ? 8 : (channelCount > 2 ? 4 : 2);
    layout.Columns = channelCount == 2 ? 2 : 4;
    layout.Height = channelCount == 2 || channelCount == 4 ? 20 : 40;
    return layout;
}

QString VirtualPageCaption(const QString& model, int channel)
{
    if (!IsVirtualChannel(model, channel))
        return QString();
    const QChar letter = QChar('A' + channel - 1);
    if (StandardChannelCountOf(model) == 2)
        return QStringLiteral("Ch%1(V)").arg(letter);
    return QStringLiteral("Ch %1(V)").arg(letter);
}

QString MakerName(const QString& manufacturerCode)
{
    return manufacturerCode == QLatin1String("JT") ? QStringLiteral("Jentrix") : QStringLiteral("Unknown");
}

bool CheckResolution(double value, double step)
{
    const double v = RoundTo(value, 13);
    const double s = RoundTo(step, 13);
    if (std::fabs(v - s) <= 9e-13)
        return true;
    if (s == 0)
        return true;
    const double q = v / s;
    double f = q - std::trunc(q);
    f = RoundTo(f, 3);
    if (f >= 1)
        f = 0;
    return !(f > 9e-13);
}

double RoundToStep(double value, double step)
{
    if (step <= 0)
        return value;
    // The quotient is cleaned first, so that 1e-8 / 4e-9 counts as the half
    // it is meant to be.
    const double steps = std::round(RoundTo(value / step, 6));
    return RoundTo(steps * step, 13);
}
