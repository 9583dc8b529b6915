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
    EXPECT_EQ(DefaultPeriodCount(s), kMaxDrawnPeriods);

    TSettingsSnapshot t = Snapshot();
    t.ChannelSettings[1].Delay = -3e-7;
    t.ChannelSettings[2].Delay = 3.5e-6;
    const TTimingDiagram d = BuildTimingDiagram(t, 3);
    EXPECT_NEAR(d.SpanStart, -3e-7, 1e-15);
    EXPECT_NEAR(d.SpanStop, 3.5e-6 + 2e-6 + 1e-7, 1e-15);
    // Everything runs on to the end of the span widened for the late pulse:
    // T0 and Ch A too, not only the three periods asked for.
    ExpectTimes(Starts(*d.Find("T0")), {0, 1e-6, 2e-6, 3e-6, 4e-6, 5e-6}, "T0 to the end");
    ExpectTimes(Starts(*d.Find("Ch A")), {-3e-7, 0.7e-6, 1.7e-6, 2.7e-6, 3.7e-6, 4.7e-6}, "Ch A to the end");
    EXPECT_FALSE(d.Cut);

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

TEST(PulseTrains, AChannelFiresOnlyWhenItsSyncSourceFiresAndCountsItsPulses)
{
    using S = TSettingsSnapshot;
    auto chA = [](S& s) -> TChannelSettings& { return s.ChannelSettings[1]; };
    auto cOnA = [](S& s) { s.ChannelSettings[3].SyncSource = 1, s.ChannelSettings[3].Delay = 2e-7; };
    const TrainCase cases[] = {
        {"C after A's burst of 3",
         [&](S& s) { chA(s).Mode = TChannelMode::Burst, chA(s).BurstCount = 3, cOnA(s); },
         6,
         "Ch C",
         {0.2, 1.2, 2.2},
         1e-7},
        {"C after A's wait of 2",
         [&](S& s) { chA(s).WaitCount = 2, cOnA(s); },
         5,
         "Ch C",
         {2.2, 3.2, 4.2},
         1e-7},
        {"C after A's duty cycle 1 on 2 off",
         [&](S& s) { chA(s).Mode = TChannelMode::DutyCycle, chA(s).DutyOnCount = 1, chA(s).DutyOffCount = 2, cOnA(s); },
         7,
         "Ch C",
         {0.2, 3.2, 6.2},
         1e-7},
        {"C's burst of 2 counts A's pulses, not T0's",
         [&](S& s) {
             chA(s).Mode = TChannelMode::DutyCycle, chA(s).DutyOnCount = 1, chA(s).DutyOffCount = 1, cOnA(s);
             s.ChannelSettings[3].Mode = TChannelMode::Burst, s.ChannelSettings[3].BurstCount = 2;
         },
         8,
         "Ch C",
         {0.2, 2.2},
         1e-7},
        {"C's wait of 1 counts A's pulses",
         [&](S& s) {
             chA(s).Mode = TChannelMode::DutyCycle, chA(s).DutyOnCount = 1, chA(s).DutyOffCount = 2, cOnA(s);
             s.ChannelSettings[3].WaitCount = 1;
         },
         7,
         "Ch C",
         {3.2, 6.2},
         1e-7},
        {"D after C after a single-shot A",
         [&](S& s) {
             chA(s).Mode = TChannelMode::SingleShot, cOnA(s);
             s.ChannelSettings[4].SyncSource = 3, s.ChannelSettings[4].Delay = 1e-7;
         },
         4,
         "Ch D",
         {0.3},
         1e-7},
        {"a virtual channel after a source that waits",
         [&](S& s) { s.ChannelSettings[2].WaitCount = 3, s.ChannelSettings[7].SyncSource = 2; },
         5,
         "Ch G (V)",
         {3, 4},
         1e-7},
    };
    for (const TrainCase& k : cases) {
        TSettingsSnapshot s = Snapshot();
        k.set(s);
        const TTimingDiagram d = BuildTimingDiagram(s, k.periods);
        const TTrace* t = d.Find(k.trace);
        ASSERT_NE(t, nullptr) << k.name;
        EXPECT_TRUE(t->Refused.isEmpty()) << k.name;
        EXPECT_TRUE(d.Notes.join('\n').contains("fires only when that channel fires")) << k.name;
        std::vector<double> expected;
        for (double p : k.starts)
            expected.push_back(p * kPeriod);
        ExpectTimes(Starts(*t), expected, k.name);
    }
}

TEST(PulseTrains, TheDutyCycleCycleCountStopsT0OnPlusGenerators)
{
    struct CycleCase {
        const char* model;
        int cycles;
        std::vector<double> starts;  // in periods, over 12 periods
        bool noted;
    } cases[] = {
        {"6404+", 1, {0, 1}, true},
        {"6404+", 2, {0, 1, 5, 6}, true},
        {"6404+", 0, {0, 1, 5, 6, 10, 11}, false},
        // Generators without the Plus features have no cycle count.
        {"6404", 1, {0, 1, 5, 6, 10, 11}, false},
    };
    for (const CycleCase& k : cases) {
        TSettingsSnapshot s = Snapshot(k.model);
        s.PlusOption = QString(k.model).endsWith('+');
        s.SystemSettings.SystemMode = TSystemMode::DutyCycle;
        s.SystemSettings.DutyOnCount = 2, s.SystemSettings.DutyOffCount = 3;
        s.SystemSettings.CycleCount = k.cycles;
        const TTimingDiagram d = BuildTimingDiagram(s, 12);
        std::vector<double> expected;
        for (double p : k.starts)
            expected.push_back(p * kPeriod);
        const std::string what = std::string(k.model) + " cycles " + std::to_string(k.cycles);
        ExpectTimes(Starts(*d.Find("T0")), expected, what.c_str());
        // The channels follow T0.
        ExpectTimes(Starts(*d.Find("Ch A")), expected, (what + " Ch A").c_str());
        EXPECT_EQ(d.Notes.join('\n').contains("cycle count"), k.noted) << what;
        EXPECT_EQ(d.Find("T0")->Detail.contains(k.cycles == 1 ? "1 cycle" : "cycles"), k.noted)
            << d.Find("T0")->Detail.toStdString();
    }
}

TEST(PulseTrains, ThePeriodCountFollowsTheChainsAndTheLimit)
{
    using S = TSettingsSnapshot;
    const struct {
        const char* name;
        std::function<void(S&)> set;
        int periods;
    } cases[] = {
        {"a burst of 100 with its end", [](S& s) { s.SystemSettings.SystemMode = TSystemMode::Burst, s.SystemSettings.BurstCount = 100; },
         102},
        {"one duty cycle of 2 on 3 off with its end",
         [](S& s) {
             s.PlusOption = true, s.SystemSettings.SystemMode = TSystemMode::DutyCycle, s.SystemSettings.DutyOnCount = 2;
             s.SystemSettings.DutyOffCount = 3, s.SystemSettings.CycleCount = 1;
         },
         7},
        {"a wait counted in the pulses of a sparse source",
         [](S& s) {
             s.ChannelSettings[1].Mode = TChannelMode::DutyCycle, s.ChannelSettings[1].DutyOnCount = 1;
             s.ChannelSettings[1].DutyOffCount = 9;
             s.ChannelSettings[3].SyncSource = 1, s.ChannelSettings[3].WaitCount = 5;
         },
         61},
        {"a burst longer than its source's",
         [](S& s) {
             s.ChannelSettings[1].Mode = TChannelMode::Burst, s.ChannelSettings[1].BurstCount = 3;
             s.ChannelSettings[3].SyncSource = 1, s.ChannelSettings[3].Mode = TChannelMode::Burst;
             s.ChannelSettings[3].BurstCount = 50;
         },
         5},
        {"more than can be drawn",
         [](S& s) { s.SystemSettings.SystemMode = TSystemMode::Burst, s.SystemSettings.BurstCount = 4000000000u; }, kMaxDrawnPeriods},
        {"a channel burst beyond the limit",
         [](S& s) { s.ChannelSettings[2].Mode = TChannelMode::Burst, s.ChannelSettings[2].BurstCount = 4000000000u; },
         kMaxDrawnPeriods},
    };
    for (const auto& k : cases) {
        TSettingsSnapshot s = Snapshot();
        k.set(s);
        EXPECT_EQ(DefaultPeriodCount(s), k.periods) << k.name;
        const TTimingDiagram d = BuildTimingDiagram(s, DefaultPeriodCount(s));
        const bool cut = k.periods == kMaxDrawnPeriods;
        EXPECT_EQ(d.Cut, cut) << k.name;
        const QString notes = d.Notes.join('\n');
        EXPECT_EQ(notes.contains("Cut at " + PreciseTimeText(k.periods * kPeriod)), cut) << notes.toStdString();
    }

    // The burst of 100 is drawn whole: its last pulse and the empty periods
    // after it.
    TSettingsSnapshot s = Snapshot();
    s.SystemSettings.SystemMode = TSystemMode::Burst, s.SystemSettings.BurstCount = 100;
    const TTimingDiagram d = BuildTimingDiagram(s, DefaultPeriodCount(s));
    EXPECT_EQ(d.Find("T0")->Pulses.size(), 100u);
    EXPECT_EQ(d.Find("Ch B")->Pulses.size(), 100u);
    EXPECT_NEAR(d.SpanStop, 102 * kPeriod, 1e-15);
}

TEST(PulseTrains, APulseStillActiveAtTheEndGoesOnWithoutAFallingEdge)
{
    TSettingsSnapshot s = Snapshot();
    s.ChannelSettings[1].Delay = 1e-7;
    s.ChannelSettings[1].Width = 1.5e-6;  // wider than the 1 µs period
    s.ChannelSettings[2].Delay = 1e-7;
    s.ChannelSettings[2].Width = 6e-7;
    const TTimingDiagram d = BuildTimingDiagram(s, 4);
    // The last pulse fired in the 4 periods stops at 4.6 µs: the drawing
    // ends there, and Ch A is still high, its next pulse having started.
    EXPECT_NEAR(d.SpanStop, 4.6e-6, 1e-15);
    const TTrace& a = *d.Find("Ch A");
    ASSERT_EQ(a.Pulses.size(), 1u);
    EXPECT_TRUE(a.OpenEnd);
    EXPECT_NEAR(a.Pulses.back().Stop, d.SpanStop, 1e-15);
    EXPECT_TRUE(a.HighAt(d.SpanStop));
    EXPECT_TRUE(a.HighAt(d.SpanStop + 1e-6));
    EXPECT_TRUE(d.Find("Out A")->OpenEnd);
    EXPECT_TRUE(d.Find("Out A")->HighAt(d.SpanStop));
    // Ch B's pulses end within their periods; the one of period 4 runs from
    // 4.1 µs to 4.7 µs, so it is cut at 4.6 µs, still going on.
    const TTrace& b = *d.Find("Ch B");
    ExpectTimes(Starts(b), {1e-7, 1.1e-6, 2.1e-6, 3.1e-6, 4.1e-6}, "Ch B");
    EXPECT_TRUE(b.OpenEnd);
    // T0's marker of period 4 ends before the end: not open.
    EXPECT_FALSE(d.Find("T0")->OpenEnd);
    EXPECT_FALSE(d.Find("T0")->HighAt(d.SpanStop));
    EXPECT_TRUE(d.Notes.join('\n').contains("drawn going on")) << d.Notes.join('\n').toStdString();
    EXPECT_TRUE(d.Notes.join('\n').contains("Shaded: nothing is worked out after the drawing ends at 4.6 µs."))
        << d.Notes.join('\n').toStdString();
    EXPECT_FALSE(d.Cut);

    // A pulse as wide as its period keeps the signal high: it ends at the
    // end of the drawing just as the next one starts.
    TSettingsSnapshot full = Snapshot();
    full.ChannelSettings[3].Width = kPeriod;
    const TTimingDiagram f = BuildTimingDiagram(full, 4);
    EXPECT_NEAR(f.SpanStop, 4e-6, 1e-15);
    EXPECT_TRUE(f.Find("Ch C")->OpenEnd);
    EXPECT_TRUE(f.Find("Ch C")->HighAt(f.SpanStop));
    EXPECT_FALSE(f.Find("Ch B")->OpenEnd);

    // A pulse delayed past as many periods again is left out, and the legend
    // says where the drawing is cut.
    TSettingsSnapshot late = Snapshot();
    late.ChannelSettings[2].Delay = 100e-6;
    const TTimingDiagram l = BuildTimingDiagram(late, 4);
    EXPECT_TRUE(l.Cut);
    EXPECT_NEAR(l.SpanStop, 9e-6, 1e-15);
    EXPECT_TRUE(l.Find("Ch B")->Pulses.empty());
    EXPECT_EQ(l.Find("T0")->Pulses.size(), 9u);
    EXPECT_TRUE(l.Notes.join('\n').contains("Cut at 9 µs: later pulses of Ch B are not drawn."))
        << l.Notes.join('\n').toStdString();
}

TEST(PulseTrains, ASyncSourceTheModelLacksIsRefusedWithAMessage)
{
    struct LackCase {
        const char* model;
        int channel, source;
        const char* name;
        const char* message;
    } cases[] = {
        {"6402", 1, 3, "Ch A", "Error. Ch C is not a channel of this 6402."},
        {"6402", 2, 8, "Ch B", "Error. Ch H is not a channel of this 6402."},
        {"6404", 4, 5, "Ch D", "Error. Ch E is not a channel of this 6404."},
    };
    for (const LackCase& k : cases) {
        TSettingsSnapshot s = Snapshot(k.model);
        s.ChannelCount = ChannelCountOf(k.model);
        s.ChannelSettings[k.channel].SyncSource = k.source;
        const TTimingDiagram d = BuildTimingDiagram(s, 2);
        const TTrace& t = *d.Find(k.name);
        EXPECT_EQ(t.Refused, k.message);
        EXPECT_TRUE(t.Pulses.empty());
        EXPECT_TRUE(d.Notes.join('\n').contains("refuses"));
        // The other channels keep their pulses.
        EXPECT_EQ(d.Find(k.channel == 1 ? "Ch B" : "Ch A")->Pulses.size(), 2u) << k.model;
    }
}

TEST(PulseTrains, LabelsAndHugeCountsShowEveryDigitTheSettingsHave)
{
    TSettingsSnapshot s = Snapshot();
    s.SystemSettings.Period = 1.0000002;
    s.ChannelSettings[1].Delay = 1.0000001;
    s.ChannelSettings[1].Width = 2.5e-9;
    s.ChannelSettings[2].Mode = TChannelMode::Burst, s.ChannelSettings[2].BurstCount = 4000000000u;
    const TTimingDiagram d = BuildTimingDiagram(s, 2);
    const QString a = d.Find("Ch A")->Detail;
    EXPECT_TRUE(a.contains("delay 1.0000001 s")) << a.toStdString();
    EXPECT_TRUE(a.contains("width 2.5 ns")) << a.toStdString();
    EXPECT_TRUE(d.Find("T0")->Detail.contains("period 1.0000002 s")) << d.Find("T0")->Detail.toStdString();
    // A burst of 4,000,000,000 is that burst, firing in every period drawn.
    EXPECT_TRUE(d.Find("Ch B")->Detail.contains("Burst 4,000,000,000")) << d.Find("Ch B")->Detail.toStdString();
    EXPECT_EQ(d.Find("Ch B")->Pulses.size(), 2u);

    const struct {
        double seconds, resolution;
        const char* text;
    } cases[] = {
        {2.000000105, 1e-11, "2.000000105 s"}, {1.0000001, 1e-12, "1.0000001 s"}, {123.4567e-6, 1e-12, "123.4567 µs"},
        {1.5e-6, 1e-12, "1.5 µs"},             {-2e-7, 1e-12, "-200 ns"},         {0.1 + 0.2, 1e-12, "300 ms"},
        {2.000000105, 1e-3, "2 s"},            {0, 1e-12, "0 s"},                 {999.999999999, 1e-12, "999.999999999 s"},
        {5e-12, 1e-12, "5 ps"},
    };
    for (const auto& k : cases)
        EXPECT_EQ(PreciseTimeText(k.seconds, k.resolution), QString::fromUtf8(k.text)) << k.seconds;
}
