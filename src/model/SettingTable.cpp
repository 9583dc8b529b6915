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
// A row names the snapshot field it reads and writes once; the two functions
// follow from it.
#define SYS(field) .Get = &SystemGet<&TSystemSettings::field>, .Put = &SystemPut<&TSystemSettings::field>
#define CH(field) .Get = &ChannelGet<&TChannelSettings::field>, .Put = &ChannelPut<&TChannelSettings::field>

// Every row, in the order of TSettingId; each names only what its kind
// needs (a keyword list, decimals, flag texts).
// clang-format off: a row is a few lines, not one line a field.
constexpr TSettingDescription kRows[] = {
    // Plus features.
    {.Id = TSettingId::siPeriodCounterEnabled, .Scope = S::ssSystem, .SetHeader = ":PULS0:EXTP:STAT",
     .QueryHeader = ":PULS0:EXTP:STAT", .Kind = K::vkFlag, .Read = G::rgPlus, .OnText = "ON", .OffText = "OFF",
     SYS(PeriodCounterEnabled), .Range = FlagRange},
    {.Id = TSettingId::siPeriodAutoUpdate, .Scope = S::ssSystem, .SetHeader = ":PULS0:EXTP:AUT",
     .QueryHeader = ":PULS0:EXTP:AUT", .Kind = K::vkFlag, .Read = G::rgPlus, .OnText = "ON", .OffText = "OFF",
     SYS(PeriodAutoUpdate), .Range = FlagRange},
    {.Id = TSettingId::siPeriodsToAverage, .Scope = S::ssSystem, .SetHeader = ":PULS0:EXTP:NCOU",
     .QueryHeader = ":PULS0:EXTP:NCOU", .Kind = K::vkCount, .Read = G::rgPlus, SYS(PeriodsToAverage),
     .Range = Fixed<kPeriodsToAverageMinimum, kPeriodsToAverageMaximum>},
    {.Id = TSettingId::siShotCountEnabled, .Scope = S::ssSystem, .SetHeader = ":PULS0:COUN:STAT",
     .QueryHeader = ":PULS0:COUN:STAT", .Kind = K::vkFlag, .Read = G::rgPlus, SYS(ShotCountEnabled),
     .Range = FlagRange},
    {.Id = TSettingId::siShotCountSource, .Scope = S::ssSystem, .SetHeader = ":PULS0:COUN:SOUR",
     .QueryHeader = ":PULS0:COUN:SOUR", .Kind = K::vkKeyword, .Read = G::rgPlus, .Keywords = T::ktShotCountSource,
     SYS(ShotCountSource), .Range = ListRange<T::ktShotCountSource>},
    {.Id = TSettingId::siSyncUpdateAuto, .Scope = S::ssSystem, .SetHeader = ":SYST:UPD:AUTO",
     .QueryHeader = ":SYST:UPD:AUTO", .Kind = K::vkFlag, .Read = G::rgPlus, SYS(SyncUpdateAuto), .Range = FlagRange},
    {.Id = TSettingId::siCycleCount, .Scope = S::ssSystem, .SetHeader = ":PULS0:CCO", .QueryHeader = ":PULS0:CCO",
     .Kind = K::vkCount, .Read = G::rgPlus, SYS(CycleCount), .Range = Fixed<kNoneMinimum, kCycleCountMaximum>},
    // System timer T0 and the external input.
    {.Id = TSettingId::siPeriod, .Scope = S::ssSystem, .SetHeader = ":PULS0:PER", .QueryHeader = ":PULS0:PER",
     .Kind = K::vkReal, .Read = G::rgSystem, .Decimals = 9, SYS(Period), .Range = PeriodRange},
    {.Id = TSettingId::siSystemBurstCount, .Scope = S::ssSystem, .SetHeader = ":PULS0:BCO", .QueryHeader = ":PULS0:BCO",
     .Kind = K::vkUnsignedCount, .Read = G::rgSystem, SYS(BurstCount),
     .Range = Fixed<kSystemCountMinimum, kSystemCountMaximum>},
    {.Id = TSettingId::siSystemMode, .Scope = S::ssSystem, .SetHeader = ":PULS0:MOD", .QueryHeader = ":PULS0:MOD",
     .Kind = K::vkKeyword, .Read = G::rgSystem, .Keywords = T::ktSystemMode, SYS(SystemMode),
     .Range = ListRange<T::ktSystemMode>},
    {.Id = TSettingId::siSystemDutyOnCount, .Scope = S::ssSystem, .SetHeader = ":PULS0:PCO",
     .QueryHeader = ":PULS0:PCO", .Kind = K::vkUnsignedCount, .Read = G::rgSystem, SYS(DutyOnCount),
     .Range = Fixed<kSystemCountMinimum, kSystemCountMaximum>},
    {.Id = TSettingId::siSystemDutyOffCount, .Scope = S::ssSystem, .SetHeader = ":PULS0:OCO",
     .QueryHeader = ":PULS0:OCO", .Kind = K::vkUnsignedCount, .Read = G::rgSystem, SYS(DutyOffCount),
     .Range = Fixed<kSystemCountMinimum, kSystemCountMaximum>},
    {.Id = TSettingId::siExtMode, .Scope = S::ssSystem, .SetHeader = ":PULS0:EXT:MOD", .QueryHeader = ":PULS0:EXT:MODE",
     .Kind = K::vkKeyword, .Read = G::rgSystem, .Keywords = T::ktExtMode, SYS(ExtMode),
     .Range = ListRange<T::ktExtMode>},
    {.Id = TSettingId::siTriggerLevel, .Scope = S::ssSystem, .SetHeader = ":PULS0:EXT:LEV",
     .QueryHeader = ":PULS0:EXT:LEV", .Kind = K::vkReal, .Read = G::rgSystem, .Decimals = 2, SYS(TriggerLevel),
     .Range = Fixed<kTriggerLevelMinimum, kTriggerLevelMaximum>},
    {.Id = TSettingId::siTriggerEdge, .Scope = S::ssSystem, .SetHeader = ":PULS0:EXT:EDG",
     .QueryHeader = ":PULS0:EXT:EDG", .Kind = K::vkKeyword, .Read = G::rgSystem, .Keywords = T::ktTriggerEdge,
     SYS(TriggerEdge), .Range = ListRange<T::ktTriggerEdge>},
    {.Id = TSettingId::siGatePolarity, .Scope = S::ssSystem, .SetHeader = ":PULS0:EXT:POL",
     .QueryHeader = ":PULS0:EXT:POL", .Kind = K::vkKeyword, .Read = G::rgSystem, .Keywords = T::ktGatePolarity,
     SYS(GatePolarity), .Range = ListRange<T::ktGatePolarity>},
    {.Id = TSettingId::siAutoStart, .Scope = S::ssSystem, .SetHeader = ":SYST:AUT", .QueryHeader = ":SYST:AUT",
     .Kind = K::vkFlag, .Read = G::rgSystem, SYS(AutoStart), .Range = FlagRange},
    // Every channel.
    {.Id = TSettingId::siEnabled, .Scope = S::ssChannel, .SetHeader = ":STAT", .QueryHeader = ":STAT",
     .Kind = K::vkFlag, .Read = G::rgChannel, CH(Enabled), .Range = FlagRange},
    {.Id = TSettingId::siDelay, .Scope = S::ssChannel, .SetHeader = ":DEL", .QueryHeader = ":DEL", .Kind = K::vkReal,
     .Read = G::rgChannel, .Decimals = 12, CH(Delay), .Range = DelayRange},
    {.Id = TSettingId::siWidth, .Scope = S::ssChannel, .SetHeader = ":WIDT", .QueryHeader = ":WIDT", .Kind = K::vkReal,
     .Read = G::rgChannel, .Decimals = 9, CH(Width), .Range = WidthRange},
    {.Id = TSettingId::siChannelMode, .Scope = S::ssChannel, .SetHeader = ":CMOD", .QueryHeader = ":CMOD",
     .Kind = K::vkKeyword, .Read = G::rgChannel, .Keywords = T::ktChannelMode, CH(Mode),
     .Range = ListRange<T::ktChannelMode>},
    {.Id = TSettingId::siBurstCount, .Scope = S::ssChannel, .SetHeader = ":BCO", .QueryHeader = ":BCO",
     .Kind = K::vkUnsignedCount, .Read = G::rgChannel, CH(BurstCount),
     .Range = Fixed<kChannelCountMinimum, kChannelCountMaximum>},
    {.Id = TSettingId::siDutyOnCount, .Scope = S::ssChannel, .SetHeader = ":PCO", .QueryHeader = ":PCO",
     .Kind = K::vkCount, .Read = G::rgChannel, CH(DutyOnCount),
     .Range = Fixed<kChannelCountMinimum, kChannelCountMaximum>},
    {.Id = TSettingId::siDutyOffCount, .Scope = S::ssChannel, .SetHeader = ":OCO", .QueryHeader = ":OCO",
     .Kind = K::vkCount, .Read = G::rgChannel, CH(DutyOffCount),
     .Range = Fixed<kChannelCountMinimum, kChannelCountMaximum>},
    {.Id = TSettingId::siSyncSource, .Scope = S::ssChannel, .SetHeader = ":SYNC", .QueryHeader = ":SYNC",
     .Kind = K::vkChannel, .Read = G::rgChannel, CH(SyncSource), .Range = ChannelNameRange},
    {.Id = TSettingId::siPolarity, .Scope = S::ssChannel, .SetHeader = ":POL", .QueryHeader = ":POL",
     .Kind = K::vkKeyword, .Read = G::rgChannel, .Keywords = T::ktChannelPolarity, CH(Polarity),
     .Range = ListRange<T::ktChannelPolarity>},
    {.Id = TSettingId::siWaitCount, .Scope = S::ssChannel, .SetHeader = ":WCO", .QueryHeader = ":WCO",
     .Kind = K::vkCount, .Read = G::rgChannel, CH(WaitCount), .Range = Fixed<kNoneMinimum, kWaitCountMaximum>},
    {.Id = TSettingId::siGateMode, .Scope = S::ssChannel, .SetHeader = ":CGAT", .QueryHeader = ":CGAT",
     .Kind = K::vkKeyword, .Read = G::rgChannel, .Keywords = T::ktChannelGateMode, CH(GateMode),
     .Range = ListRange<T::ktChannelGateMode>},
    // Output stage of a standard channel.
    {.Id = TSettingId::siAmplitude, .Scope = S::ssChannel, .SetHeader = ":OUTP:AMPL", .QueryHeader = ":OUTP:AMPL",
     .Kind = K::vkReal, .Read = G::rgOutputStage, .Decimals = 2, CH(Amplitude),
     .Range = Fixed<kAmplitudeMinimum, kAmplitudeMaximum>},
    {.Id = TSettingId::siMuxMask, .Scope = S::ssChannel, .SetHeader = ":MUX", .QueryHeader = ":MUX", .Kind = K::vkMask,
     .Read = G::rgOutputStage, CH(MuxMask), .Range = MaskRange},
    {.Id = TSettingId::siMuxGate, .Scope = S::ssChannel, .SetHeader = ":MUXG", .QueryHeader = ":MUXG",
     .Kind = K::vkNumber, .Read = G::rgMuxGate, .Keywords = T::ktMuxGate, CH(MuxGate),
     .Range = ListRange<T::ktMuxGate>},
};
// clang-format on

#undef SYS
#undef CH

constexpr bool IsList(TValueKind kind)
{
    return kind == TValueKind::vkKeyword || kind == TValueKind::vkNumber;
}

// Checked when the program is compiled: row N describes setting N, every
// setting has a row, and each row has what its kind needs and nothing it
// does not.
constexpr bool RowsInIdOrder()
{
    for (std::size_t i = 0; i < std::size(kRows); ++i)
        if (static_cast<std::size_t>(kRows[i].Id) != i)
            return false;
    return std::size(kRows) == static_cast<std::size_t>(TSettingId::siMuxGate) + 1;
}
static_assert(RowsInIdOrder(), "the rows are not in the order of TSettingId, one for each");

constexpr bool RowsComplete()
{
    for (const TSettingDescription& row : kRows) {
        if (!row.SetHeader || !row.QueryHeader || !row.Get || !row.Put || !row.Range)
            return false;
        if (IsList(row.Kind) != (row.Keywords != TKeywordTable::ktNone))
            return false;
        if ((row.Kind == TValueKind::vkReal) != (row.Decimals > 0))
            return false;
    }
    return true;
}
static_assert(RowsComplete(), "a row lacks its headers, its field, its range, or what its kind needs");

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
        case TKeywordTable::ktNone:
            break;
    }
    return {};
}

const QStringList& Keywords(TKeywordTable table)
{
    static const auto lists = [] {
        std::array<QStringList, static_cast<std::size_t>(TKeywordTable::ktNone) + 1> words;
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
