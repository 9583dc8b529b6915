// jt6400-cli's save of a 6404+ next to the panel's read-back of the same
// simulated generator (a program of its own) at line rate (every byte takes
// its 115200-baud time), taken in turns in one run. The panel lets go of the port while the
// command-line program runs and takes it again afterwards.
//   bench_cli_save [--count N]
// Reports the medians: the panel's read-back (the whole call, window filled,
// and its exchanges alone), the whole save, and the parts of the save as the
// simulator's trace times them: from the process start to the first line the
// generator receives (start-up, opening the port and the probe's wait after
// opening it), the probe's exchanges (echo off, identification), the
// read-back from its first query to the generator's last answer, and from
// that answer to the end of the process (the file).
#include "readback/ReadBackRig.h"

#include "SimProcess.h"
#include "TraceMarks.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The local time of day in milliseconds, as the trace writes it.
double NowMs()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    std::tm tm{};
    ::localtime_r(&secs, &tm);
    const double ms = duration_cast<microseconds>(now.time_since_epoch()).count() % 1000000 / 1e3;
    return (tm.tm_hour * 60.0 + tm.tm_min) * 60e3 + tm.tm_sec * 1e3 + ms;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int count = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--count") == 0)
            count = std::max(1, std::atoi(argv[i + 1]));

    TReadBackRig rig;
    const TSimProcess sim(rig.Folder.Path());
    rig.Start();
    if (!rig.App->Port().Opened()) {
        std::fprintf(stderr, "discovery did not find the simulated generator\n");
        return 1;
    }
    QTemporaryDir work;
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/jt6400-cli");

    std::vector<double> panel, panelExchanges, save, start, probe, span, end;
    for (int i = 0; i < count; ++i) {
        std::size_t mark = sim.Trace().size();
        QElapsedTimer clock;
        clock.start();
        rig.ReadBack->Initialize();
        rig.Settle();
        panel.push_back(clock.nsecsElapsed() / 1e6);
        const TTraceMarks p = TraceMarks(sim.Trace(), mark);
        panelExchanges.push_back(p.ReadBackMs());

        rig.App->Line().Post([](TCommunication& c) { c.Port().Close(); });
        rig.Settle();
        mark = sim.Trace().size();
        QProcess process;
        const double started = NowMs();
        clock.start();
        process.start(cli, {QStringLiteral("--port"), QString::number(rig.App->Port().Port()), QStringLiteral("save"),
                            work.filePath(QStringLiteral("save.txt"))});
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            std::fprintf(stderr, "jt6400-cli save failed: %s\n", process.readAllStandardError().constData());
            return 1;
        }
        save.push_back(clock.nsecsElapsed() / 1e6);
        const double ended = started + save.back();
        const TTraceMarks c = TraceMarks(sim.Trace(), mark);
        if (!c.Complete()) {
            std::fprintf(stderr, "the trace of the save is incomplete\n");
            return 1;
        }
        start.push_back(c.FirstLine - started);
        probe.push_back(c.FirstQuery - c.FirstLine);
        span.push_back(c.ReadBackMs());
        end.push_back(ended - c.LastAnswer);
        rig.App->Line().Post([](TCommunication& c) { c.Port().Open(); });
        rig.Settle();
    }

    const double p = Median(panel), px = Median(panelExchanges), s = Median(save), r = Median(span);
    std::printf("jt6400-cli save against the panel's read-back, 6404+, paced simulator, %d runs each\n", count);
    std::printf("%-52s %10s\n", "", "ms");
    std::printf("%-52s %10.1f\n", "panel read-back, median", p);
    std::printf("%-52s %10.1f\n", "panel read-back exchanges, median", px);
    std::printf("%-52s %10.1f\n", "cli save, whole process, median", s);
    std::printf("%-52s %10.1f\n", "cli save, start-up and wait after opening, median", Median(start));
    std::printf("%-52s %10.1f\n", "cli save, probe exchanges, median", Median(probe));
    std::printf("%-52s %10.1f\n", "cli save, read-back part, median", r);
    std::printf("%-52s %10.1f\n", "cli save, last answer to exit, median", Median(end));
    std::printf("%-52s %10.2f\n", "whole save / panel read-back", s / p);
    std::printf("%-52s %10.2f\n", "read-back part / panel read-back exchanges", r / px);
    return 0;
}
