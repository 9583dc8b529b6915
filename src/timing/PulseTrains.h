// The pulses a set of settings describes, worked out from the settings
// snapshot alone: T0, every channel page of the model and the output each
// standard channel's connector gives, as lists of high intervals over a span
// of T0 periods. It reads the settings the plain way and says so in its
// notes wherever the generator's own behaviour is not known from them; it
// never stands for a measurement.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

struct TSettingsSnapshot;

// One interval during which a signal is active, in seconds from the start of
// T0's first period.
struct TPulse {
    double Start = 0;
    double Stop = 0;
    bool operator==(const TPulse&) const = default;
};

enum class TMarkKind {
    mkPastPeriod,  // the pulse goes on past the end of its T0 period
    mkOverlap,     // the pulse is still on when the next one of its train starts
};

// A stretch of a trace that is drawn flagged.
struct TMark {
    double Start = 0;
    double Stop = 0;
    TMarkKind Kind = TMarkKind::mkPastPeriod;
};

enum class TTraceKind { tkT0, tkChannel, tkOutput };

struct TTrace {
    TTraceKind Kind = TTraceKind::tkChannel;
    int Channel = 0;  // 0 for T0, 1..8 for a channel and for its output
    QString Name;     // "T0", "Ch A", "Ch E (V)", "Out A"
    QString Detail;   // what the trace follows: mode, counts, sync, mux, level
    bool Virtual = false;
    bool Enabled = true;    // false: drawn flat and grey
    bool Inverted = false;  // the signal rests high and pulses low
    // The panel's message when the channel's sync chain is refused; the
    // channel then has no pulses.
    QString Refused;
    // Active intervals, in time order, overlapping ones merged.
    std::vector<TPulse> Pulses;
    std::vector<TMark> Marks;
    // The last pulse is still active at the end of the drawing: it stops
    // there only because nothing later is worked out, and is drawn going on.
    bool OpenEnd = false;

    // The level drawn at time T: active inside a pulse (and from the start of
    // an open last pulse on), inverted for inverted polarity; always low for a
    // disabled or refused trace.
    bool HighAt(double t) const;
};

struct TTimingDiagram {
    double Period = 0;  // T0 period; 0 when the settings give none
    int Periods = 0;    // T0 periods whose pulses are all drawn
    // The time span worked out: from the earliest pulse (0 s or a negative
    // delay before it) to the end of the drawing. The end lies at the end of
    // the last of Periods or later, where the last pulse fired in them stops;
    // every signal is worked out up to it, T0 included, and nothing past it.
    double SpanStart = 0;
    double SpanStop = 0;
    // The settings' counts go on past the end (a burst, wait or cycle count
    // whose end is not drawn), or a pulse fired within Periods starts past it.
    bool Cut = false;
    std::vector<TTrace> Traces;
    // The legend: how the settings were read where the generator's exact
    // behaviour is not known from them.
    QStringList Notes;

    const TTrace* Find(const QString& name) const;
};

// The most T0 periods the window works out and draws for the counts in
// force: the pulses of 1,000 periods of eight channels are worked out and
// painted within one frame. A pattern that needs more is drawn cut, and the
// legend says where.
inline constexpr int kMaxDrawnPeriods = 1000;

// T0 periods enough to show the modes and counts in force, followed along
// each sync chain: every burst, single shot and wait with its end, duty
// cycles (two, or all of a cycle count with its end); at least 4, at most
// kMaxDrawnPeriods.
int DefaultPeriodCount(const TSettingsSnapshot& snapshot);

// The pulse trains of Periods T0 periods, and of what follows them up to the
// end of the drawing (TTimingDiagram::SpanStop).
TTimingDiagram BuildTimingDiagram(const TSettingsSnapshot& snapshot, int periods);
inline constexpr int kMaxPeriods = 100000;

// A count with "," between thousands, as the panel's edits show it.
QString GroupedCount(std::uint64_t n);

// "12.5 µs", "3 ms", "250 ps": Seconds in the unit that keeps 1 to 999 before
// the point, with up to Decimals decimals and no trailing zeros.
QString TimeText(double seconds, int decimals = 3);
// Seconds in the unit that keeps 1 to 999 before the point, with every digit
// down to Resolution (a picosecond for a setting) and no trailing zeros:
// "1.0000001 s", "2.000000105 s", "12.5 µs".
QString PreciseTimeText(double seconds, double resolution = 1e-12);
