// How late a 5 ms timer of the window's thread fires while the panel uses the
// line: during a full read-back of a 6424 and during a 120-line settings-file
// restore, against the simulated generator (a program of its own, at line
// rate). Each tick's lateness is the time since the tick before, less the
// 5 ms asked for; p50, p99 and the largest are printed per case.
//   bench_latency [--count N]
// The window's thread runs its own event loop meanwhile, as in the program,
// and the benchmark waits for the work to end the way the program does. The
// same source builds against a panel whose exchanges run on the window's
// thread (their calls then return once the work is done).
#include "readback/ReadBackRig.h"

#include "BenchClock.h"

#include "storage/Storage.h"
#include "window/MainForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <vector>

#if __has_include("comm/LineOwner.h")
#define JT_LINE_OWNER 1
#include "comm/LineOwner.h"
#endif

namespace {

// The simulated generator as a program of its own, paced at line rate.
class TSim {
public:
    TSim(const QString& model, const QString& link)
    {
        FProcess.start(QCoreApplication::applicationDirPath() + QStringLiteral("/jt6400-sim"),
                       {QStringLiteral("--model"), model, QStringLiteral("--pace"), QStringLiteral("--link"), link});
        if (!FProcess.waitForStarted(10000))
            throw std::runtime_error("jt6400-sim did not start");
        while (!FProcess.canReadLine())
            if (!FProcess.waitForReadyRead(10000))
                throw std::runtime_error("jt6400-sim did not name its device");
    }
    ~TSim()
    {
        FProcess.closeWriteChannel();
        if (!FProcess.waitForFinished(5000))
            FProcess.kill();
        FProcess.waitForFinished(5000);
    }

private:
    QProcess FProcess;
};

// A 5 ms timer of the window's thread and the lateness of each of its ticks.
class TTicker {
public:
    TTicker()
    {
        FTimer.setTimerType(Qt::PreciseTimer);
        FTimer.setInterval(5);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            const double now = WallMs();
            if (FLast > 0)
                Late.push_back(std::max(0.0, now - FLast - 5.0));
            FLast = now;
        });
    }
    void Start()
    {
        FLast = 0;
        FTimer.start();
    }
    void Stop() { FTimer.stop(); }
    std::vector<double> Late;

private:
    QTimer FTimer;
    double FLast = 0;
};

// Turns the event loop, as the program's does, until Done holds.
void RunUntil(const std::function<bool()>& done)
{
    QElapsedTimer cap;
    cap.start();
    while (!done() && cap.elapsed() < 300000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

void Report(const char* what, const std::vector<double>& late, int runs)
{
    std::printf("  %-34s %3d runs %6zu ticks   p50 %6.2f   p99 %6.2f   max %7.2f ms late\n", what, runs, late.size(),
                Percentile(late, 0.5), Percentile(late, 0.99), late.empty() ? 0.0 : *std::max_element(late.begin(), late.end()));
}

// 120 settings lines of a 6424, each one a command the generator takes.
QByteArray RestoreFile()
{
    QByteArray text;
    for (int i = 0; i < 120; ++i) {
        const int channel = i % 8 + 1;
        switch (i / 8 % 3) {
            case 0:
                text += QByteArray(":PULS") + QByteArray::number(channel) + ":WIDT 0.00000" +
                        QByteArray::number(1 + i % 9) + "\r\n";
                break;
            case 1:
                text += QByteArray(":PULS") + QByteArray::number(channel) + ":DEL 0.0000001" +
                        QByteArray::number(i % 10) + "\r\n";
                break;
            default:
                text += QByteArray(":PULS0:PER 0.00") + QByteArray::number(1 + i % 9) + "\r\n";
                break;
        }
    }
    return text;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int count = 3;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--count") == 0)
            count = std::max(1, std::atoi(argv[i + 1]));
    try {
        TReadBackRig rig;
        const TSim sim(QStringLiteral("6424"), QDir(rig.Folder.Path()).filePath(QStringLiteral("COM3")));
        rig.Start();
        if (!rig.App->Port().Opened())
            throw std::runtime_error("discovery did not find the simulated generator");
        rig.Form().show();
        TNoUrls urls;
#ifdef JT_LINE_OWNER
        TStorage storage(rig.State(), rig.Form(), rig.App->MessageForm(), rig.App->Comm(), rig.App->Line(),
                         rig.App->Queue(), rig.Dialogs, urls);
        const auto lineFree = [&] { return rig.App->Line().Idle() && !rig.ReadBack->Running(); };
#else
        TStorage storage(rig.State(), rig.Form(), rig.App->MessageForm(), rig.App->Comm(), rig.App->Queue(),
                         rig.Dialogs, urls);
        const auto lineFree = [&] { return !rig.ReadBack->Running(); };
        // Only the line's own work is measured: no poll rounds in between
        // (the rig of the line owner builds no poll).
        QObject::connect(rig.Form().StatusTimer, &QTimer::timeout, rig.Form().StatusTimer, &QTimer::stop);
#endif
        QObject::connect(&storage, &TStorage::ReadBackDue, rig.ReadBack.get(), [&rig] { rig.ReadBack->Initialize(); });

        QTemporaryDir work;
        const QString file = QDir(work.path()).filePath(QStringLiteral("restore.txt"));
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(RestoreFile()) < 0)
            throw std::runtime_error("cannot write the settings file");
        f.close();

        TTicker ticker;
        std::vector<double> readBack, restore;
        for (int i = 0; i < count; ++i) {
            ticker.Late.clear();
            ticker.Start();
            rig.ReadBack->Initialize();
            RunUntil(lineFree);
            ticker.Stop();
            readBack.insert(readBack.end(), ticker.Late.begin(), ticker.Late.end());
        }
        for (int i = 0; i < count; ++i) {
            const qsizetype before = rig.Dialogs.Shown.size();
            rig.Dialogs.FileNames << file;
            ticker.Late.clear();
            ticker.Start();
            storage.RestoreFromFileClick();
            RunUntil([&] { return rig.Dialogs.Shown.size() > before && lineFree(); });
            ticker.Stop();
            if (rig.Dialogs.Shown.size() <= before || rig.Dialogs.Shown.back().Text != QStringLiteral("Settings loaded."))
                throw std::runtime_error("the restore did not end with its message");
            restore.insert(restore.end(), ticker.Late.begin(), ticker.Late.end());
        }
        std::printf("A 5 ms timer of the window's thread while the line works (6424, simulator at line rate):\n");
        Report("during a read-back", readBack, count);
        Report("during a 120-line file restore", restore, count);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
