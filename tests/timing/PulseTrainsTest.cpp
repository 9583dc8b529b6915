// The pulse trains worked out from a settings snapshot, without any window.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "model/SettingsSnapshot.h"
#include "timing/PulseTrains.h"

namespace {

constexpr double kPeriod = 1e-6;

// A 6404+ with every channel on, 100 ns wide, no delay, synchronised to T0,
// normal polarity, each standard output carrying its own channel.
TSettingsSnapshot Snapshot(const QString& model = "6404+")
{
    TSettingsSnapshot s;
    s.DeviceIdentity.Model = model;
    s.ChannelCount = 8;
    if (model == "6402")
        s.ChannelCount = 2;
    s.SystemSettings.Period = kPeriod;
    for (int c = 1; c <= kMaxChannel; ++c) {
        TChannelSettings& ch = s.ChannelSettings[c];
        ch.Enabled = 1;
        ch.Width = 1e-7;
        ch.Polarity = TChannelPolarity::Normal;
        ch.Amplitude = 4;
        ch.MuxMask = 1 << (c - 1);
        ch.BurstCount = 1;
        ch.DutyOnCount = 1;
        ch.DutyOffCount = 1;
    }
    return s;
}

std::vector<double> Starts(const TTrace& t)
{
    std::vector<double> out;
    for (const TPulse& p : t.Pulses)
        out.push_back(p.Start);
    return out;
}

void ExpectTimes(const std::vector<double>& actual, const std::vector<double>& expected, const char* what)
{
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-15) << what << " pulse " << i;
}

struct TrainCase {
    const char* name;
    std::function<void(TSettingsSnapshot&)> set;
    int periods;
    const char* trace;
    std::vector<double> starts;  // in periods
    double width;                // seconds, the same for every pulse
};

}  // namespace

TEST(PulseTrains, ModesSyncChainsAndCounts)
{
    using S = TSettingsSnapshot;
    const TrainCase cases[] = {
        {"T0 continuous", [](S&) {}, 4, "T0", {0, 1, 2, 3}, kPeriod / 10},
        {"T0 single shot", [](S& s) { s.SystemSettings.SystemMode = TSystemMode::SingleShot; }, 4, "T0", {0}, kPeriod / 10},
        {"T0 burst of 3",
         [](S& s) { s.SystemSettings.SystemMode = TSystemMode::Burst, s.SystemSettings.BurstCount = 3; },
         6,
         "T0",
         {0, 1, 2},
         kPeriod / 10},
        {"T0 duty cycle 2 on 1 off",
         [](S& s) {
             s.SystemSettings.SystemMode = TSystemMode::DutyCycle, s.SystemSettings.DutyOnCount = 2, s.SystemSettings.DutyOffCount = 1;
         },
         6,
         "T0",
         {0, 1, 3, 4},
         kPeriod / 10},
        {"delay from T0", [](S& s) { s.ChannelSettings[1].Delay = 2e-7; }, 3, "Ch A", {0.2, 1.2, 2.2}, 1e-7},
        {"chain C from B from A",
         [](S& s) {
             s.ChannelSettings[1].Delay = 1e-7;
             s.ChannelSettings[2].Delay = 2e-7, s.ChannelSettings[2].SyncSource = 1;
             s.ChannelSettings[3].Delay = 3e-7, s.ChannelSettings[3].SyncSource = 2;
         },
         2,
         "Ch C",
         {0.6, 1.6},
         1e-7},
        {"negative delay after a source",
         [](S& s) {
             s.ChannelSettings[1].Delay = 5e-7;
             s.ChannelSettings[4].Delay = -2e-7, s.ChannelSettings[4].SyncSource = 1;
         },
         2,
         "Ch D",
         {0.3, 1.3},
         1e-7},
        {"channel single shot", [](S& s) { s.ChannelSettings[1].Mode = TChannelMode::SingleShot; }, 4, "Ch A", {0}, 1e-7},
        {"channel burst of 2 after waiting 1",
         [](S& s) {
             s.ChannelSettings[1].Mode = TChannelMode::Burst, s.ChannelSettings[1].BurstCount = 2, s.ChannelSettings[1].WaitCount = 1;
         },
         6,
         "Ch A",
         {1, 2},
         1e-7},
        {"channel duty cycle 1 on 2 off",
         [](S& s) {
             s.ChannelSettings[2].Mode = TChannelMode::DutyCycle, s.ChannelSettings[2].DutyOnCount = 1, s.ChannelSettings[2].DutyOffCount = 2;
         },
         7,
         "Ch B",
         {0, 3, 6},
         1e-7},
        {"wait count 3", [](S& s) { s.ChannelSettings[1].WaitCount = 3; }, 5, "Ch A", {3, 4}, 1e-7},
        {"channel counts the pulses T0 gives",
         [](S& s) {
             s.SystemSettings.SystemMode = TSystemMode::DutyCycle, s.SystemSettings.DutyOnCount = 1, s.SystemSettings.DutyOffCount = 1;
             s.ChannelSettings[1].Mode = TChannelMode::Burst, s.ChannelSettings[1].BurstCount = 2;
         },
         8,
         "Ch A",
         {0, 2},
         1e-7},
        {"virtual channel single shot after a wait",
         [](S& s) { s.ChannelSettings[6].Mode = TChannelMode::SingleShot, s.ChannelSettings[6].WaitCount = 2; },
         5,
         "Ch F (V)",
         {2},
         1e-7},
        {"system single shot stops every channel mode",
         [](S& s) {
             s.SystemSettings.SystemMode = TSystemMode::SingleShot, s.ChannelSettings[1].Mode = TChannelMode::Burst, s.ChannelSettings[1].BurstCount = 5;
         },
         4,
         "Ch A",
         {0},
         1e-7},
    };
    for (const TrainCase& k : cases) {
        TSettingsSnapshot s = Snapshot();
        k.set(s);
        const TTimingDiagram d = BuildTimingDiagram(s, k.periods);
        const TTrace* t = d.Find(k.trace);
        ASSERT_NE(t, nullptr) << k.name;
        EXPECT_TRUE(t->Refused.isEmpty()) << k.name;
        // The legend says how counts and sync chains are read wherever they
        // are used.
        const QString notes = d.Notes.join('\n');
        const TChannelSettings& ch = s.ChannelSettings[t->Channel];
        EXPECT_EQ(notes.contains("counted in T0's pulses"), t->Channel > 0 && (ch.Mode != TChannelMode::Normal || ch.WaitCount > 0))
            << k.name;
        EXPECT_EQ(notes.contains("from the start of its sync source"), t->Channel > 0 && ch.SyncSource != 0) << k.name;
        std::vector<double> expected;
        for (double p : k.starts)
            expected.push_back(p * kPeriod);
        ExpectTimes(Starts(*t), expected, k.name);
        for (const TPulse& p : t->Pulses)
            EXPECT_NEAR(p.Stop - p.Start, k.width, 1e-15) << k.name;
    }
}

TEST(PulseTrains, ASyncLoopIsRefusedWithThePanelsMessage)
{
    struct LoopCase {
        std::vector<std::pair<int, int>> syncs;  // channel, source
        std::vector<std::pair<const char*, const char*>> refused;
        const char* clear;  // a channel outside the loop that keeps its pulses
    } cases[] = {
        {{{1, 2}, {2, 1}},
         {{"Ch A", "Error. You cannot sync two channels to each other."},
          {"Ch B", "Error. You cannot sync two channels to each other."}},
         "Ch C"},
        {{{3, 3}}, {{"Ch C", "Error. Channel cannot sync to itself."}}, "Ch A"},
        {{{1, 2}, {2, 3}, {3, 1}},
         {{"Ch A", "Error. Circular sync reference."},
          {"Ch B", "Error. Circular sync reference."},
          {"Ch C", "Error. Circular sync reference."}},
         "Ch D"},
        {{{1, 2}, {2, 1}, {4, 1}, {5, 4}},
         {{"Ch D", "Its sync source Ch A is refused."}, {"Ch E (V)", "Its sync source Ch D is refused."}},
         "Ch F (V)"},
    };
    for (const LoopCase& k : cases) {
        TSettingsSnapshot s = Snapshot();
        for (auto [c, source] : k.syncs)
            s.ChannelSettings[c].SyncSource = source;
        const TTimingDiagram d = BuildTimingDiagram(s, 2);
        for (auto [name, message] : k.refused) {
            const TTrace* t = d.Find(name);
            ASSERT_NE(t, nullptr) << name;
            EXPECT_EQ(t->Refused, message) << name;
            EXPECT_TRUE(t->Pulses.empty()) << name;
            EXPECT_FALSE(t->HighAt(0.05e-6)) << name;
        }
        ASSERT_NE(d.Find(k.clear), nullptr);
        EXPECT_TRUE(d.Find(k.clear)->Refused.isEmpty()) << k.clear;
        EXPECT_EQ(d.Find(k.clear)->Pulses.size(), 2u) << k.clear;
        EXPECT_TRUE(d.Notes.join('\n').contains("refuses")) << d.Notes.join('\n').toStdString();
    }
}

TEST(PulseTrains, OutputsAreTheOrOfTheirMultiplexerThroughTheirOwnStage)
{
    TSettingsSnapshot s = Snapshot();
    s.ChannelSettings[1].MuxMask = 0b10001;  // A and E
    s.ChannelSettings[5].Delay = 5e-7;
    s.ChannelSettings[1].Polarity = TChannelPolarity::Inverted;  // output A inverted
    s.ChannelSettings[1].Amplitude = 3.3;
    s.ChannelSettings[2].MuxMask = 0b1100;  // C and D, D disabled
    s.ChannelSettings[4].Enabled = 0;
    s.ChannelSettings[3].Delay = 3e-7;
    s.ChannelSettings[3].MuxMask = 0;       // nothing ticked
    s.ChannelSettings[4].MuxMask = 1 << 1;  // B, but D's own stage is off
    const TTimingDiagram d = BuildTimingDiagram(s, 2);

    const TTrace& outA = *d.Find("Out A");
    EXPECT_EQ(outA.Kind, TTraceKind::tkOutput);
    ExpectTimes(Starts(outA), {0, 5e-7, 1e-6, 1.5e-6}, "Out A");
    EXPECT_TRUE(outA.Inverted);
    EXPECT_FALSE(outA.HighAt(0.5e-7));  // a pulse pulls the inverted output low
    EXPECT_TRUE(outA.HighAt(2e-7));
    EXPECT_TRUE(outA.Detail.contains("A or E")) << outA.Detail.toStdString();
    EXPECT_TRUE(outA.Detail.contains("3.30 V")) << outA.Detail.toStdString();
    EXPECT_TRUE(outA.Detail.contains("inverted")) << outA.Detail.toStdString();

    ExpectTimes(Starts(*d.Find("Out B")), {3e-7, 1.3e-6}, "Out B (D disabled adds nothing)");
    EXPECT_TRUE(d.Find("Out C")->Pulses.empty());
    EXPECT_TRUE(d.Find("Out C")->Detail.contains("no channel ticked"));
    EXPECT_TRUE(d.Find("Out D")->Pulses.empty());
    EXPECT_FALSE(d.Find("Out D")->Enabled);

    // The channel traces: A drawn inverted, D flat.
    EXPECT_TRUE(d.Find("Ch A")->Inverted);
    EXPECT_FALSE(d.Find("Ch A")->HighAt(0.5e-7));
    EXPECT_TRUE(d.Find("Ch A")->HighAt(5e-7));
    EXPECT_FALSE(d.Find("Ch D")->Enabled);
    EXPECT_FALSE(d.Find("Ch D")->HighAt(0.5e-7));
    EXPECT_TRUE(d.Find("Ch D")->Pulses.size() == 2);  // its timing still runs
    EXPECT_TRUE(d.Notes.join('\n').contains("disabled")) << d.Notes.join('\n').toStdString();
}

TEST(PulseTrains, EachModelShowsItsPagesWithVirtualChannelsMarkedAndItsOutputs)
{
    struct ModelCase {
        const char* model;
        QStringList names;
    } cases[] = {
        {"6402", {"T0", "Ch A", "Ch B", "Out A", "Out B"}},
        {"6402+", {"T0", "Ch A", "Ch B", "Ch C (V)", "Ch D (V)", "Out A", "Out B"}},
        {"6404", {"T0", "Ch A", "Ch B", "Ch C", "Ch D", "Out A", "Out B", "Out C", "Out D"}},
        {"6424",
         {"T0", "Ch A", "Ch B", "Ch C", "Ch D", "Ch E (V)", "Ch F (V)", "Ch G (V)", "Ch H (V)", "Out A", "Out B",
          "Out C", "Out D"}},
        {"", {"T0", "Ch A", "Ch B"}},
    };
    for (const ModelCase& k : cases) {
        TSettingsSnapshot s = Snapshot(k.model);
        s.ChannelCount = ChannelCountOf(k.model);
        const TTimingDiagram d = BuildTimingDiagram(s, 2);
        QStringList names;
        for (const TTrace& t : d.Traces) {
            names << t.Name;
            EXPECT_EQ(t.Virtual, t.Name.endsWith("(V)")) << k.model;
        }
        EXPECT_EQ(names, k.names) << k.model;
    }
}

TEST(PulseTrains, PulsesPastTheirPeriodAndOverlapsAreMarked)
{
    struct MarkCase {
        const char* name;
        double delay, width;
        int mode;
        bool past, overlap;
    } cases[] = {
        {"inside its period", 2e-7, 5e-7, 0, false, false},
        {"ends past its period", 8e-7, 5e-7, 0, true, false},
        {"wider than a period", 0, 1.5e-6, 0, true, true},
        {"wider than a period, single shot", 0, 1.5e-6, 1, true, false},
    };
    for (const MarkCase& k : cases) {
        TSettingsSnapshot s = Snapshot();
        s.ChannelSettings[2].Delay = k.delay;
        s.ChannelSettings[2].Width = k.width;
        s.ChannelSettings[2].Mode = ModeAt<TChannelMode>(k.mode);
        const TTimingDiagram d = BuildTimingDiagram(s, 4);
        const TTrace& b = *d.Find("Ch B");
        bool past = false, overlap = false;
        for (const TMark& m : b.Marks) {
            past = past || m.Kind == TMarkKind::mkPastPeriod;
            overlap = overlap || m.Kind == TMarkKind::mkOverlap;
            EXPECT_LT(m.Start, m.Stop) << k.name;
        }
        EXPECT_EQ(past, k.past) << k.name;
        EXPECT_EQ(overlap, k.overlap) << k.name;
        EXPECT_EQ(d.Notes.join('\n').contains("past the end"), k.past) << k.name;
        if (k.overlap) {
            // Overlapping pulses run together into one.
            EXPECT_EQ(b.Pulses.size(), 1u) << k.name;
            EXPECT_TRUE(b.HighAt(1.2e-6)) << k.name;
        }
    }
}

TEST(PulseTrains, TheLegendSaysHowTriggersAndGatesAreDrawn)
{
    struct NoteCase {
        std::function<void(TSettingsSnapshot&)> set;
        const char* note;
        const char* t0Detail;
    } cases[] = {
        {[](TSettingsSnapshot& s) { s.SystemSettings.ExtMode = TExtMode::Triggered, s.SystemSettings.TriggerEdge = TTriggerEdge::Rising; },
         "as if a trigger came at 0 s", "Ext. Triggered, rising edge"},
        {[](TSettingsSnapshot& s) { s.SystemSettings.ExtMode = TExtMode::Gated; }, "as if the gate stayed open",
         "Ext. Gated, active low"},
        {[](TSettingsSnapshot& s) { s.ChannelSettings[2].GateMode = TChannelGateMode::ActiveHigh; }, "Ch B gate Active High", "Continuous"},
        {[](TSettingsSnapshot& s) { s.ChannelSettings[1].MuxGate = TMuxGateMode::Inhibit; }, "gate is noted, not drawn", "Continuous"},
    };
    for (const auto& k : cases) {
        TSettingsSnapshot s = Snapshot();
        k.set(s);
        const TTimingDiagram d = BuildTimingDiagram(s, 2);
        EXPECT_TRUE(d.Notes.join('\n').contains(k.note)) << d.Notes.join('\n').toStdString();
        EXPECT_TRUE(d.Find("T0")->Detail.contains(k.t0Detail)) << d.Find("T0")->Detail.toStdString();
        EXPECT_TRUE(d.Notes.first().contains("not a measurement"));
    }
}

TEST(PulseTrains, ThePeriodCountCoversTheModesAndTheSpanEveryPulse)
{
    TSettingsSnapshot s = Snapshot();
    EXPECT_EQ(DefaultPeriodCount(s), 4);
    s.ChannelSettings[1].Mode = TChannelMode::Burst, s.ChannelSettings[1].BurstCount = 5, s.ChannelSettings[1].WaitCount = 3;
    EXPECT_EQ(DefaultPeriodCount(s), 10);
    s.ChannelSettings[2].Mode = TChannelMode::DutyCycle, s.ChannelSettings[2].DutyOnCount = 4, s.ChannelSettings[2].DutyOffCount = 3;
    EXPECT_EQ(DefaultPeriodCount(s), 14);
    s.SystemSettings.SystemMode = TSystemMode::Burst, s.SystemSettings.BurstCount = 4000000000u;
    EXPECT_EQ(DefaultPeriodCount(s), 64);

    TSettingsSnapshot t = Snapshot();
    t.ChannelSettings[1].Delay = -3e-7;
    t.ChannelSettings[2].Delay = 3.5e-6;
    const TTimingDiagram d = BuildTimingDiagram(t, 3);
    EXPECT_NEAR(d.SpanStart, -3e-7, 1e-15);
    EXPECT_NEAR(d.SpanStop, 3.5e-6 + 2e-6 + 1e-7, 1e-15);

    t.SystemSettings.Period = 0;
    const TTimingDiagram none = BuildTimingDiagram(t, 3);
    EXPECT_EQ(none.Periods, 0);
    for (const TTrace& trace : none.Traces)
        EXPECT_TRUE(trace.Pulses.empty()) << trace.Name.toStdString();
}

TEST(PulseTrains, TimesAreWrittenInTheUnitThatFits)
{
    const std::pair<double, const char*> cases[] = {
        {0, "0 s"},
        {2.5, "2.5 s"},
        {1e-3, "1 ms"},
        {0.0125, "12.5 ms"},
        {1.5e-6, "1.5 µs"},
        {999e-9, "999 ns"},
        {4e-9, "4 ns"},
        {5e-12, "5 ps"},
        {-2e-7, "-200 ns"},
        {1e-6, "1 µs"},
        {123.4567e-6, "123.457 µs"},
    };
    for (auto [seconds, text] : cases)
        EXPECT_EQ(TimeText(seconds), QString::fromUtf8(text)) << seconds;
}
