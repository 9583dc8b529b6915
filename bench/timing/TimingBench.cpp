// The timing diagram of 8 channels over 1,000 T0 periods: working out the
// pulse trains from the settings and painting them, as one redraw of the
// window does after an edit (target: within one frame, 16 ms). Painted into
// an image of a large window's size, once with every period in view and once
// zoomed in to a few periods.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "model/SettingsSnapshot.h"
#include "timing/PulseTrains.h"
#include "timing/TimingView.h"
#include "window/TextFit.h"

namespace {

// A 6424 whose eight channels use every mode, a sync chain and the
// multiplexers.
TSettingsSnapshot Settings()
{
    TSettingsSnapshot s;
    s.DeviceIdentity.Model = "6424";
    s.ChannelCount = 8;
    s.SystemSettings.Period = 1e-5;
    for (int c = 1; c <= kMaxChannel; ++c) {
        TChannelSettings& ch = s.ChannelSettings[c];
        ch.Enabled = 1;
        ch.Polarity = ModeAt<TChannelPolarity>(c % 3 ? 1 : 0);
        ch.Width = 1e-6 * c;
        ch.Delay = 2e-7 * c;
        ch.Mode = ModeAt<TChannelMode>(c % 4);
        ch.BurstCount = 300;
        ch.DutyOnCount = 3;
        ch.DutyOffCount = 2;
        ch.WaitCount = c == 8 ? 5 : 0;
        ch.SyncSource = c > 1 && c < 4 ? c - 1 : 0;
        ch.MuxMask = c <= 4 ? (1 << (c - 1)) | (1 << (c + 3)) : 0;
        ch.Amplitude = 4;
    }
    return s;
}

struct TFigures {
    double p50 = 0, p95 = 0, max = 0;
};

template <typename F>
TFigures Measure(int runs, F&& work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back()};
}

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const TSettingsSnapshot settings = Settings();
    const QFont font = PanelFont(12);
    constexpr int kPeriods = 1000;
    constexpr int kRuns = 100;
    QImage image(1600, 1000, QImage::Format_ARGB32_Premultiplied);

    const TTimingDiagram probe = BuildTimingDiagram(settings, kPeriods);
    size_t pulses = 0;
    for (const TTrace& t : probe.Traces)
        pulses += t.Pulses.size();

    const TFigures compute = Measure(kRuns, [&] { BuildTimingDiagram(settings, kPeriods); });
    auto redraw = [&](bool zoomed) {
        const TTimingDiagram d = BuildTimingDiagram(settings, kPeriods);
        const TTimeWindow all{d.SpanStart, d.SpanStop};
        const TTimeWindow few{100 * d.Period, 104 * d.Period};
        QPainter p(&image);
        PaintTimingDiagram(p, image.rect(), d, zoomed ? few : all, font, 50.5 * d.Period);
    };
    const TFigures whole = Measure(kRuns, [&] { redraw(false); });
    const TFigures zoomed = Measure(kRuns, [&] { redraw(true); });

    std::printf("Timing diagram: 8 channels of a 6424 over %d periods (%zu pulses in %zu traces), %d runs\n", kPeriods,
                pulses, probe.Traces.size(), kRuns);
    std::printf("%-44s %10s %10s %10s %10s\n", "measure", "p50 ms", "p95 ms", "max ms", "target");
    const auto row = [](const char* name, const TFigures& f, const char* target) {
        std::printf("%-44s %10.2f %10.2f %10.2f %10s\n", name, f.p50, f.p95, f.max, target);
    };
    row("pulse trains only", compute, "");
    row("trains + paint, every period in view", whole, "< 16");
    row("trains + paint, zoomed to 4 periods", zoomed, "< 16");
    return whole.p95 < 16 && zoomed.p95 < 16 ? 0 : 1;
}
