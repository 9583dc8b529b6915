// The panel's Storage > Save Settings To File for a snapshot-test generator
// (readback/SnapshotCases.h), in the window as it runs: the first read-back,
// then the menu command with the save dialog answered by OUT.
//   panel_save_file MODEL OUT
// The command-line program's save is compared with the file it leaves.
#include "readback/ReadBackRig.h"
#include "readback/SnapshotCases.h"
#include "storage/Storage.h"

#include <QApplication>
#include <QUrl>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: panel_save_file MODEL OUT\n");
        return 2;
    }
    try {
        const std::string model = argv[1];
        TReadBackRig rig;
        rig.Connect(model, {}, SnapshotGenerator(model, true), SnapshotServer(std::string()));
        rig.Server->withGenerator([](jt6400sim::Generator& g) { g.setSettings(VariedSettings(g.model())); });
        rig.App->LaunchTimerTimer();
        rig.Settle();
        TNoUrls urls;
        TStorage storage(rig.State(), rig.Form(), rig.App->MessageForm(), rig.App->Comm(), rig.App->Line(), rig.App->Queue(),
                         rig.Dialogs, urls);
        QObject::connect(&storage, &TStorage::ReadBackDue, rig.ReadBack.get(), [&rig] { rig.ReadBack->Initialize(); });
        rig.Dialogs.FileNames << QString::fromLocal8Bit(argv[2]);
        storage.SaveToFileClick();
        rig.Settle();
        if (!rig.Dialogs.Shown.isEmpty()) {
            std::fprintf(stderr, "%s\n", rig.Dialogs.Shown.front().Text.toLocal8Bit().constData());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
