#include "timing/PulseTrains.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "model/Capabilities.h"
#include "model/SettingTable.h"
#include "model/SettingsSnapshot.h"
#include "model/SyncRules.h"

namespace {

// An item of one of the panel's own lists, for the legend and the trace
// details; a number outside the list shows as itself.
QString ItemText(TKeywordTable table, int index)
{
    const QString caption = CaptionOf(table, index);
    return caption.isEmpty() ? QStringLiteral("(%1)").arg(index) : caption;
}

QString ChannelLetter(int n)
{
    return QString(QChar('A' + n - 1));
}

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

// The pulse counter of T0 or of a channel: its mode, counts and wait. T0's
// triggers are its periods; a channel's triggers are the pulses of its sync
// source (T0's pulses for a channel synced to T0).
struct TCounter {
    // T0's modes have the channels' positions: Continuous is Normal.
    TChannelMode Mode = TChannelMode::Normal;
    std::uint64_t Burst = 0, On = 0, Off = 0, Wait = 0;
    std::uint64_t Cycles = 0;  // duty cycles before it stops; 0: no end

    // Whether trigger M (0 = the first) fires a pulse.
    bool Fires(std::uint64_t m) const
    {
        if (m < Wait)
            return false;
        const std::uint64_t j = m - Wait;
        switch (Mode) {
            case TChannelMode::SingleShot:
                return j == 0;
            case TChannelMode::Burst:
                return j < Burst;
            case TChannelMode::DutyCycle: {
                const std::uint64_t cycle = On + Off;
                return cycle > 0 && j % cycle < On && (Cycles == 0 || j / cycle < Cycles);
            }
            default:
                return true;
        }
    }
    // Triggers after which it never fires again; kNever when it goes on.
    std::uint64_t Last() const
    {
        switch (Mode) {
            case TChannelMode::SingleShot:
                return Wait + 1;
            case TChannelMode::Burst:
                return Wait + Burst;
            case TChannelMode::DutyCycle:
                return On == 0 ? 0 : Cycles > 0 ? Wait + Cycles * (On + Off) : kNever;
            default:
                return kNever;
        }
    }
    // Triggers it takes to show what it does: a single shot, burst, wait or
    // cycle count with two triggers after its end, two duty cycles that go on.
    std::uint64_t Needed() const
    {
        switch (Mode) {
            case TChannelMode::SingleShot:
                return Wait + 2;
            case TChannelMode::Burst:
                return Wait + Burst + 2;
            case TChannelMode::DutyCycle:
                return Cycles > 0 ? Wait + Cycles * (On + Off) + 2 : Wait + 2 * (On + Off);
            default:
                return Wait > 0 ? Wait + 2 : 0;
        }
    }
};

// T0 and the channels whose sync chains hold, period after period: a channel
// fires only in a period in which its sync source fires, and then only when
// its own counter lets that trigger through.
struct TTrainEngine {
    TCounter T0;
    std::array<TCounter, kMaxChannel + 1> Counter{};
    std::array<int, kMaxChannel + 1> Source{};
    std::array<double, kMaxChannel + 1> Delay{};
    std::vector<int> Order;  // the live channels, every source before the channels synced to it

    std::array<std::uint64_t, kMaxChannel + 1> Seen{};  // triggers counted; [0]: T0's periods
    std::array<bool, kMaxChannel + 1> Fired{};
    std::array<double, kMaxChannel + 1> Start{};         // of the pulse fired in the period
    std::array<std::uint64_t, kMaxChannel + 1> Pulses{};  // pulses fired so far

    void Step(std::uint64_t k, double period)
    {
        Fired.fill(false);
        Fired[0] = T0.Fires(k);
        Start[0] = double(k) * period;
        Seen[0] = k + 1;
        if (Fired[0])
            ++Pulses[0];
        for (int c : Order) {
            const int s = Source[c];
            if (!Fired[s])
                continue;
            if (Counter[c].Fires(Seen[c]++)) {
                Fired[c] = true;
                Start[c] = Start[s] + Delay[c];
                ++Pulses[c];
            }
        }
    }
    // Whether the trace can fire no more.
    bool Finished(int c) const
    {
        if (c == 0)
            return Seen[0] >= T0.Last();
        return Finished(Source[c]) || Seen[c] >= Counter[c].Last();
    }
};

// T0 periods the counts in force need to be shown (see DefaultPeriodCount),
// at least 1; Limit + 1 when they need more than Limit.
std::uint64_t PatternPeriods(TTrainEngine e, std::uint64_t limit)
{
    std::array<std::uint64_t, kMaxChannel + 1> need{};
    std::array<std::uint64_t, kMaxChannel + 1> lastFire{};
    std::array<bool, kMaxChannel + 1> done{};
    std::vector<int> traces{0};
    traces.insert(traces.end(), e.Order.begin(), e.Order.end());
    auto needed = [&e](int c) { return c == 0 ? e.T0.Needed() : e.Counter[c].Needed(); };
    for (int c : traces)
        done[c] = needed(c) == 0;
    std::uint64_t k = 0;
    for (; k < limit && !std::all_of(traces.begin(), traces.end(), [&](int c) { return done[c]; }); ++k) {
        e.Step(k, 0);
        for (int c : traces) {
            if (e.Fired[c])
                lastFire[c] = k;
            if (!done[c] && e.Seen[c] >= needed(c)) {
                done[c] = true;
                need[c] = k + 1;
            }
        }
    }
    std::uint64_t periods = 1;
    for (int c : traces) {
        if (!done[c]) {
            // A channel whose source has stopped is shown with the source's
            // end; one that has stopped itself, with its last pulse.
            if (c == 0 || !(e.Finished(e.Source[c]) || e.Finished(c)))
                return limit + 1;
            need[c] = e.Finished(c) && !e.Finished(e.Source[c]) ? lastFire[c] + 3 : 0;
        }
        periods = std::max(periods, need[c]);
    }
    return periods;
}

struct TTrainSetup {
    std::array<QString, kMaxChannel + 1> Refused;
    std::array<double, kMaxChannel + 1> Offset{};  // of a channel's pulse from its T0 period's start
    TTrainEngine Engine;
};

// The counters and sync chains of the settings. A source the panel would
// refuse (a loop, a channel the model lacks), or one that leads into such a
// chain, leaves the channel without pulses.
TTrainSetup SetUp(const TSettingsSnapshot& snapshot)
{
    TTrainSetup u;
    const TSystemSettings& sys = snapshot.SystemSettings;
    const TModelInfo model = ModelInfo(snapshot.DeviceIdentity.Model);
    const int pages = std::clamp(model.PagesShown, 0, kMaxChannel);
    const int channelCount = snapshot.ChannelCount > 0 ? snapshot.ChannelCount : pages;
    const TChannelSettingsArray& chs = snapshot.ChannelSettings;
    auto count = [](std::int64_t v) { return std::uint64_t(std::max<std::int64_t>(v, 0)); };

    TTrainEngine& e = u.Engine;
    e.T0.Mode = ModeAt<TChannelMode>(IndexOf(sys.SystemMode));
    e.T0.Burst = sys.BurstCount;
    e.T0.On = sys.DutyOnCount;
    e.T0.Off = sys.DutyOffCount;
    // The duty cycle's cycle count is a Plus feature; 0 lets it go on.
    if (snapshot.Variant().PlusFeatures || model.PlusOption || model.HighResolution)
        e.T0.Cycles = count(sys.CycleCount);

    for (int c = 1; c <= pages; ++c) {
        const int s = chs[c].SyncSource;
        if (s < 0 || s > kMaxChannel) {
            u.Refused[c] = QStringLiteral("Sync source %1 names no channel.").arg(s);
            continue;
        }
        if (s > std::min(channelCount, pages)) {
            u.Refused[c] = QStringLiteral("Error. %1 is not a channel of this %2.")
                               .arg(GetChSyncName(s),
                                    snapshot.DeviceIdentity.Model.isEmpty() ? QStringLiteral("generator")
                                                                            : snapshot.DeviceIdentity.Model);
            continue;
        }
        // The check the panel makes when the source is picked: the channel's
        // own present source does not count yet.
        TChannelSettingsArray before = chs;
        before[c].SyncSource = 0;
        u.Refused[c] = SyncSourceError(before, channelCount, c, s);
    }
    std::array<int, kMaxChannel + 1> depth{};
    for (int c = 1; c <= pages; ++c) {
        if (!u.Refused[c].isEmpty())
            continue;
        double sum = 0;
        int k = c;
        int steps = 0;
        for (; k != 0 && steps <= kMaxChannel; ++steps) {
            if (k > pages || (!u.Refused[k].isEmpty() && k != c))
                break;
            sum += chs[k].Delay;
            k = chs[k].SyncSource;
            if (k < 0 || k > kMaxChannel)
                break;
        }
        if (k != 0) {
            u.Refused[c] = QStringLiteral("Its sync source %1 is refused.").arg(GetChSyncName(chs[c].SyncSource));
            continue;
        }
        u.Offset[c] = sum;
        depth[c] = steps;
        const TChannelSettings& ch = chs[c];
        TCounter& n = e.Counter[c];
        n.Mode = ch.Mode;
        n.Burst = ch.BurstCount;
        n.On = count(ch.DutyOnCount);
        n.Off = count(ch.DutyOffCount);
        n.Wait = count(ch.WaitCount);
        e.Source[c] = ch.SyncSource;
        e.Delay[c] = ch.Delay;
        e.Order.push_back(c);
    }
    std::stable_sort(e.Order.begin(), e.Order.end(), [&depth](int a, int b) { return depth[a] < depth[b]; });
    return u;
}

template <typename E>
QString ModeText(TKeywordTable table, E mode, std::uint64_t burst, std::uint64_t on, std::uint64_t off)
{
    switch (mode) {
        case E::Burst:
            return CaptionOf(table, mode) + QStringLiteral(" %1").arg(GroupedCount(burst));
        case E::DutyCycle:
            return CaptionOf(table, mode) + QStringLiteral(" %1 on, %2 off").arg(GroupedCount(on), GroupedCount(off));
        default:
            return ItemText(table, IndexOf(mode));
    }
}

// Sorted intervals with the overlapping ones joined.
std::vector<TPulse> Merged(std::vector<TPulse> pulses)
{
    std::sort(pulses.begin(), pulses.end(), [](const TPulse& a, const TPulse& b) { return a.Start < b.Start; });
    std::vector<TPulse> out;
    out.reserve(pulses.size());
    for (const TPulse& p : pulses) {
        if (!out.empty() && p.Start <= out.back().Stop)
            out.back().Stop = std::max(out.back().Stop, p.Stop);
        else
            out.push_back(p);
    }
    return out;
}

}  // namespace

QString GroupedCount(std::uint64_t n)
{
    QString digits = QString::number(n);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return digits;
}

bool TTrace::HighAt(double t) const
{
    if (!Enabled || !Refused.isEmpty())
        return false;
    // The first pulse that ends after T.
    const auto it =
        std::upper_bound(Pulses.begin(), Pulses.end(), t, [](double time, const TPulse& p) { return time < p.Stop; });
    const bool active =
        (it != Pulses.end() && it->Start <= t) || (OpenEnd && !Pulses.empty() && t >= Pulses.back().Start);
    return active != Inverted;
}

const TTrace* TTimingDiagram::Find(const QString& name) const
{
    for (const TTrace& t : Traces)
        if (t.Name == name)
            return &t;
    return nullptr;
}

QString TimeText(double seconds, int decimals)
{
    static const struct {
        double scale;
        const char* unit;
    } units[] = {{1, "s"}, {1e-3, "ms"}, {1e-6, "µs"}, {1e-9, "ns"}, {1e-12, "ps"}};
    const double a = std::fabs(seconds);
    if (a < 1e-15)
        return QStringLiteral("0 s");
    int u = 0;
    while (u < 4 && a < units[u].scale * 0.9995)
        ++u;
    QString number = QString::number(seconds / units[u].scale, 'f', decimals);
    if (number.contains('.')) {
        while (number.endsWith('0'))
            number.chop(1);
        if (number.endsWith('.'))
            number.chop(1);
    }
    if (number == "-0")
        number = "0";
    return number + ' ' + QString::fromUtf8(units[u].unit);
}

QString PreciseTimeText(double seconds, double resolution)
{
    static const struct {
        double scale;
        const char* unit;
    } units[] = {{1, "s"}, {1e-3, "ms"}, {1e-6, "µs"}, {1e-9, "ns"}, {1e-12, "ps"}};
    const double a = std::fabs(seconds);
    if (!std::isfinite(seconds))
        return QString::number(seconds) + QStringLiteral(" s");
    if (!(resolution > 0) || !std::isfinite(resolution))
        resolution = 1e-12;
    if (a < resolution / 2)
        return QStringLiteral("0 s");
    int u = 0;
    while (u < 4 && a < units[u].scale * (1 - 1e-12))
        ++u;
    const double value = seconds / units[u].scale;
    int decimals = std::max(0, int(std::ceil(-std::log10(resolution / units[u].scale) - 1e-9)));
    // No more digits than a double holds.
    const int whole = a / units[u].scale >= 1 ? int(std::floor(std::log10(a / units[u].scale))) + 1 : 1;
    decimals = std::clamp(decimals, 0, std::max(0, 15 - whole));
    QString number = QString::number(value, 'f', decimals);
    if (number.contains('.')) {
        while (number.endsWith('0'))
            number.chop(1);
        if (number.endsWith('.'))
            number.chop(1);
    }
    if (number == "-0")
        number = "0";
    return number + ' ' + QString::fromUtf8(units[u].unit);
}

int DefaultPeriodCount(const TSettingsSnapshot& snapshot)
{
    const std::uint64_t need = PatternPeriods(SetUp(snapshot).Engine, kMaxDrawnPeriods);
    return int(std::clamp<std::uint64_t>(need, 4, kMaxDrawnPeriods));
}

namespace {

// What a model shows: its channel pages, the standard channels among them
// and the channels the settings name.
struct TPageScope {
    TModelInfo Model;
    int Pages = 0;
    int Standard = 0;
    int ChannelCount = 0;
};

TPageScope ScopeOf(const TSettingsSnapshot& snapshot)
{
    TPageScope s;
    s.Model = ModelInfo(snapshot.DeviceIdentity.Model);
    s.Pages = std::clamp(s.Model.PagesShown, 0, kMaxChannel);
    s.Standard = std::clamp(s.Model.StandardChannelCount, 0, s.Pages);
    s.ChannelCount = snapshot.ChannelCount > 0 ? snapshot.ChannelCount : s.Pages;
    return s;
}

// The pulses as fired, with their flagged stretches, before the end of the
// drawing cuts them.
struct TFiring {
    std::array<std::vector<TPulse>, kMaxChannel + 1> Raw;
    std::array<std::vector<TMark>, kMaxChannel + 1> Marks;
    // A channel with a pulse left out for starting past the end.
    std::array<bool, kMaxChannel + 1> LateDropped{};
    double Stop = 0;  // the end of the drawing
    double Eps = 0;   // times this close to the end count as at it
    bool LateCut = false;
};

// Fires period by period: first the Periods asked for, then on to where the
// last of their pulses stops, so that T0 and every channel are worked out to
// the end of the drawing.
TFiring FirePulses(TTrainSetup& setup, const TChannelSettingsArray& chs, double period, int periods)
{
    TFiring f;
    TTrainEngine& engine = setup.Engine;
    f.Eps = period * 1e-9;
    f.Stop = period * periods;
    std::uint64_t k = 0;
    auto fire = [&](std::uint64_t until, bool main) {
        for (; k < until; ++k) {
            engine.Step(k, period);
            const double t0 = double(k) * period;
            if (engine.Fired[0])
                f.Raw[0].push_back({t0, t0 + period / 10});
            for (int c : engine.Order) {
                if (!engine.Fired[c] || !(chs[c].Width > 0) || !std::isfinite(chs[c].Width))
                    continue;
                const TPulse p{engine.Start[c], engine.Start[c] + chs[c].Width};
                if (!std::isfinite(p.Start) || !std::isfinite(p.Stop))
                    continue;
                std::vector<TPulse>& raw = f.Raw[c];
                if (!raw.empty() && p.Start < raw.back().Stop)
                    f.Marks[c].push_back({p.Start, std::min(raw.back().Stop, p.Stop), TMarkKind::mkOverlap});
                if (p.Stop > t0 + period + 1e-15)
                    f.Marks[c].push_back({std::max(p.Start, t0 + period), p.Stop, TMarkKind::mkPastPeriod});
                raw.push_back(p);
                if (main)
                    f.Stop = std::max(f.Stop, p.Stop);
            }
        }
    };
    if (!(period > 0))
        return f;
    fire(std::uint64_t(periods), true);
    // As many periods again at most: a pulse delayed further is left out.
    const double longest = period * (2.0 * periods + 1);
    if (f.Stop > longest) {
        f.Stop = longest;
        f.LateCut = true;
        for (int c : engine.Order)
            for (const TPulse& p : f.Raw[c])
                f.LateDropped[c] = f.LateDropped[c] || p.Start >= f.Stop - f.Eps;
    }
    // The periods that start up to the end (one starting right there tells
    // whether a signal goes on), and those whose pulses a negative delay
    // moves back before it.
    double earliest = 0;
    for (int c : engine.Order)
        earliest = std::min(earliest, setup.Offset[c]);
    const double back = std::min(std::ceil(-earliest / period), double(periods) + 1);
    fire(std::uint64_t(std::floor(f.Stop / period + 1e-9) + 1 + back), false);
    return f;
}

// The pulses up to the end of the drawing, overlapping ones joined; one
// still active at the end goes on (Open). Flagged stretches past the end go
// too.
std::vector<TPulse> CutAtEnd(std::vector<TPulse> pulses, const TFiring& f, std::vector<TMark>* flagged, bool& open)
{
    const double stop = f.Stop, eps = f.Eps;
    pulses = Merged(std::move(pulses));
    double next = std::numeric_limits<double>::infinity();  // the first pulse left out
    while (!pulses.empty() && pulses.back().Start >= stop - eps) {
        next = pulses.back().Start;
        pulses.pop_back();
    }
    // Still active at the end, or ending there just as the next pulse
    // starts (a pulse as wide as its period).
    open = !pulses.empty() &&
           (pulses.back().Stop > stop + eps || (pulses.back().Stop >= stop - eps && next <= stop + eps));
    if (open)
        pulses.back().Stop = stop;
    if (flagged) {
        std::vector<TMark> kept;
        for (TMark m : *flagged)
            if (m.Start < stop - eps) {
                m.Stop = std::min(m.Stop, stop);
                kept.push_back(m);
            }
        *flagged = std::move(kept);
    }
    return pulses;
}

// What the traces showed that the legend explains.
struct TLegendFacts {
    bool Sync = false, Counted = false, Disabled = false, Past = false, Overlap = false, Refused = false, Open = false,
         MuxGate = false, EmptyMux = false;
    QStringList Late;  // channels with pulses left out past the end
};

void AddT0Trace(TTimingDiagram& d, const TSystemSettings& sys, const TCounter& t0, TFiring& fired, TLegendFacts& facts)
{
    TTrace t;
    t.Kind = TTraceKind::tkT0;
    t.Name = QStringLiteral("T0");
    t.Detail = ModeText(TKeywordTable::ktSystemMode, sys.SystemMode, sys.BurstCount, sys.DutyOnCount, sys.DutyOffCount);
    if (sys.SystemMode == TSystemMode::DutyCycle && t0.Cycles > 0)
        t.Detail +=
            t0.Cycles == 1 ? QStringLiteral(", 1 cycle") : QStringLiteral(", %1 cycles").arg(GroupedCount(t0.Cycles));
    t.Detail += QStringLiteral(", period ") + PreciseTimeText(d.Period);
    t.Pulses = CutAtEnd(std::move(fired.Raw[0]), fired, nullptr, t.OpenEnd);
    facts.Open = t.OpenEnd;
    d.Traces.push_back(std::move(t));
    d.Notes << QStringLiteral("T0 marks the start of each period; its pulse is drawn a tenth of a period wide.");
}

// The external input's mode, on T0's trace and in the legend.
void AddExternalInput(TTimingDiagram& d, const TSystemSettings& sys)
{
    switch (sys.ExtMode) {
        case TExtMode::Disabled:
            break;
        case TExtMode::Triggered:
        case TExtMode::ReArm:
            d.Traces.back().Detail += QStringLiteral("\nExt. %1, %2 edge")
                                          .arg(ItemText(TKeywordTable::ktExtMode, IndexOf(sys.ExtMode)),
                                               sys.TriggerEdge == TTriggerEdge::Falling ? QStringLiteral("falling")
                                                                                        : QStringLiteral("rising"));
            d.Notes << QStringLiteral("External trigger (%1): drawn as if a trigger came at 0 s.")
                           .arg(ItemText(TKeywordTable::ktExtMode, IndexOf(sys.ExtMode)));
            break;
        default:
            d.Traces.back().Detail +=
                QStringLiteral("\nExt. %1, active %2")
                    .arg(ItemText(TKeywordTable::ktExtMode, IndexOf(sys.ExtMode)),
                         sys.GatePolarity == TGatePolarity::Low ? QStringLiteral("low") : QStringLiteral("high"));
            d.Notes << QStringLiteral("External gate: drawn as if the gate stayed open.");
            break;
    }
}

// The pulses of the live, enabled channels, which the outputs combine.
struct TActivePulses {
    std::array<std::vector<TPulse>, kMaxChannel + 1> Pulses;
    std::array<bool, kMaxChannel + 1> Open{};
};

// The channel's page settings as the trace's two detail lines (and its gate).
QString ChannelDetail(const TChannelSettings& ch, bool inverted)
{
    const std::uint64_t burst = ch.BurstCount;
    const std::uint64_t on = std::uint64_t(std::max(ch.DutyOnCount, 0));
    const std::uint64_t off = std::uint64_t(std::max(ch.DutyOffCount, 0));
    const std::uint64_t wait = std::uint64_t(std::max(ch.WaitCount, 0));
    QString line1 = ModeText(TKeywordTable::ktChannelMode, ch.Mode, burst, on, off);
    if (wait > 0)
        line1 += QStringLiteral(", wait %1").arg(GroupedCount(wait));
    if (inverted)
        line1 += QStringLiteral(", inverted");
    QString line2 = QStringLiteral("delay %1").arg(PreciseTimeText(ch.Delay));
    if (ch.SyncSource != 0)
        line2 += QStringLiteral(" from ") + GetChSyncName(ch.SyncSource);
    line2 += QStringLiteral(", width ") + PreciseTimeText(ch.Width);
    return line1 + '\n' + line2;
}

TActivePulses AddChannelTraces(TTimingDiagram& d, const TChannelSettingsArray& chs, const TPageScope& scope,
                               const TTrainSetup& setup, TFiring& fired, TLegendFacts& facts)
{
    TActivePulses active;
    for (int c = 1; c <= scope.Pages; ++c) {
        const TChannelSettings& ch = chs[c];
        TTrace t;
        t.Kind = TTraceKind::tkChannel;
        t.Channel = c;
        t.Virtual = c > scope.Standard && scope.Model.Supported;
        t.Name = GetChSyncName(c) + (t.Virtual ? QStringLiteral(" (V)") : QString());
        t.Enabled = ch.Enabled != 0;
        // Virtual channels have no output stage, so no polarity of their own.
        t.Inverted = !t.Virtual && ch.Polarity == TChannelPolarity::Inverted;
        t.Refused = setup.Refused[c];
        t.Detail = ChannelDetail(ch, t.Inverted);
        if (ch.GateMode != TChannelGateMode::Disabled) {
            const QString gate = ItemText(TKeywordTable::ktChannelGateMode, IndexOf(ch.GateMode));
            t.Detail += QStringLiteral("\ngate ") + gate;
            d.Notes << QStringLiteral("%1 gate %2: drawn as if the gate stayed open.").arg(GetChSyncName(c), gate);
        }
        facts.Sync = facts.Sync || ch.SyncSource != 0;
        facts.Disabled = facts.Disabled || !t.Enabled;
        facts.Counted = facts.Counted || ch.Mode != TChannelMode::Normal || ch.WaitCount > 0;
        facts.Refused = facts.Refused || !t.Refused.isEmpty();

        if (t.Refused.isEmpty()) {
            t.Pulses = CutAtEnd(std::move(fired.Raw[c]), fired, &fired.Marks[c], t.OpenEnd);
            t.Marks = std::move(fired.Marks[c]);
            for (const TMark& m : t.Marks) {
                facts.Past = facts.Past || m.Kind == TMarkKind::mkPastPeriod;
                facts.Overlap = facts.Overlap || m.Kind == TMarkKind::mkOverlap;
            }
            if (t.Enabled) {
                active.Pulses[c] = t.Pulses;
                active.Open[c] = t.OpenEnd;
                facts.Open = facts.Open || t.OpenEnd;
            }
            if (fired.LateDropped[c])
                facts.Late << t.Name;
        }
        d.Traces.push_back(std::move(t));
    }
    return active;
}

// The outputs: the OR of the channels ticked in each standard channel's
// multiplexer, through that channel's output stage.
void AddOutputTraces(TTimingDiagram& d, const TChannelSettingsArray& chs, const TPageScope& scope,
                     const TActivePulses& active, TLegendFacts& facts)
{
    const int muxItems = std::min(MuxLayoutOf(scope.ChannelCount).Items, kMaxChannel);
    for (int n = 1; n <= scope.Standard; ++n) {
        const TChannelSettings& ch = chs[n];
        TTrace t;
        t.Kind = TTraceKind::tkOutput;
        t.Channel = n;
        t.Name = QStringLiteral("Out ") + ChannelLetter(n);
        t.Enabled = ch.Enabled != 0;
        t.Inverted = ch.Polarity == TChannelPolarity::Inverted;
        QStringList sources;
        std::vector<TPulse> all;
        bool open = false;
        for (int i = 0; i < muxItems; ++i) {
            if (!(ch.MuxMask & (1 << i)))
                continue;
            sources << ChannelLetter(i + 1);
            if (i + 1 <= scope.Pages) {
                all.insert(all.end(), active.Pulses[i + 1].begin(), active.Pulses[i + 1].end());
                open = open || active.Open[i + 1];
            }
        }
        if (t.Enabled) {
            t.Pulses = Merged(std::move(all));
            t.OpenEnd = open;
            facts.Open = facts.Open || open;
        }
        t.Detail = (sources.isEmpty() ? QStringLiteral("no channel ticked") : sources.join(QStringLiteral(" or "))) +
                   QStringLiteral("\n%1, %2 V")
                       .arg(t.Inverted ? QStringLiteral("inverted") : QStringLiteral("normal"))
                       .arg(QString::number(ch.Amplitude, 'f', 2));
        facts.EmptyMux = facts.EmptyMux || sources.isEmpty();
        if (IndexOf(ch.MuxGate) > 0) {
            t.Detail += QStringLiteral(", mux gate ") + ItemText(TKeywordTable::ktMuxGate, IndexOf(ch.MuxGate));
            facts.MuxGate = true;
        }
        d.Traces.push_back(std::move(t));
    }
}

// The legend's notes on what the traces showed, where the drawing ends and
// why.
void AddLegend(TTimingDiagram& d, const TSystemSettings& sys, const TCounter& t0, int standard, bool countsCut,
               const TFiring& fired, const TLegendFacts& facts)
{
    const double stop = fired.Stop;
    if (facts.Sync)
        d.Notes << QStringLiteral(
            "A delay counts from the start of its sync source's pulse; a channel synced to another channel "
            "fires only when that channel fires.");
    if (facts.Counted)
        d.Notes << QStringLiteral(
            "Single shot, burst, duty-cycle and wait counts are counted in T0's pulses, "
            "each channel on its own; a channel synced to another channel counts that channel's pulses.");
    if (sys.SystemMode == TSystemMode::DutyCycle && t0.Cycles > 0)
        d.Notes << QStringLiteral("T0 stops after its duty cycle's cycle count.");
    if (facts.Disabled)
        d.Notes << QStringLiteral("A disabled channel is drawn flat and grey and adds nothing to an output.");
    if (facts.Refused)
        d.Notes << QStringLiteral("A channel whose sync chain the panel refuses is drawn without pulses.");
    if (standard > 0)
        d.Notes << QStringLiteral(
            "An output is the OR of the channels ticked in its multiplexer, "
            "drawn with its own channel's polarity.");
    if (facts.EmptyMux)
        d.Notes << QStringLiteral("An output with no channel ticked is drawn flat.");
    if (facts.MuxGate)
        d.Notes << QStringLiteral("The multiplexer gate is noted, not drawn.");
    if (facts.Past)
        d.Notes << QStringLiteral("Red: a pulse runs past the end of its T0 period.");
    if (facts.Overlap)
        d.Notes << QStringLiteral("Orange: a pulse overlaps the next pulse of its channel.");
    if (countsCut)
        d.Notes << QStringLiteral(
                       "Cut at %1, after %2 T0 periods (at most %3 are drawn): the counts in force go on past it.")
                       .arg(PreciseTimeText(stop), GroupedCount(std::uint64_t(d.Periods)),
                            GroupedCount(std::uint64_t(kMaxDrawnPeriods)));
    if (fired.LateCut)
        d.Notes << QStringLiteral("Cut at %1: later pulses of %2 are not drawn.")
                       .arg(PreciseTimeText(stop), facts.Late.join(QStringLiteral(", ")));
    if (facts.Open)
        d.Notes << QStringLiteral("A signal still active at the end of the drawing (%1) is drawn going on.")
                       .arg(PreciseTimeText(stop));
    if (d.Period > 0)
        d.Notes
            << QStringLiteral("Shaded: nothing is worked out after the drawing ends at %1.").arg(PreciseTimeText(stop));
}

}  // namespace

TTimingDiagram BuildTimingDiagram(const TSettingsSnapshot& snapshot, int periods)
{
    TTimingDiagram d;
    const TSystemSettings& sys = snapshot.SystemSettings;
    const TPageScope scope = ScopeOf(snapshot);
    const double period = sys.Period > 0 && std::isfinite(sys.Period) ? sys.Period : 0;
    periods = std::clamp(periods, 1, kMaxPeriods);
    d.Period = period;
    d.Periods = period > 0 ? periods : 0;
    d.Notes << QStringLiteral(
        "Drawn from the settings as the panel holds them, read the plain way: not a measurement.");
    if (period <= 0)
        d.Notes << QStringLiteral("No T0 period is set: nothing to draw.");

    TTrainSetup setup = SetUp(snapshot);
    const bool countsCut = period > 0 && PatternPeriods(setup.Engine, std::uint64_t(periods)) > std::uint64_t(periods);
    TFiring fired = FirePulses(setup, snapshot.ChannelSettings, period, periods);
    d.SpanStop = period > 0 ? fired.Stop : 0;
    d.Cut = countsCut || fired.LateCut;

    TLegendFacts facts;
    AddT0Trace(d, sys, setup.Engine.T0, fired, facts);
    AddExternalInput(d, sys);
    const TActivePulses active = AddChannelTraces(d, snapshot.ChannelSettings, scope, setup, fired, facts);
    AddOutputTraces(d, snapshot.ChannelSettings, scope, active, facts);
    AddLegend(d, sys, setup.Engine.T0, scope.Standard, countsCut, fired, facts);

    d.SpanStart = 0;
    for (const TTrace& t : d.Traces)
        if (!t.Pulses.empty())
            d.SpanStart = std::min(d.SpanStart, t.Pulses.front().Start);
    return d;
}
