#include "timing/PulseTrains.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

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

// Whether the pulse counted M (0 = the first the counter lets through) is
// fired under a pulse mode (system or channel): every one, the first (Single
// Shot), the first Burst, or On of every On + Off (Duty Cycle).
template <typename E>
bool Fires(E mode, std::uint64_t m, std::uint64_t burst, std::uint64_t on, std::uint64_t off)
{
    switch (mode) {
        case E::SingleShot:
            return m == 0;
        case E::Burst:
            return m < burst;
        case E::DutyCycle:
            return on + off > 0 && m % (on + off) < on;
        default:
            return true;
    }
}

template <typename E>
QString ModeText(TKeywordTable table, E mode, std::uint64_t burst, std::uint64_t on, std::uint64_t off)
{
    switch (mode) {
        case E::Burst:
            return CaptionOf(table, mode) + QStringLiteral(" %1").arg(burst);
        case E::DutyCycle:
            return CaptionOf(table, mode) + QStringLiteral(" %1 on, %2 off").arg(on).arg(off);
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

bool TTrace::HighAt(double t) const
{
    if (!Enabled || !Refused.isEmpty())
        return false;
    // The first pulse that ends after T.
    const auto it =
        std::upper_bound(Pulses.begin(), Pulses.end(), t, [](double time, const TPulse& p) { return time < p.Stop; });
    const bool active = it != Pulses.end() && it->Start <= t;
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

int DefaultPeriodCount(const TSettingsSnapshot& snapshot)
{
    const TSystemSettings& sys = snapshot.SystemSettings;
    std::uint64_t n = 4;
    auto need = [&n](std::uint64_t periods) { n = std::max(n, periods); };
    if (sys.SystemMode == TSystemMode::Burst)
        need(std::uint64_t(sys.BurstCount) + 2);
    if (sys.SystemMode == TSystemMode::DutyCycle)
        need(2 * (std::uint64_t(sys.DutyOnCount) + sys.DutyOffCount));
    const int pages = ModelInfo(snapshot.DeviceIdentity.Model).PagesShown;
    for (int c = 1; c <= pages; ++c) {
        const TChannelSettings& ch = snapshot.ChannelSettings[c];
        const std::uint64_t wait = std::uint64_t(std::max(ch.WaitCount, 0));
        if (ch.Mode == TChannelMode::SingleShot)
            need(wait + 2);
        if (ch.Mode == TChannelMode::Burst)
            need(wait + std::uint64_t(std::max(ch.BurstCount, 0)) + 2);
        if (ch.Mode == TChannelMode::DutyCycle)
            need(wait + 2 * (std::uint64_t(std::max(ch.DutyOnCount, 0)) + std::uint64_t(std::max(ch.DutyOffCount, 0))));
        else if (wait > 0)
            need(wait + 2);
    }
    return int(std::min<std::uint64_t>(n, 64));
}

TTimingDiagram BuildTimingDiagram(const TSettingsSnapshot& snapshot, int periods)
{
    TTimingDiagram d;
    const TSystemSettings& sys = snapshot.SystemSettings;
    const TModelInfo model = ModelInfo(snapshot.DeviceIdentity.Model);
    const int pages = std::clamp(model.PagesShown, 0, kMaxChannel);
    const int standard = std::clamp(model.StandardChannelCount, 0, pages);
    const int channelCount = snapshot.ChannelCount > 0 ? snapshot.ChannelCount : pages;
    const double period = sys.Period > 0 && std::isfinite(sys.Period) ? sys.Period : 0;
    periods = std::clamp(periods, 1, kMaxPeriods);
    d.Period = period;
    d.Periods = period > 0 ? periods : 0;

    d.Notes << QStringLiteral(
        "Drawn from the settings as the panel holds them, read the plain way: not a measurement.");
    if (period <= 0)
        d.Notes << QStringLiteral("No T0 period is set: nothing to draw.");

    // T0's pulses: the start of every period the system mode lets through.
    std::vector<double> t0;
    if (period > 0) {
        for (int k = 0; k < periods; ++k)
            if (Fires(sys.SystemMode, std::uint64_t(k), sys.BurstCount, sys.DutyOnCount, sys.DutyOffCount))
                t0.push_back(k * period);
    }
    {
        TTrace t;
        t.Kind = TTraceKind::tkT0;
        t.Name = QStringLiteral("T0");
        t.Detail = ModeText(TKeywordTable::ktSystemMode, sys.SystemMode, sys.BurstCount, sys.DutyOnCount, sys.DutyOffCount) +
                   QStringLiteral(", period ") + TimeText(period);
        const double marker = period / 10;
        for (double start : t0)
            t.Pulses.push_back({start, start + marker});
        d.Traces.push_back(std::move(t));
        d.Notes << QStringLiteral("T0 marks the start of each period; its pulse is drawn a tenth of a period wide.");
    }
    switch (sys.ExtMode) {
        case TExtMode::Disabled:
            break;
        case TExtMode::Triggered:
        case TExtMode::ReArm:
            d.Traces.back().Detail +=
                QStringLiteral("\nExt. %1, %2 edge")
                    .arg(ItemText(TKeywordTable::ktExtMode, IndexOf(sys.ExtMode)),
                         sys.TriggerEdge == TTriggerEdge::Falling ? QStringLiteral("falling") : QStringLiteral("rising"));
            d.Notes << QStringLiteral("External trigger (%1): drawn as if a trigger came at 0 s.")
                           .arg(ItemText(TKeywordTable::ktExtMode, IndexOf(sys.ExtMode)));
            break;
        default:
            d.Traces.back().Detail += QStringLiteral("\nExt. %1, active %2")
                                          .arg(ItemText(TKeywordTable::ktExtMode, IndexOf(sys.ExtMode)),
                                               sys.GatePolarity == TGatePolarity::Low ? QStringLiteral("low") : QStringLiteral("high"));
            d.Notes << QStringLiteral("External gate: drawn as if the gate stayed open.");
            break;
    }

    // Sync chains: each channel's offset from T0 is its delay plus its
    // source's offset. A source the panel would refuse (a loop), or one that
    // leads into such a chain, leaves the channel without pulses.
    const TChannelSettingsArray& chs = snapshot.ChannelSettings;
    std::array<double, kMaxChannel + 1> offset{};
    std::array<QString, kMaxChannel + 1> refused;
    for (int c = 1; c <= pages; ++c) {
        const int s = chs[c].SyncSource;
        if (s < 0 || s > kMaxChannel) {
            refused[c] = QStringLiteral("Sync source %1 names no channel.").arg(s);
            continue;
        }
        // The check the panel makes when the source is picked: the channel's
        // own present source does not count yet.
        TChannelSettingsArray before = chs;
        before[c].SyncSource = 0;
        refused[c] = SyncSourceError(before, channelCount, c, s);
    }
    for (int c = 1; c <= pages; ++c) {
        if (!refused[c].isEmpty())
            continue;
        double sum = 0;
        int k = c;
        int steps = 0;
        for (; k != 0 && steps <= kMaxChannel; ++steps) {
            if (k <= pages && !refused[k].isEmpty() && k != c)
                break;
            sum += chs[k].Delay;
            k = chs[k].SyncSource;
            if (k < 0 || k > kMaxChannel)
                break;
        }
        if (k != 0)
            refused[c] = QStringLiteral("Its sync source %1 is refused.").arg(GetChSyncName(chs[c].SyncSource));
        else
            offset[c] = sum;
    }

    bool anySync = false, anyCounted = false, anyDisabled = false, anyPast = false, anyOverlap = false,
         anyRefused = false;
    std::array<std::vector<TPulse>, kMaxChannel + 1> active;
    for (int c = 1; c <= pages; ++c) {
        const TChannelSettings& ch = chs[c];
        TTrace t;
        t.Kind = TTraceKind::tkChannel;
        t.Channel = c;
        t.Virtual = c > standard && model.Supported;
        t.Name = GetChSyncName(c) + (t.Virtual ? QStringLiteral(" (V)") : QString());
        t.Enabled = ch.Enabled != 0;
        // Virtual channels have no output stage, so no polarity of their own.
        t.Inverted = !t.Virtual && ch.Polarity == TChannelPolarity::Inverted;
        t.Refused = refused[c];
        const std::uint64_t burst = std::uint64_t(std::max(ch.BurstCount, 0));
        const std::uint64_t on = std::uint64_t(std::max(ch.DutyOnCount, 0));
        const std::uint64_t off = std::uint64_t(std::max(ch.DutyOffCount, 0));
        const std::uint64_t wait = std::uint64_t(std::max(ch.WaitCount, 0));
        QString line1 = ModeText(TKeywordTable::ktChannelMode, ch.Mode, burst, on, off);
        if (wait > 0)
            line1 += QStringLiteral(", wait %1").arg(wait);
        if (t.Inverted)
            line1 += QStringLiteral(", inverted");
        QString line2 = QStringLiteral("delay %1").arg(TimeText(ch.Delay));
        if (ch.SyncSource != 0) {
            line2 += QStringLiteral(" from ") + GetChSyncName(ch.SyncSource);
            anySync = true;
        }
        line2 += QStringLiteral(", width ") + TimeText(ch.Width);
        t.Detail = line1 + '\n' + line2;
        if (ch.GateMode != TChannelGateMode::Disabled) {
            const QString gate = ItemText(TKeywordTable::ktChannelGateMode, IndexOf(ch.GateMode));
            t.Detail += QStringLiteral("\ngate ") + gate;
            d.Notes << QStringLiteral("%1 gate %2: drawn as if the gate stayed open.")
                           .arg(GetChSyncName(c), gate);
        }
        anyDisabled = anyDisabled || !t.Enabled;
        anyCounted = anyCounted || ch.Mode != TChannelMode::Normal || wait > 0;
        anyRefused = anyRefused || !t.Refused.isEmpty();

        if (t.Refused.isEmpty() && ch.Width > 0 && std::isfinite(ch.Width) && std::isfinite(offset[c])) {
            std::uint64_t counted = 0;  // T0 pulses seen
            std::vector<TPulse> raw;
            for (double start : t0) {
                const std::uint64_t j = counted++;
                if (j < wait || !Fires(ch.Mode, j - wait, burst, on, off))
                    continue;
                const TPulse p{start + offset[c], start + offset[c] + ch.Width};
                if (!raw.empty() && p.Start < raw.back().Stop) {
                    t.Marks.push_back({p.Start, std::min(raw.back().Stop, p.Stop), TMarkKind::mkOverlap});
                    anyOverlap = true;
                }
                if (p.Stop > start + period + 1e-15) {
                    t.Marks.push_back({std::max(p.Start, start + period), p.Stop, TMarkKind::mkPastPeriod});
                    anyPast = true;
                }
                raw.push_back(p);
            }
            if (t.Enabled)
                active[c] = Merged(raw);
            t.Pulses = Merged(std::move(raw));
        }
        d.Traces.push_back(std::move(t));
    }

    // The outputs: the OR of the channels ticked in each standard channel's
    // multiplexer, through that channel's output stage.
    const int muxItems = std::min(MuxLayoutOf(channelCount).Items, kMaxChannel);
    bool anyMuxGate = false, anyEmptyMux = false;
    for (int n = 1; n <= standard; ++n) {
        const TChannelSettings& ch = chs[n];
        TTrace t;
        t.Kind = TTraceKind::tkOutput;
        t.Channel = n;
        t.Name = QStringLiteral("Out ") + ChannelLetter(n);
        t.Enabled = ch.Enabled != 0;
        t.Inverted = ch.Polarity == TChannelPolarity::Inverted;
        QStringList sources;
        std::vector<TPulse> all;
        for (int i = 0; i < muxItems; ++i) {
            if (!(ch.MuxMask & (1 << i)))
                continue;
            sources << ChannelLetter(i + 1);
            if (i + 1 <= pages)
                all.insert(all.end(), active[i + 1].begin(), active[i + 1].end());
        }
        if (t.Enabled)
            t.Pulses = Merged(std::move(all));
        t.Detail = (sources.isEmpty() ? QStringLiteral("no channel ticked") : sources.join(QStringLiteral(" or "))) +
                   QStringLiteral("\n%1, %2 V")
                       .arg(t.Inverted ? QStringLiteral("inverted") : QStringLiteral("normal"))
                       .arg(QString::number(ch.Amplitude, 'f', 2));
        anyEmptyMux = anyEmptyMux || sources.isEmpty();
        if (IndexOf(ch.MuxGate) > 0) {
            t.Detail += QStringLiteral(", mux gate ") + ItemText(TKeywordTable::ktMuxGate, IndexOf(ch.MuxGate));
            anyMuxGate = true;
        }
        d.Traces.push_back(std::move(t));
    }

    if (anySync)
        d.Notes << QStringLiteral("A delay counts from the start of its sync source's pulse.");
    if (anyCounted)
        d.Notes << QStringLiteral(
            "Single shot, burst, duty-cycle and wait counts are counted in T0's pulses, "
            "each channel on its own.");
    if (anyDisabled)
        d.Notes << QStringLiteral("A disabled channel is drawn flat and grey and adds nothing to an output.");
    if (anyRefused)
        d.Notes << QStringLiteral("A channel whose sync chain the panel refuses is drawn without pulses.");
    if (standard > 0)
        d.Notes << QStringLiteral(
            "An output is the OR of the channels ticked in its multiplexer, "
            "drawn with its own channel's polarity.");
    if (anyEmptyMux)
        d.Notes << QStringLiteral("An output with no channel ticked is drawn flat.");
    if (anyMuxGate)
        d.Notes << QStringLiteral("The multiplexer gate is noted, not drawn.");
    if (anyPast)
        d.Notes << QStringLiteral("Red: a pulse runs past the end of its T0 period.");
    if (anyOverlap)
        d.Notes << QStringLiteral("Orange: a pulse overlaps the next pulse of its channel.");

    d.SpanStart = 0;
    d.SpanStop = period * d.Periods;
    for (const TTrace& t : d.Traces)
        if (!t.Pulses.empty()) {
            d.SpanStart = std::min(d.SpanStart, t.Pulses.front().Start);
            d.SpanStop = std::max(d.SpanStop, t.Pulses.back().Stop);
        }
    return d;
}
