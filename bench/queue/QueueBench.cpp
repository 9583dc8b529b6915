// The command queue under a held spin button and under a burst, against the
// simulated generator at line rate, through the real window (off-screen):
//  - queue latency: from one step of a spin edit to the generator's reply
//    having been read (the task tick comes every 5 ms, then one exchange);
//  - a burst of 1000 edits queued before any tick: all sent, in order, once.
#include "support/AppStart.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "support/AppTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "window/MainForm.h"
#include "app/Program.h"
#include "scheduling/StatusPoll.h"
#include "PtyServer.h"
#include "support/SimTrace.h"
#include "support/SimulatedGenerator.h"
#include "scheduling/TaskQueue.h"
#include "widgets/PlusSpinEdit.h"

namespace {

QStringList Received(const jt6400sim::PtyServer& server)
{
    return ReceivedLines(server.trace());
}

// Runs the event loop until the queue is empty and no tick is running.
void Drain(TJT6400App& app)
{
    while (app.Queue().TaskCount() > 0 || !app.Line().Idle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QTemporaryDir dir;
    qputenv("JT6400_PORT_DIR", dir.path().toLocal8Bit());

    jt6400sim::GeneratorOptions g;
    g.identity.model = "6404+";
    jt6400sim::ServerOptions o;
    o.pace = true;
    const auto server = ServeGenerator(dir.path(), 3, jt6400sim::Generator(g), o);

    TScriptedDialogs dialogs;
    TScriptedKeys keys;
    TRecordingProcess process;
    TProgram program({}, {dialogs, keys, process});
    TJT6400App& app = program.App();
    if (!StartUp(app)) {
        std::fprintf(stderr, "no generator found\n");
        return 1;
    }
    // The launch's read-back runs on the line; it ends (and starts the poll)
    // before the first step is timed.
    app.LaunchTimerTimer();
    Drain(app);
    program.StatusPoll().Stop();  // only the queue talks to the generator here
    TPlusSpinEdit* delay = app.Form().ChannelControls.ChDelayAdj[3];
    delay->setIncrement(5e-9);

    // Queue latency of single steps, one after the other.
    const int steps = 200;
    std::vector<double> latency;
    for (int i = 0; i < steps; ++i) {
        QElapsedTimer t;
        t.start();
        delay->StepUp();
        Drain(app);
        latency.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(latency.begin(), latency.end());
    double sum = 0;
    for (double l : latency)
        sum += l;

    // A burst of 1000 edits before the first tick.
    const int before = Received(*server).size();
    TPlusSpinEdit* burst = app.Form().ChannelControls.ChBurstAdj[1];
    QStringList expected;
    QElapsedTimer t;
    t.start();
    for (int i = 1; i <= 1000; ++i) {
        burst->setValue(1000 + i);
        expected << QString(":PULS1:BCO %1").arg(1000 + i);
    }
    const qint64 queuedAt = t.elapsed();
    Drain(app);
    const double burstMs = t.nsecsElapsed() / 1e6;
    const QStringList sent = Received(*server).mid(before);
    const bool inOrder = sent == expected;

    std::printf("Command queue against a paced 6404+ (115200 baud line time per byte)\n");
    std::printf("%-44s %10s %10s %10s %10s\n", "measure", "mean ms", "p50 ms", "p95 ms", "max ms");
    std::printf("%-44s %10.2f %10.2f %10.2f %10.2f\n", "spin step -> reply read (200 steps)", sum / steps,
                latency[steps / 2], latency[steps * 95 / 100], latency.back());
    std::printf("%-44s %10.1f ms (queued in %lld ms)\n", "burst of 1000 edits, all replies read", burstMs,
                static_cast<long long>(queuedAt));
    std::printf("%-44s %d of %d, %s\n", "burst commands received", static_cast<int>(sent.size()),
                static_cast<int>(expected.size()), inOrder ? "in order, none lost or repeated" : "MISMATCH");
    return inOrder ? 0 : 1;
}
