// Settings of a simulated generator unlike its power-up ones in every field
// a settings file carries, each channel's of its own.
#pragma once

#include "Generator.h"

#include <QString>

inline jt6400sim::Settings ChangedSettings(const jt6400sim::ModelInfo& info)
{
    jt6400sim::Settings s = jt6400sim::defaultSettings(info);
    auto& y = s.system;
    y.Period = 0.0025;
    y.BurstCount = 4000000000u;
    y.SystemMode = 2;
    y.DutyOnCount = 3;
    y.DutyOffCount = 4;
    y.ExtMode = 1;
    y.TriggerLevel = 1.25;
    y.TriggerEdge = 0;
    y.GatePolarity = 0;
    y.AutoStart = 1;
    if (info.hasPlusFeatures()) {
        y.PeriodCounterEnabled = 1;
        y.PeriodAutoUpdate = 1;
        y.PeriodsToAverage = 4;
        y.ShotCountEnabled = 1;
        y.ShotCountSource = 2;
        y.SyncUpdateAuto = 0;
        y.CycleCount = 5;
    }
    for (int n = 1; n <= info.ChannelCount; ++n) {
        auto& c = s.channels[static_cast<std::size_t>(n - 1)];
        c.Enabled = n % 2;
        // Values as a file carries them (15 significant digits) survive exactly.
        c.Width = QStringLiteral("%1E-7").arg(2 * n).toDouble();
        c.Delay = QStringLiteral("%1E-7").arg(15 * n).toDouble();
        c.Mode = n % 4;
        c.BurstCount = n + 1;
        c.DutyOnCount = n + 2;
        c.DutyOffCount = n + 3;
        c.SyncSource = n - 1;
        c.Polarity = 0;
        c.WaitCount = n;
        c.GateMode = n % 5;
        if (n <= info.StandardChannelCount) {
            c.Amplitude = 3.25 + 0.25 * n;  // the output stage takes 3.3 V to 5 V
            c.MuxMask = (1 << (n - 1)) | 1;
            c.MuxGate = n % 2;
        }
    }
    return s;
}
