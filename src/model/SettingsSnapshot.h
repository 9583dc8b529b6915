// What one read-back learns about the connected generator: its identity and
// the capability values of its model, the program's copy of its settings,
// whether it knows the mux-gate query, and every setting as a ready-to-send
// command line (the settings-file format). The read-back fills it without
// any window; the panel shows it, the settings file saves its lines.
#pragma once

#include "model/Capabilities.h"
#include "model/DeviceIdentity.h"
#include "model/Settings.h"

#include <QStringList>
#include <cstdint>

struct TSettingsSnapshot {
    // Identity and capabilities of the connected generator. The identity and
    // the two variant flags come from discovery; the read-back derives the
    // channel count and the timing step from them.
    TDeviceIdentity DeviceIdentity;
    bool PlusOption = false;
    bool HighResolution = false;
    std::int32_t ChannelCount = 0;
    double TimingResolution = 0;

    // The program's copy of the generator's settings. Channels above
    // ChannelCount, and the output-stage fields of virtual channels, are never
    // read back and keep what they held.
    TSystemSettings SystemSettings;
    TChannelSettingsArray ChannelSettings{};
    // The generator understands the mux-gate query.
    bool MuxGateSupported = false;

    // Every setting as a command line, in the settings-file format.
    QStringList SettingsList;

    // The generator that discovery (or a probe of a picked port) found: its
    // identity and the variant flags its model implies.
    void SetGenerator(const TDeviceIdentity& identity)
    {
        DeviceIdentity = identity;
        const TModelInfo info = ModelInfo(identity.Model);
        PlusOption = info.PlusOption;
        HighResolution = info.HighResolution;
    }

    // Channels 1..this are standard; derived from the model whenever needed.
    int StandardChannelCount() const { return StandardChannelCountOf(DeviceIdentity.Model); }
    // The capability table's values for the generator's variant.
    TVariantValues Variant() const { return VariantValues(PlusOption, HighResolution, StandardChannelCount()); }
};
