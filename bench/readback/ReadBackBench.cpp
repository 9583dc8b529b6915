// Wall and CPU time of a full read-back of a 6404+ against the simulated
// generator (a program of its own) at line rate (every byte takes its
// 115200-baud time on the line), next to the lower bound the line itself
// sets: the bytes sent and received times 10 bits / 115200 baud, plus the
// 1 ms pause before each query; and next to the floor measured in the same
// run, which adds the generator's own turnaround from its trace.
//   bench_readback [--count N] [--queries FILE] [--script REPLAY]
// --queries writes the lines the first read-back sent, one per line, so other
// tools can replay the same sequence. --script names a replay script
// (bench/replay.py): after each read-back the panel lets go of the port and
// the script asks the same queries of the same simulated generator once, so
// the two take turns under the same load. Both are also timed alike from the
// generator's side (its trace): from the first query received to the last
// answer sent, which leaves out what only the panel does before and after
// its exchanges (greying the menu, filling the window).
#include "readback/ReadBackRig.h"

#include "BenchClock.h"
#include "SimProcess.h"
#include "TraceMarks.h"

#include "model/ProgramState.h"

#include <QApplication>
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

// Bytes on the line for the traffic since the mark: each received line with
// its CR LF, each answer with its CR. Turnaround is the generator's own share
// of the exchanges, from its trace: each line received (its last byte in) to
// its answer sent (its last byte out), which holds the answer's line time.
struct TLineLoad {
    long Bytes = 0;
    long SentBytes = 0;
    int Queries = 0;
    double TurnaroundMs = 0;
};
TLineLoad LineLoad(const std::vector<std::string>& trace, std::size_t from)
{
    TLineLoad load;
    double received = -1;
    for (std::size_t i = from; i < trace.size(); ++i) {
        const std::string& t = trace[i];
        const auto rx = t.find(" RX ");
        const auto tx = t.find(" TX ");
        if (rx != std::string::npos) {
            const long bytes = static_cast<long>(t.size() - rx - 4) + 2;
            load.Bytes += bytes;
            load.SentBytes += bytes;
            if (!t.empty() && t.back() == '?')
                ++load.Queries;
            received = TraceMs(t);
        } else if (tx != std::string::npos) {
            load.Bytes += static_cast<long>(t.size() - tx - 4) + 1;
            if (received >= 0)
                load.TurnaroundMs += TraceMs(t) - received;
            received = -1;
        }
    }
    return load;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Writes the lines received since the mark, one per line.
bool WriteQueries(const std::vector<std::string>& trace, std::size_t from, const QString& path)
{
    FILE* f = std::fopen(path.toLocal8Bit().constData(), "w");
    if (!f)
        return false;
    for (std::size_t i = from; i < trace.size(); ++i) {
        const auto rx = trace[i].find(" RX ");
        if (rx != std::string::npos)
            std::fprintf(f, "%s\n", trace[i].c_str() + rx + 4);
    }
    return std::fclose(f) == 0;
}

// One pass of the replay script on the device, with the 1 ms pause; its
// wall time in ms, or a negative value when it failed.
double ScriptPass(const QString& script, const QString& device, const QString& queries)
{
    QProcess process;
    process.start(QStringLiteral("python3"), {script, device, queries, QStringLiteral("1"), QStringLiteral("1")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        std::fprintf(stderr, "replay script failed: %s\n", process.readAllStandardError().constData());
        return -1;
    }
    bool ok = false;
    const double ms = process.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? ms : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int count = 5;
    QString queriesFile;
    QString script;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--count") == 0)
            count = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--queries") == 0)
            queriesFile = QString::fromLocal8Bit(argv[i + 1]);
        if (std::strcmp(argv[i], "--script") == 0)
            script = QString::fromLocal8Bit(argv[i + 1]);
    }
    QTemporaryDir work;
    if (queriesFile.isEmpty() && !script.isEmpty())
        queriesFile = work.filePath(QStringLiteral("queries.txt"));

    TReadBackRig rig;
    const TSimProcess sim(rig.Folder.Path());
    rig.Start();
    if (!rig.App->Port().Opened()) {
        std::fprintf(stderr, "discovery did not find the simulated generator\n");
        return 1;
    }
    const QString device = sim.Device();

    std::vector<double> wall, cpu, scripted, exchanges, scriptedExchanges, turnaround;
    TLineLoad load;
    for (int i = 0; i < count; ++i) {
        const std::size_t mark = sim.Trace().size();
        const double w0 = WallMs(), c0 = ThreadCpuMs();
        rig.ReadBack->Initialize();
        rig.Settle();
        wall.push_back(WallMs() - w0);
        cpu.push_back(ThreadCpuMs() - c0);
        const std::vector<std::string> trace = sim.Trace();
        load = LineLoad(trace, mark);
        turnaround.push_back(load.TurnaroundMs);
        exchanges.push_back(TraceMarks(trace, mark).ReadBackMs());
        if (i == 0 && !queriesFile.isEmpty() && !WriteQueries(trace, mark, queriesFile)) {
            std::fprintf(stderr, "cannot write %s\n", queriesFile.toLocal8Bit().constData());
            return 1;
        }
        if (!script.isEmpty()) {
            rig.App->Line().Post([](TCommunication& c) { c.Port().Close(); });
            rig.Settle();
            const std::size_t scriptMark = sim.Trace().size();
            const double ms = ScriptPass(script, device, queriesFile);
            scriptedExchanges.push_back(TraceMarks(sim.Trace(), scriptMark).ReadBackMs());
            rig.App->Line().Post([](TCommunication& c) { c.Port().Open(); });
            rig.Settle();
            if (ms < 0)
                return 1;
            scripted.push_back(ms);
        }
    }
    std::sort(wall.begin(), wall.end());
    const double lineMs = load.Bytes * 10.0 / 115200.0 * 1e3;
    const double boundMs = lineMs + load.Queries * 1.0;

    std::printf("Full read-back, 6404+, paced simulator, %d runs\n", count);
    std::printf("%-34s %10s\n", "", "ms");
    std::printf("%-34s %10.1f\n", "wall time, median", Median(wall));
    std::printf("%-34s %10.1f\n", "wall time, best", wall.front());
    std::printf("%-34s %10.1f\n", "CPU time (UI thread), median", Median(cpu));
    std::printf("%-34s %10.1f\n", "line time (bytes x 10 / 115200)", lineMs);
    std::printf("%-34s %10.1f\n", "lower bound (+ 1 ms per query)", boundMs);
    std::printf("%-34s %10.2f\n", "median / lower bound", Median(wall) / boundMs);
    // What no client of this generator can go below: its lines' time on the
    // line, the 1 ms pause before each, and the generator's own turnaround
    // (which holds the answers' line time), measured in the same run.
    const double floorMs = load.SentBytes * 10.0 / 115200.0 * 1e3 + load.Queries * 1.0 + Median(turnaround);
    std::printf("%-34s %10.1f\n", "generator turnaround, median", Median(turnaround));
    std::printf("%-34s %10.1f\n", "floor (lines + pauses + turnaround)", floorMs);
    if (!scripted.empty()) {
        std::printf("%-34s %10.1f\n", "replay script, median", Median(scripted));
        std::printf("%-34s %10.2f\n", "read-back / replay script", Median(wall) / Median(scripted));
        std::printf("%-34s %10.1f\n", "read-back exchanges, median", Median(exchanges));
        std::printf("%-34s %10.1f\n", "replay script exchanges, median", Median(scriptedExchanges));
        std::printf("%-34s %10.3f\n", "exchanges / script exchanges", Median(exchanges) / Median(scriptedExchanges));
    }
    std::printf("queries %d, bytes on the line %ld, snapshot lines %lld\n", load.Queries, load.Bytes,
                static_cast<long long>(rig.State().SettingsList.size()));
    return 0;
}
