// The program's copy of the generator's settings, channel numbering and
// names, the keywords of enumerated settings, and the value texts written
// into commands.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

#include "model/SettingModes.h"

struct TChannelSettings {
    std::int32_t Enabled = 0;
    double Width = 0;
    double Delay = 0;
    TChannelMode Mode{};
    // Unsigned 32 bits like the system counts: a generator may hold
    // 4,000,000,000, which a signed field cannot.
    std::uint32_t BurstCount = 0;
    std::int32_t DutyOnCount = 0;
    std::int32_t DutyOffCount = 0;
    double Amplitude = 0;
    std::int32_t SyncSource = 0;
    TChannelPolarity Polarity{};
    std::int32_t WaitCount = 0;
    std::int32_t MuxMask = 0;
    TChannelGateMode GateMode{};
    TMuxGateMode MuxGate{};

    bool operator==(const TChannelSettings&) const = default;
};

struct TSystemSettings {
    double Period = 0;
    TSystemMode SystemMode{};
    TExtMode ExtMode{};
    TTriggerEdge TriggerEdge{};
    TGatePolarity GatePolarity{};
    std::int32_t ShotCountEnabled = 0;
    std::uint32_t DutyOnCount = 0;
    std::uint32_t DutyOffCount = 0;
    std::int32_t CycleCount = 0;
    double TriggerLevel = 0;
    std::uint32_t BurstCount = 0;
    std::int32_t AutoStart = 0;
    std::int32_t PeriodCounterEnabled = 0;
    std::int32_t PeriodsToAverage = 0;
    double MeasuredPeriod = 0;
    std::int32_t PeriodAutoUpdate = 0;
    std::int32_t ShotCountSource = 0;
    std::uint32_t ShotCount = 0;
    std::int32_t SyncUpdateAuto = 0;

    bool operator==(const TSystemSettings&) const = default;
};

// Channel numbers: 0 is the system timer T0, 1..8 are channels A..H.
constexpr int kMaxChannel = 8;

// Index 1..8 used; index 0 is unused so channel numbers index directly.
using TChannelSettingsArray = std::array<TChannelSettings, kMaxChannel + 1>;

// Channel number for a name ("T0", "CHA", "ChA", "Ch A" … "Ch H"), compared
// exactly. A text that names no channel gives kNoChannel, which callers must
// treat as "no valid channel" (it is never in 0..8).
constexpr int kNoChannel = -1;
int GetChannelNumber(const QString& name);
// "T0", "Ch A" … "Ch H" for 0..8; empty for any other number.
QString GetChSyncName(int number);
// "T0", "CHA" … "CHH" for 0..8; empty for any other number.
QString GetChCmdName(int number);
// Position of the last item equal to GetChSyncName(Number); -1 when no item
// matches (also for a number outside 0..8).
int GetChannelIndex(const QStringList& items, int number);

// Keyword tables of the enumerated settings, index 0, 1, 2, … (the words
// and their captions are rows of the setting table, model/SettingTable.cpp).
enum class TKeywordTable {
    ktSystemMode,       // NORM SING BURS DCYC
    ktChannelMode,      // NORM SING BURS DCYC
    ktExtMode,          // DIS TRIG GAT REARM
    ktTriggerEdge,      // FALL RIS
    ktGatePolarity,     // LOW HIGH
    ktChannelPolarity,  // INV NORM
    ktChannelGateMode,  // DIS LOW HIGH LOWWR HIGHWR
    ktShotCountSource,  // T0 CHA CHB CHC CHD
    ktMuxGate,          // 0 1 2 3 (sent as numbers)
    ktNone,             // no list: the setting is not a keyword
};
const QStringList& Keywords(TKeywordTable table);
// Keyword of Index, or an empty text when Index is outside the table.
QString KeywordOf(TKeywordTable table, int index);
// Index whose keyword equals the whole answer exactly (case-sensitive), or
// -1 when none does; callers then keep the field's previous value.
int KeywordIndex(TKeywordTable table, const QString& answer);
// Stores the matching index in Field; leaves Field alone when none matches.
// Returns whether it matched.
bool ApplyKeyword(TKeywordTable table, const QString& answer, std::int32_t& field);

// Fixed-point text with exactly Decimals decimals, "." separator, no
// thousands separator, "-" before negative values, rounded to the last
// decimal. A value that rounds to zero is written without a sign.
QString FixedText(double value, int decimals);
// A spin edit's value rounded to the nearest integer, halves to the even
// neighbour, clamped to the 32-bit signed range.
std::int32_t RoundCount(double value);
QString CountText(double value);
// The same for the unsigned system counts (burst, duty on, duty off):
// clamped to 0..4294967295 and written as an unsigned number.
std::uint32_t RoundUnsignedCount(double value);
QString UnsignedCountText(double value);
