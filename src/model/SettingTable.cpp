#include "model/SettingTable.h"

#include <QHash>
#include <QRegularExpression>

#include <array>
#include <type_traits>

#include "model/Capabilities.h"
#include "model/SettingsSnapshot.h"

namespace {

// ---- Keyword lists

// Captions shared by two lists are written once.
constexpr char kSingleShot[] = "Single Shot";
constexpr char kBurst[] = "Burst";
constexpr char kDutyCycle[] = "Duty Cycle";
constexpr char kDisabled[] = "Disabled";
constexpr char kGated[] = "Gated";
constexpr char kNormal[] = "Normal";

constexpr TKeyword kSystemModes[] = {
    {"NORM", "Continuous", false},
    {"SING", kSingleShot, false},
    {"BURS", kBurst, false},
    {"DCYC", kDutyCycle, false},
};
constexpr TKeyword kChannelModes[] = {
    {"NORM", kNormal, false},
    {"SING", kSingleShot, false},
    {"BURS", kBurst, false},
    {"DCYC", kDutyCycle, false},
};
constexpr TKeyword kExtModes[] = {
    {"DIS", kDisabled, false},
    {"TRIG", "Triggered", false},
    {"GAT", kGated, false},
    {"REARM", "ReArm", true},
};
constexpr TKeyword kTriggerEdges[] = {
    {"FALL", "Falling", false},
    {"RIS", "Rising", false},
};
constexpr TKeyword kGatePolarities[] = {
    {"LOW", "Low", false},
    {"HIGH", "High", false},
};
constexpr TKeyword kChannelPolarities[] = {
    {"INV", "Inverted", false},
    {"NORM", kNormal, false},
};
constexpr TKeyword kChannelGateModes[] = {
    {"DIS", kDisabled, false},  {"LOW", "Active Low", false},   {"HIGH", "Active High", false},
    {"LOWWR", "ActiveLoWR", true}, {"HIGHWR", "ActiveHiWR", true},
};
constexpr TKeyword kShotCountSources[] = {
    {"T0", "T0", false}, {"CHA", "ChA", false}, {"CHB", "ChB", false}, {"CHC", "ChC", false}, {"CHD", "ChD", false},
};
// Sent and read back as the item's position.
constexpr TKeyword kMuxGates[] = {
    {"0", kDisabled, false},
    {"1", kGated, false},
    {"2", "Inhibit", false},
    {"3", "Invert", false},
};

// ---- Snapshot fields as numbers

template <typename T>
double ToNumber(T value)
{
    if constexpr (std::is_enum_v<T>)
        return IndexOf(value);
    else
        return static_cast<double>(value);
}

template <typename T>
T FromNumber(double value)
{
    if constexpr (std::is_enum_v<T>)
        return ModeAt<T>(RoundCount(value));
    else if constexpr (std::is_same_v<T, double>)
        return value;
    else if constexpr (std::is_same_v<T, std::uint32_t>)
        return RoundUnsignedCount(value);
    else
        return static_cast<T>(RoundCount(value));
}

bool IsChannel(int n)
{
    return n >= 1 && n <= kMaxChannel;
}

template <auto Field>
double SystemGet(const TSettingsSnapshot& s, int)
{
    return ToNumber(s.SystemSettings.*Field);
}

template <auto Field>
void SystemPut(TSettingsSnapshot& s, int, double value)
{
    auto& field = s.SystemSettings.*Field;
    field = FromNumber<std::remove_reference_t<decltype(field)>>(value);
}

template <auto Field>
double ChannelGet(const TSettingsSnapshot& s, int n)
{
    return IsChannel(n) ? ToNumber(s.ChannelSettings[n].*Field) : 0;
}

template <auto Field>
void ChannelPut(TSettingsSnapshot& s, int n, double value)
{
    if (!IsChannel(n))
        return;
    auto& field = s.ChannelSettings[n].*Field;
    field = FromNumber<std::remove_reference_t<decltype(field)>>(value);
}

// ---- Ranges

// The limits are named constants, passed by reference: not every compiler
// takes a double itself as a template argument.
constexpr double kNoneMinimum = 0;
template <const double& Min, const double& Max>
TValueRange Fixed(const TVariantValues&)
{
    return {Min, Max};
}
TValueRange FlagRange(const TVariantValues&)
{
    return {0, 1};
}
TValueRange PeriodRange(const TVariantValues& v)
{
    return {v.PeriodMinimum, v.PeriodMaximum};
}
TValueRange WidthRange(const TVariantValues& v)
{
    return {v.WidthMinimumChanged ? v.WidthMinimum : kWidthMinimum, v.WidthMaximum};
}
TValueRange DelayRange(const TVariantValues& v)
{
    return {v.DelayMinimum, v.DelayMaximum};
}
template <TKeywordTable Table>
TValueRange ListRange(const TVariantValues& v)
{
    int last = -1;
    for (const TKeyword& k : KeywordRows(Table))
        if (v.PlusFeatures || !k.PlusOnly)
            ++last;
    return {0, double(last)};
}
TValueRange ChannelNameRange(const TVariantValues&)
{
    return {0, kMaxChannel};
}
TValueRange MaskRange(const TVariantValues&)
{
    return {0, (1 << kMaxChannel) - 1};
}

// ---- Rows

using S = TSettingScope;
using K = TValueKind;
using G = TReadGroup;
using T = TKeywordTable;
using Get = double (*)(const TSettingsSnapshot&, int);
using Put = void (*)(TSettingsSnapshot&, int, double);
using Range = TValueRange (*)(const TVariantValues&);

TSettingDescription Row(TSettingId id, S scope, const char* set, const char* query, K kind, G read, Get get, Put put,
                        Range range, T table = T::ktSystemMode, int decimals = 0, const char* on = "1",
                        const char* off = "0")
{
    return {id, scope, set, query, kind, read, table, decimals, on, off, get, put, range};
}

#define SYS(field) &SystemGet<&TSystemSettings::field>, &SystemPut<&TSystemSettings::field>
#define CH(field) &ChannelGet<&TChannelSettings::field>, &ChannelPut<&TChannelSettings::field>

const std::array kRows{
    // Plus features.
    Row(TSettingId::siPeriodCounterEnabled, S::ssSystem, ":PULS0:EXTP:STAT", ":PULS0:EXTP:STAT", K::vkFlag, G::rgPlus,
        SYS(PeriodCounterEnabled), FlagRange, T::ktSystemMode, 0, "ON", "OFF"),
    Row(TSettingId::siPeriodAutoUpdate, S::ssSystem, ":PULS0:EXTP:AUT", ":PULS0:EXTP:AUT", K::vkFlag, G::rgPlus,
        SYS(PeriodAutoUpdate), FlagRange, T::ktSystemMode, 0, "ON", "OFF"),
    Row(TSettingId::siPeriodsToAverage, S::ssSystem, ":PULS0:EXTP:NCOU", ":PULS0:EXTP:NCOU", K::vkCount, G::rgPlus,
        SYS(PeriodsToAverage), Fixed<kPeriodsToAverageMinimum, kPeriodsToAverageMaximum>),
    Row(TSettingId::siShotCountEnabled, S::ssSystem, ":PULS0:COUN:STAT", ":PULS0:COUN:STAT", K::vkFlag, G::rgPlus,
        SYS(ShotCountEnabled), FlagRange),
    Row(TSettingId::siShotCountSource, S::ssSystem, ":PULS0:COUN:SOUR", ":PULS0:COUN:SOUR", K::vkKeyword, G::rgPlus,
        SYS(ShotCountSource), ListRange<T::ktShotCountSource>, T::ktShotCountSource),
    Row(TSettingId::siSyncUpdateAuto, S::ssSystem, ":SYST:UPD:AUTO", ":SYST:UPD:AUTO", K::vkFlag, G::rgPlus,
        SYS(SyncUpdateAuto), FlagRange),
    Row(TSettingId::siCycleCount, S::ssSystem, ":PULS0:CCO", ":PULS0:CCO", K::vkCount, G::rgPlus, SYS(CycleCount),
        Fixed<kNoneMinimum, kCycleCountMaximum>),
    // System timer T0 and the external input.
    Row(TSettingId::siPeriod, S::ssSystem, ":PULS0:PER", ":PULS0:PER", K::vkReal, G::rgSystem, SYS(Period),
        PeriodRange, T::ktSystemMode, 9),
    Row(TSettingId::siSystemBurstCount, S::ssSystem, ":PULS0:BCO", ":PULS0:BCO", K::vkUnsignedCount, G::rgSystem,
        SYS(BurstCount), Fixed<kSystemCountMinimum, kSystemCountMaximum>),
    Row(TSettingId::siSystemMode, S::ssSystem, ":PULS0:MOD", ":PULS0:MOD", K::vkKeyword, G::rgSystem,
        SYS(SystemMode), ListRange<T::ktSystemMode>, T::ktSystemMode),
    Row(TSettingId::siSystemDutyOnCount, S::ssSystem, ":PULS0:PCO", ":PULS0:PCO", K::vkUnsignedCount, G::rgSystem,
        SYS(DutyOnCount), Fixed<kSystemCountMinimum, kSystemCountMaximum>),
    Row(TSettingId::siSystemDutyOffCount, S::ssSystem, ":PULS0:OCO", ":PULS0:OCO", K::vkUnsignedCount, G::rgSystem,
        SYS(DutyOffCount), Fixed<kSystemCountMinimum, kSystemCountMaximum>),
    Row(TSettingId::siExtMode, S::ssSystem, ":PULS0:EXT:MOD", ":PULS0:EXT:MODE", K::vkKeyword, G::rgSystem,
        SYS(ExtMode), ListRange<T::ktExtMode>, T::ktExtMode),
    Row(TSettingId::siTriggerLevel, S::ssSystem, ":PULS0:EXT:LEV", ":PULS0:EXT:LEV", K::vkReal, G::rgSystem,
        SYS(TriggerLevel), Fixed<kTriggerLevelMinimum, kTriggerLevelMaximum>, T::ktSystemMode, 2),
    Row(TSettingId::siTriggerEdge, S::ssSystem, ":PULS0:EXT:EDG", ":PULS0:EXT:EDG", K::vkKeyword, G::rgSystem,
        SYS(TriggerEdge), ListRange<T::ktTriggerEdge>, T::ktTriggerEdge),
    Row(TSettingId::siGatePolarity, S::ssSystem, ":PULS0:EXT:POL", ":PULS0:EXT:POL", K::vkKeyword, G::rgSystem,
        SYS(GatePolarity), ListRange<T::ktGatePolarity>, T::ktGatePolarity),
    Row(TSettingId::siAutoStart, S::ssSystem, ":SYST:AUT", ":SYST:AUT", K::vkFlag, G::rgSystem, SYS(AutoStart),
        FlagRange),
    // Every channel.
    Row(TSettingId::siEnabled, S::ssChannel, ":STAT", ":STAT", K::vkFlag, G::rgChannel, CH(Enabled), FlagRange),
    Row(TSettingId::siDelay, S::ssChannel, ":DEL", ":DEL", K::vkReal, G::rgChannel, CH(Delay), DelayRange,
        T::ktSystemMode, 12),
    Row(TSettingId::siWidth, S::ssChannel, ":WIDT", ":WIDT", K::vkReal, G::rgChannel, CH(Width), WidthRange,
        T::ktSystemMode, 9),
    Row(TSettingId::siChannelMode, S::ssChannel, ":CMOD", ":CMOD", K::vkKeyword, G::rgChannel, CH(Mode),
        ListRange<T::ktChannelMode>, T::ktChannelMode),
    Row(TSettingId::siBurstCount, S::ssChannel, ":BCO", ":BCO", K::vkUnsignedCount, G::rgChannel, CH(BurstCount),
        Fixed<kChannelCountMinimum, kChannelCountMaximum>),
    Row(TSettingId::siDutyOnCount, S::ssChannel, ":PCO", ":PCO", K::vkCount, G::rgChannel, CH(DutyOnCount),
        Fixed<kChannelCountMinimum, kChannelCountMaximum>),
    Row(TSettingId::siDutyOffCount, S::ssChannel, ":OCO", ":OCO", K::vkCount, G::rgChannel, CH(DutyOffCount),
        Fixed<kChannelCountMinimum, kChannelCountMaximum>),
    Row(TSettingId::siSyncSource, S::ssChannel, ":SYNC", ":SYNC", K::vkChannel, G::rgChannel, CH(SyncSource),
        ChannelNameRange),
    Row(TSettingId::siPolarity, S::ssChannel, ":POL", ":POL", K::vkKeyword, G::rgChannel, CH(Polarity),
        ListRange<T::ktChannelPolarity>, T::ktChannelPolarity),
    Row(TSettingId::siWaitCount, S::ssChannel, ":WCO", ":WCO", K::vkCount, G::rgChannel, CH(WaitCount),
        Fixed<kNoneMinimum, kWaitCountMaximum>),
    Row(TSettingId::siGateMode, S::ssChannel, ":CGAT", ":CGAT", K::vkKeyword, G::rgChannel, CH(GateMode),
        ListRange<T::ktChannelGateMode>, T::ktChannelGateMode),
    // Output stage of a standard channel.
    Row(TSettingId::siAmplitude, S::ssChannel, ":OUTP:AMPL", ":OUTP:AMPL", K::vkReal, G::rgOutputStage,
        CH(Amplitude), Fixed<kAmplitudeMinimum, kAmplitudeMaximum>, T::ktSystemMode, 2),
    Row(TSettingId::siMuxMask, S::ssChannel, ":MUX", ":MUX", K::vkMask, G::rgOutputStage, CH(MuxMask), MaskRange),
    Row(TSettingId::siMuxGate, S::ssChannel, ":MUXG", ":MUXG", K::vkNumber, G::rgMuxGate, CH(MuxGate),
        ListRange<T::ktMuxGate>, T::ktMuxGate),
};

#undef SYS
#undef CH

// Long forms of the header nodes, upper case, with their short forms.
const QHash<QString, QString>& LongForms()
{
    static const QHash<QString, QString> forms{
        {"SYSTEM", "SYST"},   {"PERIOD", "PER"},  {"MODE", "MOD"},        {"BCOUNT", "BCO"},   {"PCOUNT", "PCO"},
        {"OCOUNT", "OCO"},    {"CCOUNT", "CCO"},  {"WCOUNT", "WCO"},      {"NCOUNT", "NCOU"},  {"EXTERNAL", "EXT"},
        {"LEVEL", "LEV"},     {"EDGE", "EDG"},    {"POLARITY", "POL"},    {"STATE", "STAT"},   {"COUNTER", "COUN"},
        {"SOURCE", "SOUR"},   {"UPDATE", "UPD"},  {"WIDTH", "WIDT"},      {"DELAY", "DEL"},    {"CMODE", "CMOD"},
        {"OUTPUT", "OUTP"},   {"AMPLITUDE", "AMPL"}, {"CGATE", "CGAT"},
    };
    return forms;
}

}  // namespace

std::span<const TSettingDescription> SettingTable()
{
    return kRows;
}

const TSettingDescription& Setting(TSettingId id)
{
    // The rows are in the order of the identifiers.
    return kRows[static_cast<std::size_t>(id)];
}

QString SetHeaderOf(const TSettingDescription& setting, int channel)
{
    const QString header = QString::fromLatin1(setting.SetHeader);
    return setting.IsChannelSetting() ? QStringLiteral(":PULS") + QString::number(channel) + header : header;
}

QString QueryHeaderOf(const TSettingDescription& setting, int channel)
{
    const QString header = QString::fromLatin1(setting.QueryHeader);
    return setting.IsChannelSetting() ? QStringLiteral(":PULS") + QString::number(channel) + header : header;
}

QString QueryOf(const TSettingDescription& setting, int channel)
{
    return QueryHeaderOf(setting, channel) + QLatin1Char('?');
}

QString ValueText(const TSettingDescription& setting, double value)
{
    switch (setting.Kind) {
        case TValueKind::vkReal:
            return FixedText(value, setting.Decimals);
        case TValueKind::vkCount:
            return CountText(value);
        case TValueKind::vkUnsignedCount:
            return UnsignedCountText(value);
        case TValueKind::vkFlag:
            return QString::fromLatin1(value != 0 ? setting.OnText : setting.OffText);
        case TValueKind::vkKeyword:
        case TValueKind::vkNumber:
            return KeywordOf(setting.Keywords, RoundCount(value));
        case TValueKind::vkMask:
            return QString::number(RoundCount(value));
        case TValueKind::vkChannel:
            return GetChCmdName(RoundCount(value));
    }
    return QString();
}

QString SetCommandOf(const TSettingDescription& setting, int channel, double value)
{
    return SetHeaderOf(setting, channel) + QLatin1Char(' ') + ValueText(setting, value);
}

const TSettingDescription* SettingOfCommand(const QString& commandLine, int& channel)
{
    channel = 0;
    const QString line = commandLine.trimmed();
    const QString header = line.section(QRegularExpression(QStringLiteral("\\s")), 0, 0).toUpper();
    if (header.isEmpty() || header.endsWith(QLatin1Char('?')) || header.startsWith(QLatin1Char('*')))
        return nullptr;
    QStringList nodes = (header.startsWith(QLatin1Char(':')) ? header.mid(1) : header).split(QLatin1Char(':'));

    // ":PULS<n>" or ":PULSE<n>" names the timer; anything else is a system node.
    static const QRegularExpression pulse(QStringLiteral("^PULS(?:E)?(\\d{1,3})$"));
    int number = -1;
    const QRegularExpressionMatch m = pulse.match(nodes.first());
    if (m.hasMatch()) {
        number = m.captured(1).toInt();
        nodes.removeFirst();
    }
    for (QString& node : nodes)
        node = LongForms().value(node, node);
    const QString rest = QLatin1Char(':') + nodes.join(QLatin1Char(':'));
    const QString shortForm = number < 0 ? rest : QStringLiteral(":PULS0") + rest;

    for (const TSettingDescription& s : kRows) {
        const QString set = QString::fromLatin1(s.SetHeader);
        const QString query = QString::fromLatin1(s.QueryHeader);
        if (s.IsChannelSetting()) {
            if (IsChannel(number) && (rest == set || rest == query)) {
                channel = number;
                return &s;
            }
        } else if (number <= 0 && (shortForm == set || shortForm == query)) {
            return &s;
        }
    }
    return nullptr;
}

// ---- Keyword lists

std::span<const TKeyword> KeywordRows(TKeywordTable table)
{
    switch (table) {
        case TKeywordTable::ktSystemMode:
            return kSystemModes;
        case TKeywordTable::ktChannelMode:
            return kChannelModes;
        case TKeywordTable::ktExtMode:
            return kExtModes;
        case TKeywordTable::ktTriggerEdge:
            return kTriggerEdges;
        case TKeywordTable::ktGatePolarity:
            return kGatePolarities;
        case TKeywordTable::ktChannelPolarity:
            return kChannelPolarities;
        case TKeywordTable::ktChannelGateMode:
            return kChannelGateModes;
        case TKeywordTable::ktShotCountSource:
            return kShotCountSources;
        case TKeywordTable::ktMuxGate:
            return kMuxGates;
    }
    return kSystemModes;
}

const QStringList& Keywords(TKeywordTable table)
{
    static const auto lists = [] {
        std::array<QStringList, 9> words;
        for (std::size_t t = 0; t < words.size(); ++t)
            for (const TKeyword& k : KeywordRows(static_cast<TKeywordTable>(t)))
                words[t] << QString::fromLatin1(k.Word);
        return words;
    }();
    return lists[static_cast<std::size_t>(table)];
}

QString KeywordOf(TKeywordTable table, int index)
{
    const QStringList& words = Keywords(table);
    return index >= 0 && index < words.size() ? words[index] : QString();
}

int KeywordIndex(TKeywordTable table, const QString& answer)
{
    return static_cast<int>(Keywords(table).indexOf(answer));
}

bool ApplyKeyword(TKeywordTable table, const QString& answer, std::int32_t& field)
{
    const int index = KeywordIndex(table, answer);
    if (index < 0)
        return false;
    field = index;
    return true;
}

QStringList Captions(TKeywordTable table, bool plusFeatures)
{
    QStringList captions;
    for (const TKeyword& k : KeywordRows(table))
        if (plusFeatures || !k.PlusOnly)
            captions << QString::fromLatin1(k.Caption);
    return captions;
}

QString CaptionOf(TKeywordTable table, int index)
{
    const std::span<const TKeyword> rows = KeywordRows(table);
    return index >= 0 && index < int(rows.size()) ? QString::fromLatin1(rows[std::size_t(index)].Caption) : QString();
}
