#pragma once

// The design-time description of the main window's numeric controls and
// channel pages, kept as data so the differences between the eight channel
// pages stand in one place.

#include <array>
#include <optional>

namespace jt::design {

// Design values of one spin edit, in the order the control receives them.
struct TSpinDesign {
    bool AutoSize = false;
    bool Border = false;
    int Decimals = 0;
    double Increment = 1;
    double MaxValue = 0;
    double MinValue = 0;
    std::optional<double> Value;  // unset: the control keeps its own start value
    bool Separator = true;        // "," between digit groups
    const char* Hint = "";
};

// What differs from page to page on the channel pages (channel 1 = A … 8 = H).
struct TChannelPageDesign {
    int DelayDecimals;
    double WaitCountMax;
    bool PageEnabled;  // page E starts disabled
    const char* ModeGroupName;
    // Start values that differ from channel A's; unset: as on channel A.
    std::optional<double> BurstValue, WaitCountValue, WidthValue;
    bool AmplitudeSeparator;
    bool BurstSeparator;
};

inline TChannelPageDesign ChannelPage(int n)
{
    TChannelPageDesign d{};
    d.DelayDecimals = n >= 5 ? 9 : 12;
    d.WaitCountMax = n >= 4 ? 100000 : 1000000;
    d.PageEnabled = n != 5;
    d.ModeGroupName = n == 7 ? "ChannelModeGrp7" : nullptr;  // nullptr: "ChModeGrp<n>"
    if (n >= 3) {
        d.BurstValue = 1;
        d.WaitCountValue = 1;
        d.WidthValue = 2e-7;
    }
    d.AmplitudeSeparator = n == 1;
    d.BurstSeparator = n != 6;
    return d;
}

}  // namespace jt::design
