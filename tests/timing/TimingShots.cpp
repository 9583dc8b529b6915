// Opens the timing diagram of a simulated 6424 and a simulated 6402, each
// set up with a sync chain, a burst and a multiplexed output, and of a 6404
// left with a sync loop, and saves pictures of it:
//   timing_shots OUTPUT_FOLDER
// writes OUTPUT_FOLDER/timing-MODEL.png (the diagram
// window with its cursor), diagram-MODEL.png (the whole diagram as File >
// Export writes it) and, when ImageMagick's import is there, screen-MODEL.png
// (the whole screen). Run it under Xvfb for real pixels;
// not a test.
#include "support/AppStart.h"
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "support/LineWait.h"
#include "PtyServer.h"
#include "app/Program.h"
#include "support/AppTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/SimulatedGenerator.h"
#include "scheduling/StatusPoll.h"
#include "timing/TimingWindow.h"
#include "window/MainForm.h"

namespace {

void Settle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: timing_shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    struct Shot {
        const char* model;
        QStringList commands;
    } shots[] = {
        {"6424", {":PULS0:PER 0.00001",    ":PULS1:DEL 0.000001",  ":PULS1:WIDT 0.000002", ":PULS2:SYNC CHA",
                  ":PULS2:DEL 0.000003",   ":PULS2:WIDT 0.000001", ":PULS3:SYNC CHB",      ":PULS3:DEL 0.0000005",
                  ":PULS3:WIDT 0.0000015", ":PULS3:CMOD BURS",     ":PULS3:BCO 3",         ":PULS4:POL INV",
                  ":PULS4:WIDT 0.000004",  ":PULS4:WCO 2",         ":PULS5:DEL 0.000006",  ":PULS5:WIDT 0.000001",
                  ":PULS5:CMOD DCYC",      ":PULS5:PCO 1",         ":PULS5:OCO 1",         ":PULS6:STAT 0",
                  ":PULS7:WIDT 0.000012",  ":PULS1:MUX 17",        ":PULS2:MUX 6",         ":PULS2:OUTP:AMPL 3.3"}},
        {"6402",
         {":PULS0:PER 0.000005", ":PULS0:EXT:MODE TRIG", ":PULS1:WIDT 0.000001", ":PULS2:SYNC CHA",
          ":PULS2:DEL 0.0000015", ":PULS2:WIDT 0.000002", ":PULS2:CMOD BURS", ":PULS2:BCO 3", ":PULS2:WCO 1",
          ":PULS1:MUX 3"}},
        // A generator left with a sync loop: the diagram refuses the chain
        // as the panel would.
        {"6404",
         {":PULS0:PER 0.00001", ":PULS1:SYNC CHB", ":PULS2:SYNC CHA", ":PULS3:SYNC CHA", ":PULS4:DEL 0.000002",
          ":PULS1:MUX 15"}},
    };
    for (const Shot& s : shots) {
        QTemporaryDir ports;
        qputenv("JT6400_PORT_DIR", ports.path().toLocal8Bit());
        jt6400sim::GeneratorOptions options;
        options.identity.model = s.model;
        jt6400sim::Generator generator(options);
        for (const QString& c : s.commands) {
            const std::string answer = generator.handle(c.toStdString());
            if (answer != "ok") {
                std::fprintf(stderr, "the simulator refused %s: %s\n", qPrintable(c), answer.c_str());
                return 1;
            }
        }
        const auto pty = ServeGenerator(ports.path(), 3, std::move(generator));

        TScriptedDialogs dialogs;
        TScriptedKeys keys;
        TRecordingProcess process;
        TProgram program({}, {dialogs, keys, process});
        if (!StartUp(program.App()))
            return 1;
        program.App().Show();
        program.App().LaunchTimerTimer();
        WaitForLine(program.App().Line());
        program.App().Form().TimingDiagramAction->trigger();
        TTimingWindow& w = program.TimingWindow();
        w.move(10, 10);
        Settle(300);
        // The cursor over Ch B's first pulse, with its read-out.
        TTimingView& view = *w.View;
        const double period = program.App().State().SystemSettings.Period;
        const QPointF at(view.XOf(0.45 * period), view.Layout().LaneTop(2) + 12);
        QMouseEvent move(QEvent::MouseMove, at, view.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &move);
        Settle(300);

        const QString path = folder + QStringLiteral("/timing-%1.png").arg(s.model);
        if (!w.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
        const QString whole = folder + QStringLiteral("/diagram-%1.png").arg(s.model);
        if (w.ExportPng(whole))
            std::printf("%s\n", qPrintable(whole));
        const QString screen = folder + QStringLiteral("/screen-%1.png").arg(s.model);
        if (QProcess::execute("import", {"-window", "root", screen}) == 0)
            std::printf("%s\n", qPrintable(screen));
        program.StatusPoll().Stop();
    }
    return 0;
}
