// The panel's own read-back of a snapshot-test generator (SnapshotCases.h),
// in the window as it runs: prints the settings lines it leaves, one a line.
//   panel_snapshot_lines MODEL [--no-muxgate]
// The window-free snapshot test compares its reader's lines with these.
#include "readback/ReadBackRig.h"
#include "readback/SnapshotCases.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <exception>

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: panel_snapshot_lines MODEL [--no-muxgate]\n");
        return 2;
    }
    const std::string model = argv[1];
    const bool muxGate = !(argc > 2 && std::strcmp(argv[2], "--no-muxgate") == 0);
    try {
        TReadBackRig rig;
        rig.Connect(model, {}, SnapshotGenerator(model, muxGate), SnapshotServer(std::string()));
        rig.Server->withGenerator([](jt6400sim::Generator& g) { g.setSettings(VariedSettings(g.model())); });
        rig.App->LaunchTimerTimer();
        rig.Settle();
        for (const QString& line : rig.State().SettingsList)
            std::printf("%s\n", line.toLatin1().constData());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
