// Latency and CPU time of one query exchange with the simulated generator at
// line rate (every byte takes its 115200-baud time on the line), with the
// event loop off and on while the answer is awaited, and with a slow
// generator whose answers take 20 ms, and with one that never answers (the
// whole 100 ms response time is spent waiting). The CPU time is that of the calling
// thread only (the simulator serves from a thread of its own), so the
// CPU/wall ratio shows how little the wait for an answer costs.
#include "comm/Communication.h"
#include "support/ScriptedDialogs.h"
#include "serial/JTComPort.h"
#include "BenchClock.h"
#include "PtyServer.h"
#include "support/SimulatedGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

struct Result {
    const char* name;
    int count;
    double meanMs, p50Ms, p95Ms, cpuMs;
    bool ok;
};

Result Run(const char* name, int count, bool allowEvents, int latencyMs, bool silent = false)
{
    QTemporaryDir dir;
    qputenv("JT6400_PORT_DIR", dir.path().toLocal8Bit());

    jt6400sim::GeneratorOptions g;
    g.echo = false;
    jt6400sim::ServerOptions o;
    o.pace = true;
    o.latencyMs = latencyMs;
    o.silent = silent;
    const auto server = ServeGenerator(dir.path(), 1, jt6400sim::Generator(g), o);

    TScriptedDialogs dialogs;
    TJTComPort port(nullptr, &dialogs);
    port.SetPort(1);
    port.SetBaud(115200);
    port.SetEndOfResponse(QByteArray(1, '\r'));
    port.SetShowErrors(false);
    port.SetResponseTime(silent ? 100 : 2000);
    port.SetAllowEvents(allowEvents);
    TCommunication comm(port, dialogs);
    bool ok = port.Open();

    std::vector<double> wall;
    wall.reserve(static_cast<size_t>(count));
    if (!silent)
        comm.QueryDevice(":PULS0:PER");  // warm-up
    const double cpu0 = ThreadCpuMs();
    for (int i = 0; i < count && ok; ++i) {
        const double t0 = WallMs();
        const QString answer = comm.QueryDevice(":PULS0:PER");
        wall.push_back(WallMs() - t0);
        if (answer != (silent ? QString() : QStringLiteral("0.001000000000")))
            ok = false;
    }
    const double cpu = ThreadCpuMs() - cpu0;
    port.Close();
    server->stop();
    qunsetenv("JT6400_PORT_DIR");

    Result r{name, static_cast<int>(wall.size()), 0, 0, 0, 0, ok && !wall.empty()};
    if (wall.empty())
        return r;
    double sum = 0;
    for (double w : wall)
        sum += w;
    std::sort(wall.begin(), wall.end());
    r.meanMs = sum / static_cast<double>(wall.size());
    r.p50Ms = wall[wall.size() / 2];
    r.p95Ms = wall[std::min(wall.size() - 1, wall.size() * 95 / 100)];
    r.cpuMs = cpu / static_cast<double>(wall.size());
    return r;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int count = 200;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--count") == 0)
            count = std::max(1, std::atoi(argv[i + 1]));

    const Result results[] = {
        Run("line rate, events off", count, false, 0),
        Run("line rate, events on", count, true, 0),
        Run("20 ms answers, events on", std::max(1, count / 4), true, 20),
        Run("no answer, 100 ms timeout", std::max(1, count / 20), true, 0, true),
    };
    std::printf("One query exchange (:PULS0:PER? -> 0.001000000000) against jt6400-sim, paced at 115200 baud\n\n");
    std::printf("%-26s %6s %10s %10s %10s %12s %10s\n", "case", "count", "mean ms", "p50 ms", "p95 ms", "CPU ms/exch",
                "CPU/wall");
    bool allOk = true;
    for (const auto& r : results) {
        allOk = allOk && r.ok;
        std::printf("%-26s %6d %10.3f %10.3f %10.3f %12.4f %9.1f%%%s\n", r.name, r.count, r.meanMs, r.p50Ms, r.p95Ms,
                    r.cpuMs, r.meanMs > 0 ? 100.0 * r.cpuMs / r.meanMs : 0.0, r.ok ? "" : "  (FAILED)");
    }
    return allOk ? 0 : 1;
}
