// jt6400-cli's save of a 6404+ next to the panel's read-back of the same
// simulated generator at line rate (every byte takes its 115200-baud time),
// taken in turns in one run. The panel lets go of the port while the
// command-line program runs and takes it again afterwards.
//   bench_cli_save [--count N]
// Reports the medians: the panel's read-back, the whole save (process start,
// the port's probe, the read-back, the file), and the part of the save from
// its first read-back query to the generator's last answer, as the
// simulator's trace times it.
#include "readback/ReadBackRig.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Milliseconds of the day of a trace entry "HH:MM:SS.mmm ...".
double TraceMs(const std::string& entry)
{
    int h = 0, m = 0, s = 0, ms = 0;
    std::sscanf(entry.c_str(), "%d:%d:%d.%d", &h, &m, &s, &ms);
    return ((h * 60.0 + m) * 60.0 + s) * 1000.0 + ms;
}

// From the first query of the read-back to the last answer, in the trace
// since From.
double ReadBackSpanMs(const std::vector<std::string>& trace, std::size_t from)
{
    double first = -1, last = -1;
    for (std::size_t i = from; i < trace.size(); ++i) {
        if (first < 0 && trace[i].find(" RX :PULS0:EXTP:STAT?") != std::string::npos)
            first = TraceMs(trace[i]);
        if (first >= 0 && trace[i].find(" TX ") != std::string::npos)
            last = TraceMs(trace[i]);
    }
    return first >= 0 && last >= first ? last - first : 0;
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

    jt6400sim::ServerOptions server;
    server.pace = true;
    TReadBackRig rig;
    rig.Connect("6404+", {}, {}, server);
    QTemporaryDir work;
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/jt6400-cli");

    std::vector<double> panel, save, span;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer clock;
        clock.start();
        rig.ReadBack->Initialize();
        panel.push_back(clock.nsecsElapsed() / 1e6);

        rig.App->Port().Close();
        const std::size_t mark = rig.Server->trace().size();
        QProcess process;
        clock.start();
        process.start(cli, {QStringLiteral("--port"), QString::number(rig.App->Port().Port()), QStringLiteral("save"),
                            work.filePath(QStringLiteral("save.txt"))});
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            std::fprintf(stderr, "jt6400-cli save failed: %s\n", process.readAllStandardError().constData());
            return 1;
        }
        save.push_back(clock.nsecsElapsed() / 1e6);
        span.push_back(ReadBackSpanMs(rig.Server->trace(), mark));
        rig.App->Port().Open();
    }

    const double p = Median(panel), s = Median(save), r = Median(span);
    std::printf("jt6400-cli save against the panel's read-back, 6404+, paced simulator, %d runs each\n", count);
    std::printf("%-44s %10s\n", "", "ms");
    std::printf("%-44s %10.1f\n", "panel read-back, median", p);
    std::printf("%-44s %10.1f\n", "cli save, whole process, median", s);
    std::printf("%-44s %10.1f\n", "cli save, read-back part, median", r);
    std::printf("%-44s %10.2f\n", "whole save / panel read-back", s / p);
    std::printf("%-44s %10.2f\n", "read-back part / panel read-back", r / p);
    return 0;
}
