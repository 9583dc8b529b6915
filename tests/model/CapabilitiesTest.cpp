#include "model/Capabilities.h"
#include "model/ProgramState.h"

#include <gtest/gtest.h>

namespace {

struct ModelRow {
    const char* model;
    bool supported;
    int channels;
    int standard;
    bool plus;
    bool high;
    int pages;
};

TEST(ModelTable, RowsForEveryModel)
{
    const ModelRow rows[] = {
        {"6402", true, 2, 2, false, false, 2},   {"6404", true, 4, 4, false, false, 4},
        {"6402+", true, 4, 2, true, false, 4},   {"6404+", true, 8, 4, true, false, 8},
        {"6422", true, 4, 2, false, true, 4},    {"6424", true, 8, 4, false, true, 8},
        {"", false, 8, 0, false, false, 2},      {"6404+ ", false, 8, 0, false, false, 2},
        {" 6404", false, 8, 0, false, false, 2}, {"6406", false, 8, 0, false, false, 2},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.model);
        const TModelInfo info = ModelInfo(r.model);
        EXPECT_EQ(info.Supported, r.supported);
        EXPECT_EQ(IsSupportedModel(r.model), r.supported);
        EXPECT_EQ(info.ChannelCount, r.channels);
        EXPECT_EQ(ChannelCountOf(r.model), r.channels);
        EXPECT_EQ(info.StandardChannelCount, r.standard);
        EXPECT_EQ(StandardChannelCountOf(r.model), r.standard);
        EXPECT_EQ(info.PlusOption, r.plus);
        EXPECT_EQ(info.HighResolution, r.high);
        EXPECT_EQ(info.PagesShown, r.pages);
    }
}

TEST(ModelTable, VirtualChannelsAndTheMostStandardChannels)
{
    EXPECT_EQ(MaxStandardChannelCount(), 4);
    const struct {
        const char* model;
        int channel;
        bool isVirtual;
    } rows[] = {
        {"6402", 2, false}, {"6402", 3, false}, {"6404", 4, false}, {"6402+", 2, false},
        {"6402+", 3, true}, {"6422", 4, true},  {"6422", 5, false}, {"6404+", 4, false},
        {"6424", 5, true},  {"6424", 8, true},  {"6424", 9, false}, {"other", 5, false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(IsVirtualChannel(r.model, r.channel), r.isVirtual) << r.model << " " << r.channel;
}

TEST(ModelTable, MuxListByChannelCount)
{
    const struct {
        int channels, items, columns, height;
    } rows[] = {{2, 2, 2, 20}, {4, 4, 4, 20}, {8, 8, 4, 40}, {0, 2, 4, 40}, {3, 4, 4, 40}};
    for (const auto& r : rows) {
        const TMuxLayout layout = MuxLayoutOf(r.channels);
        EXPECT_EQ(layout.Items, r.items) << r.channels;
        EXPECT_EQ(layout.Columns, r.columns) << r.channels;
        EXPECT_EQ(layout.Height, r.height) << r.channels;
    }
}

TEST(ModelTable, ProgramStateDerivesStandardChannelsFromModel)
{
    TProgramState state;
    EXPECT_EQ(state.StandardChannelCount(), 0);
    state.DeviceIdentity.Model = "6402+";
    EXPECT_EQ(state.StandardChannelCount(), 2);
}

TEST(Variant, TimingResolutionFromFlags)
{
    EXPECT_EQ(TimingResolutionOf(false, false), 1e-8);
    EXPECT_EQ(TimingResolutionOf(true, false), 5e-9);
    EXPECT_EQ(TimingResolutionOf(false, true), 4e-9);
    EXPECT_EQ(TimingResolutionOf(true, true), 5e-9);
    EXPECT_EQ(VariantOf(true, true), TVariant::vaHighResolution);
    EXPECT_EQ(VariantOf(true, false), TVariant::vaPlus);
    EXPECT_EQ(VariantOf(false, false), TVariant::vaStandard);
}

TEST(Variant, HighResolution6424)
{
    const TVariantValues v = VariantValues(false, true, StandardChannelCountOf("6424"));
    EXPECT_EQ(v.TimingResolution, 4e-9);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(v.DelayIncrement[n], 5e-12) << n;
        EXPECT_EQ(v.DelayDecimals[n], 12) << n;
    }
    for (int n = 5; n <= 8; ++n) {
        EXPECT_EQ(v.DelayIncrement[n], 4e-9) << n;
        EXPECT_EQ(v.DelayDecimals[n], 9) << n;
    }
    EXPECT_EQ(v.WidthIncrement, 4e-9);
    EXPECT_EQ(v.WidthDecimals, 9);
    EXPECT_EQ(v.PeriodMinimum, 4e-8);
    EXPECT_EQ(v.PeriodMaximum, 4000);
    EXPECT_EQ(v.DelayMinimum, -4000);
    EXPECT_EQ(v.DelayMaximum, 4000);
    EXPECT_TRUE(v.WidthMinimumChanged);
    EXPECT_EQ(v.WidthMinimum, 8e-9);
    EXPECT_EQ(v.DelayCheckStep, 5e-12);
    EXPECT_TRUE(v.GreenBanner);
    EXPECT_EQ(v.FeatureLabelCaption, "Verdalis High Resolution 6420");
    EXPECT_EQ(v.PlusCaption, "Enhanced Options");
    EXPECT_EQ(v.SystemResolutionCaption, "System Resolution: 4ns");
}

TEST(Variant, PlusAndStandard)
{
    const TVariantValues plus = VariantValues(true, false, 4);
    EXPECT_EQ(plus.TimingResolution, 5e-9);
    EXPECT_EQ(plus.PeriodMinimum, 5e-8);
    EXPECT_EQ(plus.PeriodDecimals, 9);
    EXPECT_EQ(plus.DelayDecimals[1], 9);
    EXPECT_EQ(plus.DelayIncrement[1], 5e-9);
    EXPECT_EQ(plus.DelayCheckStep, 5e-9);
    EXPECT_FALSE(plus.WidthMinimumChanged);
    EXPECT_EQ(plus.FeatureLabelCaption, "Plus Option");
    EXPECT_TRUE(plus.PlusFeatures);
    EXPECT_FALSE(plus.GreenBanner);

    const TVariantValues standard = VariantValues(false, false, 2);
    EXPECT_EQ(standard.PeriodMinimum, 2e-7);
    EXPECT_EQ(standard.PeriodMaximum, 1000);
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(standard.DelayDecimals[n], 8);
        EXPECT_EQ(standard.DelayIncrement[n], 1e-8);
    }
    EXPECT_EQ(standard.WidthDecimals, 8);
    EXPECT_EQ(standard.PeriodDecimals, 8);
    EXPECT_FALSE(standard.FeatureLabelShown);
    EXPECT_FALSE(standard.PlusFeatures);
}

TEST(Variant, DelayCheckStepOfTheStepInForce)
{
    EXPECT_EQ(DelayCheckStep(true, 4e-9), 5e-12);
    EXPECT_EQ(DelayCheckStep(true, 0), 5e-12);
    EXPECT_EQ(DelayCheckStep(false, 5e-9), 5e-9);
    // Before the first read-back no step is in force: every delay passes.
    EXPECT_EQ(DelayCheckStep(false, 0), 0);
}

TEST(Variant, VirtualPageCaptions)
{
    EXPECT_EQ(VirtualPageCaption("6402+", 3), "ChC(V)");
    EXPECT_EQ(VirtualPageCaption("6422", 4), "ChD(V)");
    EXPECT_EQ(VirtualPageCaption("6404+", 5), "Ch E(V)");
    EXPECT_EQ(VirtualPageCaption("6424", 8), "Ch H(V)");
    EXPECT_EQ(VirtualPageCaption("6424", 4), "");
    EXPECT_EQ(VirtualPageCaption("6404", 3), "");
    EXPECT_EQ(VirtualPageCaption("6402+", 5), "");
    EXPECT_EQ(VirtualPageCaption("other", 5), "");
}

TEST(CheckResolution, WholeMultiplesPass)
{
    struct Case {
        double value, step;
        bool ok;
    };
    const Case cases[] = {
        {3e-8, 1e-8, true},
        {1e-8, 1e-8, true},
        {2.0004e-8, 1e-8, true},
        {-2.5e-8, 1e-8, true},
        {2.5e-8, 1e-8, false},
        {1.2e-8, 5e-9, false},
        {1.5e-8, 5e-9, true},
        {3e-8, 5e-12, true},
        {1.000000005e-3, 5e-12, true},
        {1.0000000025e-3, 5e-12, false},
        {0.001, 1e-8, true},
        {999.99999999, 1e-8, true},
        {2.0006e-8, 1e-8, false},
        {1e-3, 0, true},
        {-5, 0, true},
        {0, 1e-8, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckResolution(c.value, c.step), c.ok) << c.value << " / " << c.step;
}

}  // namespace
