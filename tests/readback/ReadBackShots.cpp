// Reads a simulated 6424 and a simulated 6402 into the window and saves a
// picture of the window after each read-back:
//   readback_shots OUTPUT_FOLDER [PAGE [SYSTEM_PAGE]]
// writes OUTPUT_FOLDER/readback-6424.png and readback-6402.png, with channel
// page PAGE (0 = A) and system page SYSTEM_PAGE (1 = the Plus page) in front.
// Run it under Xvfb for real pixels.
#include "readback/ReadBackRig.h"

#include <QApplication>
#include <QEventLoop>
#include <QTabWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: readback_shots OUTPUT_FOLDER [PAGE [SYSTEM_PAGE]]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int page = argc > 2 ? std::atoi(argv[2]) : 0;
    const int systemPage = argc > 3 ? std::atoi(argv[3]) : 0;
    struct Shot {
        const char* model;
        QStringList commands;
    } shots[] = {
        {"6424",
         {":PULS0:PER 0.0025", ":PULS0:MOD BURS", ":PULS0:BCO 100", ":PULS0:EXT:MODE TRIG", ":PULS1:WIDT 0.000002",
          ":PULS1:DEL 0.000000125", ":PULS2:SYNC CHA", ":PULS5:WIDT 0.00001", ":PULS5:CMOD BURS", ":PULS1:MUX 17",
          ":PULS0:COUN:STAT ON"}},
        {"6402",
         {":PULS0:PER 0.0001", ":PULS1:WIDT 0.00005", ":PULS2:DEL 0.0000011", ":PULS2:SYNC CHA", ":PULS1:MUX 3"}},
    };
    for (const Shot& s : shots) {
        TReadBackRig rig;
        rig.Connect(s.model, s.commands);
        rig.Form().show();
        rig.App->LaunchTimerTimer();
        rig.Settle();
        rig.Form().ChPageControl->setCurrentIndex(page);
        rig.Form().SystemPageControl->setCurrentIndex(systemPage);
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
        const QString path = folder + QStringLiteral("/readback-%1.png").arg(s.model);
        if (!rig.Form().grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
