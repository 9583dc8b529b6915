// What each generator model can do: the model table, the three variants with
// their timing steps and value ranges, the channel pages, the multiplexer
// lists, the maker's name, and the check that a time is a whole number of
// timing steps. Every model rule of the program is read from here.
#pragma once

#include <QString>
#include <array>

enum class TVariant { vaStandard, vaPlus, vaHighResolution };

struct TModelInfo {
    bool Supported = false;        // one of the six models discovery accepts
    int ChannelCount = 8;          // channel pages in use
    int StandardChannelCount = 0;  // channels 1..this have their own output stage
    bool PlusOption = false;
    bool HighResolution = false;
    int PagesShown = 2;  // channel pages A.. shown for the model
};

// Exact, case-sensitive lookup of the model code; any other text (also an
// empty one) gives the row for unknown models.
TModelInfo ModelInfo(const QString& model);
bool IsSupportedModel(const QString& model);
int ChannelCountOf(const QString& model);
int StandardChannelCountOf(const QString& model);
// The most standard channels any model has: channels above it never have an
// output stage, so never a multiplexer gate.
int MaxStandardChannelCount();
// True for a virtual channel of a supported model: above its standard
// channels, within its channel count.
bool IsVirtualChannel(const QString& model, int channel);

// High resolution wins over Plus; neither flag means Standard.
TVariant VariantOf(bool plusOption, bool highResolution);

// 1e-8 with neither flag, 5e-9 with Plus, 4e-9 with High resolution only.
double TimingResolutionOf(bool plusOption, bool highResolution);

// Values that the window applies to its period, width and delay controls for
// the connected variant. Channel arrays are indexed 1..8 (index 0 unused).
struct TVariantValues {
    TVariant Variant = TVariant::vaStandard;
    double TimingResolution = 1e-8;

    double PeriodIncrement = 1e-8;
    int PeriodDecimals = 8;
    double PeriodMinimum = 2e-7;
    double PeriodMaximum = 1000;

    double WidthIncrement = 1e-8;
    int WidthDecimals = 8;
    double WidthMaximum = 1000;
    bool WidthMinimumChanged = false;  // only High resolution sets a minimum
    double WidthMinimum = 0;

    std::array<double, 9> DelayIncrement{};
    std::array<int, 9> DelayDecimals{};
    double DelayMinimum = -1000;
    double DelayMaximum = 1000;
    // Step for the whole-multiple test when a delay is edited (every channel).
    double DelayCheckStep = 1e-8;

    bool FeatureLabelShown = false;
    QString FeatureLabelCaption;      // "Plus Option" or "Verdalis High Resolution 6420"
    bool GreenBanner = false;         // else the blue banner
    bool PlusFeatures = false;        // Plus page enabled, Plus features read back,
                                      // "ReArm" and the "…WR" gate modes offered
    QString PlusCaption;              // "Enhanced Options" for High resolution, else empty (unchanged)
    QString SystemResolutionCaption;  // "System Resolution: 4ns" for High resolution, else empty (unchanged)
};

// Limits that every model shares: the counts, the amplitude of an output
// stage, the trigger threshold, and the width's minimum where the variant
// sets none.
constexpr double kWidthMinimum = 1e-8;
constexpr double kSystemCountMinimum = 1;
constexpr double kSystemCountMaximum = 4000000000.0;
constexpr double kChannelCountMinimum = 1;
constexpr double kChannelCountMaximum = 1000000;
constexpr double kWaitCountMaximum = 1000000;
constexpr double kCycleCountMaximum = 1000000;
constexpr double kPeriodsToAverageMinimum = 1;
constexpr double kPeriodsToAverageMaximum = 15;
constexpr double kAmplitudeMinimum = 3.3;
constexpr double kAmplitudeMaximum = 5;
constexpr double kTriggerLevelMinimum = 0.2;
constexpr double kTriggerLevelMaximum = 15;

// StandardChannelCount decides which channels get the fine delay step of
// the High-resolution variant.
TVariantValues VariantValues(bool plusOption, bool highResolution, int standardChannelCount);

// Step for the whole-multiple test when a delay is edited: the fine delay
// step on High-resolution generators (every channel), otherwise the timing
// step in force (0 before the first read-back, when every value passes).
double DelayCheckStep(bool highResolution, double timingResolution);

// A channel page's multiplexer list for a generator of ChannelCount channels:
// how many of its items stand for channels (the mask bits that count), and
// the columns and height it is laid out in.
struct TMuxLayout {
    int Items = 2;
    int Columns = 2;
    int Height = 20;
};
TMuxLayout MuxLayoutOf(int channelCount);

// Caption of channel page N (1..8) for the model: "ChC(V)"/"ChD(V)" on the
// two-standard-channel models, "Ch E(V)" … "Ch H(V)" on the four-standard
// ones; empty when the page keeps its normal caption.
QString VirtualPageCaption(const QString& model, int channel);

// The maker's name shown for the manufacturer field of the identification:
// "Jentrix" for "JT" (exact, case-sensitive), otherwise "Unknown".
QString MakerName(const QString& manufacturerCode);

// True when Value lies within half a thousandth of a step of a whole number
// of Steps (values whose quotient is negative always pass). A Step of 0,
// which happens before the first read-back has set the timing step, accepts
// every value.
bool CheckResolution(double value, double step);

// Value rounded to the nearest whole number of Steps (halves away from
// zero), clean of binary noise to 1e-13; Value itself for a Step of 0.
double RoundToStep(double value, double step);
