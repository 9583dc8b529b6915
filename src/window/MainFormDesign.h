#pragma once

// The design-time description of the main window's numeric controls and
// channel pages, kept as data so the differences between the eight channel
// pages stand in one place.

#include <array>
#include <optional>

namespace jt::design {

// Design values of one spin edit, in the order the control receives them.
struct SpinDesign {
    bool autoSize = false;
    bool border = false;
    int decimals = 0;
    double increment = 1;
    double maxValue = 0;
    double minValue = 0;
    std::optional<double> value;  // unset: the control keeps its own start value
    bool separator = true;        // "," between digit groups
    const char* hint = "";
};

// What differs from page to page on the channel pages (channel 1 = A … 8 = H).
struct ChannelPageDesign {
    int delayDecimals;
    double waitCountMax;
    bool pageEnabled;  // page E starts disabled
    const char* modeGroupName;
    // Start values that differ from channel A's; unset: as on channel A.
    std::optional<double> burstValue, waitCountValue, widthValue;
    bool amplitudeSeparator;
    bool burstSeparator;
};

inline ChannelPageDesign channelPage(int n)
{
    ChannelPageDesign d{};
    d.delayDecimals = n >= 5 ? 9 : 12;
    d.waitCountMax = n >= 4 ? 100000 : 1000000;
    d.pageEnabled = n != 5;
    d.modeGroupName = n == 7 ? "ChannelModeGrp7" : nullptr;  // nullptr: "ChModeGrp<n>"
    if (n >= 3) {
        d.burstValue = 1;
        d.waitCountValue = 1;
        d.widthValue = 2e-7;
    }
    d.amplitudeSeparator = n == 1;
    d.burstSeparator = n != 6;
    return d;
}

}  // namespace jt::design
