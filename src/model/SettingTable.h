// One description of each setting of the generator: the command header that
// sets it and the one that reads it back (channel settings after ":PULS" and
// the channel number), how its value is written and read, its limits, its
// keyword list with the captions the panel shows, and where the snapshot
// keeps it. The read-back, the edit handlers, the window's item lists, the
// timing diagram, the command line and the network server all read this
// table; a new setting is a new row.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <span>

#include "model/SettingModes.h"
#include "model/Settings.h"

struct TSettingsSnapshot;
struct TVariantValues;

// Every setting the panel reads back and edits, in the order of the table.
enum class TSettingId {
    // Plus features (read first, on Plus and High-resolution generators).
    siPeriodCounterEnabled,
    siPeriodAutoUpdate,
    siPeriodsToAverage,
    siShotCountEnabled,
    siShotCountSource,
    siSyncUpdateAuto,
    siCycleCount,
    // System timer T0 and the external input.
    siPeriod,
    siSystemBurstCount,
    siSystemMode,
    siSystemDutyOnCount,
    siSystemDutyOffCount,
    siExtMode,
    siTriggerLevel,
    siTriggerEdge,
    siGatePolarity,
    siAutoStart,
    // Every channel.
    siEnabled,
    siDelay,
    siWidth,
    siChannelMode,
    siBurstCount,
    siDutyOnCount,
    siDutyOffCount,
    siSyncSource,
    siPolarity,
    siWaitCount,
    siGateMode,
    // Output stage of a standard channel.
    siAmplitude,
    siMuxMask,
    siMuxGate,
};

enum class TSettingScope {
    ssSystem,   // headers are whole (":PULS0:PER")
    ssChannel,  // headers follow ":PULS" and the channel number 1..8
};

// How a value travels on the line.
enum class TValueKind {
    vkReal,           // sent fixed-point with Decimals decimals, read back as a float
    vkCount,          // 32-bit signed count, rounded to the nearest integer
    vkUnsignedCount,  // 32-bit unsigned count (the system counts, a channel's burst count)
    vkFlag,           // sent as OnText or OffText, read back as a number
    vkKeyword,        // a keyword of Keywords, read back as the keyword
    vkNumber,         // an item of Keywords sent and read back as its position
    vkMask,           // a bit mask, sent and read back as a number
    vkChannel,        // a channel name ("T0", "CHA" … "CHH")
};

// When a read-back queries the setting.
enum class TReadGroup {
    rgPlus,         // on generators with the Plus features, before the system settings
    rgSystem,       // always
    rgChannel,      // for every channel in use
    rgOutputStage,  // for standard channels only
    rgMuxGate,      // for standard channels, when the generator knows the mux-gate query
};

struct TValueRange {
    double Minimum = 0;
    double Maximum = 0;
};

// One keyword of a list: the word on the line and the item the panel shows.
struct TKeyword {
    const char* Word;
    const char* Caption;
    bool PlusOnly;  // offered on generators with the Plus features only
};

// A row of the table, written with designated initializers: a row names
// what its kind needs, the rest keeps these defaults.
struct TSettingDescription {
    TSettingId Id{};
    TSettingScope Scope{};
    const char* SetHeader = nullptr;
    const char* QueryHeader = nullptr;
    TValueKind Kind{};
    TReadGroup Read{};
    TKeywordTable Keywords = TKeywordTable::ktNone;  // vkKeyword and vkNumber only
    int Decimals = 0;                                // vkReal only
    const char* OnText = "1";                        // vkFlag only
    const char* OffText = "0";
    // The snapshot's field, as a number (a mode as its position).
    double (*Get)(const TSettingsSnapshot& snapshot, int channel) = nullptr;
    void (*Put)(TSettingsSnapshot& snapshot, int channel, double value) = nullptr;
    // The values the generator accepts for the connected variant.
    TValueRange (*Range)(const TVariantValues& variant) = nullptr;

    bool IsChannelSetting() const { return Scope == TSettingScope::ssChannel; }
};

// Every row, in the order the read-back queries them.
std::span<const TSettingDescription> SettingTable();
const TSettingDescription& Setting(TSettingId id);

// ":PULS1:WIDT" for the width of channel 1, ":PULS0:PER" for the period;
// Channel is ignored for system settings.
QString SetHeaderOf(const TSettingDescription& setting, int channel = 0);
QString QueryHeaderOf(const TSettingDescription& setting, int channel = 0);
// The query that reads the setting back: its query header and "?".
QString QueryOf(const TSettingDescription& setting, int channel = 0);
// The value as the set command writes it: fixed-point reals, rounded
// counts, the flag's texts, the keyword of a position, a channel's name.
QString ValueText(const TSettingDescription& setting, double value);
// The whole set command line, e.g. ":PULS1:WIDT 0.000002000".
QString SetCommandOf(const TSettingDescription& setting, int channel, double value);

// Which setting a set command line such as ":PULS1:WIDT 2E-6" or
// ":PULSE0:MODE BURS" changes, with its channel in Channel (0 for the
// system timer T0); null for a query, a command that changes no setting
// (":PULS0:STAT ON", "*RCL 1") or a channel out of 1..8. Header nodes are
// compared without regard to case, in their short or long form; the leading
// ":" may be left out.
const TSettingDescription* SettingOfCommand(const QString& commandLine, int& channel);

// The keyword rows of a list, in index order.
std::span<const TKeyword> KeywordRows(TKeywordTable table);
// The items a list offers: the captions of every keyword, or of those that
// need no Plus features when PlusFeatures is false.
QStringList Captions(TKeywordTable table, bool plusFeatures = true);
// The caption of position Index; empty outside the list.
QString CaptionOf(TKeywordTable table, int index);
template <typename E>
    requires std::is_enum_v<E>
QString CaptionOf(TKeywordTable table, E mode)
{
    return CaptionOf(table, IndexOf(mode));
}
// The keyword of a mode, e.g. "BURS" for TSystemMode::Burst.
template <typename E>
    requires std::is_enum_v<E>
QString KeywordOf(TKeywordTable table, E mode)
{
    return KeywordOf(table, IndexOf(mode));
}
// Stores the mode whose keyword equals the whole answer exactly; leaves
// Field alone when none does. Returns whether it matched.
template <typename E>
    requires std::is_enum_v<E>
bool ApplyKeyword(TKeywordTable table, const QString& answer, E& field)
{
    const int index = KeywordIndex(table, answer);
    if (index < 0)
        return false;
    field = ModeAt<E>(index);
    return true;
}
