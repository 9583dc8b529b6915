// Support for the end-to-end scenarios: a private X server per test, xdotool
// for keys, clicks and window lookup, the simulator executable on a
// pseudo-terminal with its traffic trace, and the panel executable itself.
#pragma once

#include <gtest/gtest.h>

#include "support/PrivateXServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <functional>
#include <memory>
#include <set>

#include <sys/wait.h>

namespace e2e {

// How often a wait looks again at the window, the trace or a file.
constexpr int kPollMs = 50;

// Waits until `done` holds, looking every kPollMs; false after `limitMs`.
inline bool WaitFor(const std::function<bool()>& done, int limitMs = 10000)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        if (done())
            return true;
        if (t.elapsed() > limitMs)
            return false;
        QThread::msleep(kPollMs);
    }
}

using ::TPrivateXServer;

// One X display as a user sees it: windows, keys, clicks, photographs.
class TScreen {
public:
    explicit TScreen(QString display) : FDisplay(std::move(display)) {}

    // An X client's answer on this display, trimmed; empty when it fails.
    QString Tool(const QString& program, const QStringList& args) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", FDisplay);
        p.setProcessEnvironment(env);
        p.start(program, args);
        p.waitForFinished(10000);
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }
    QString Xdo(const QStringList& args) const { return Tool("xdotool", args); }

    // The visible windows of a process whose title matches the expression.
    QStringList Windows(qint64 pid, const QString& title) const
    {
        const QString found = Xdo({"search", "--all", "--onlyvisible", "--pid", QString::number(pid), "--name", title});
        return found.isEmpty() ? QStringList() : found.split('\n');
    }
    QString WaitForWindow(qint64 pid, const QString& title, int limitMs = 10000) const
    {
        QString window;
        WaitFor(
            [&] {
                const QStringList w = Windows(pid, title);
                window = w.isEmpty() ? QString() : w.first();
                return !window.isEmpty();
            },
            limitMs);
        return window;
    }
    QString Name(const QString& window) const { return Xdo({"getwindowname", window}); }

    struct TGeometry {
        int x = 0, y = 0, width = 0, height = 0;
    };
    TGeometry Geometry(const QString& window) const
    {
        TGeometry g;
        for (const QString& line : Xdo({"getwindowgeometry", "--shell", window}).split('\n')) {
            const int v = line.section('=', 1).toInt();
            if (line.startsWith("X="))
                g.x = v;
            else if (line.startsWith("Y="))
                g.y = v;
            else if (line.startsWith("WIDTH="))
                g.width = v;
            else if (line.startsWith("HEIGHT="))
                g.height = v;
        }
        return g;
    }

    // Clicks at a point relative to the window's top-left corner.
    void Click(const QString& window, int x, int y) const
    {
        const TGeometry g = Geometry(window);
        Xdo({"mousemove", QString::number(g.x + x), QString::number(g.y + y), "click", "1"});
    }
    // Keys (xdotool names) to the window that has the focus.
    void Keys(const QStringList& keys) const { Xdo(QStringList{"key", "--delay", "30"} + keys); }
    void Type(const QString& text) const { Xdo({"type", "--delay", "20", text}); }
    void Focus(const QString& window) const { Xdo({"windowfocus", "--sync", window}); }

    // The whole screen, as the user sees it.
    QImage Photograph() const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", FDisplay);
        p.setProcessEnvironment(env);
        p.start("import", {"-window", "root", "png:-"});
        p.waitForFinished(20000);
        QImage image;
        image.loadFromData(p.readAllStandardOutput(), "PNG");
        return image;
    }
    // The part of the screen a window covers, in the window's coordinates.
    QImage Photograph(const QString& window) const
    {
        const TGeometry g = Geometry(window);
        return Photograph().copy(g.x, g.y, g.width, g.height);
    }

    const QString& Display() const { return FDisplay; }

private:
    QString FDisplay;
};

// The simulator executable serving one COM<n> link of the port folder, with
// its traffic trace in a file of the test's folder.
class TSimulator {
public:
    TSimulator(const QString& folder, int port, const QStringList& options)
        : FTrace(QDir(folder).filePath(QStringLiteral("trace-COM%1-%2.txt").arg(port).arg(++Serial())))
    {
        FProcess.setProcessChannelMode(QProcess::SeparateChannels);
        FProcess.start(JT6400_SIM_EXE, QStringList{"--link", QDir(folder).filePath(QStringLiteral("COM%1").arg(port)),
                                                   "--trace", FTrace} +
                                           options);
        if (FProcess.waitForStarted(5000) && FProcess.waitForReadyRead(5000))
            FDevice = QString::fromLocal8Bit(FProcess.readLine()).trimmed();
    }
    ~TSimulator() { Stop(); }
    TSimulator(const TSimulator&) = delete;
    TSimulator& operator=(const TSimulator&) = delete;

    bool Running() const { return !FDevice.isEmpty() && FProcess.state() == QProcess::Running; }

    // Ends the simulator: its input closes, which it takes as the end.
    void Stop()
    {
        if (FProcess.state() == QProcess::NotRunning)
            return;
        FProcess.closeWriteChannel();
        if (!FProcess.waitForFinished(5000)) {
            FProcess.kill();
            FProcess.waitForFinished(5000);
        }
    }
    // The device disappears, as an unplugged adapter does.
    void Vanish() { ::kill(static_cast<pid_t>(FProcess.processId()), SIGUSR1); }
    // A silent generator starts answering again.
    void Resume() { ::kill(static_cast<pid_t>(FProcess.processId()), SIGUSR2); }

    // The traffic so far: "RX text" and "TX text", without time stamps.
    QStringList Traffic() const
    {
        QFile f(FTrace);
        QStringList lines;
        if (!f.open(QIODevice::ReadOnly))
            return lines;
        for (const QByteArray& raw : f.readAll().split('\n')) {
            if (raw.size() > 13)
                lines << QString::fromLatin1(raw.mid(13));
        }
        return lines;
    }
    // The lines received, in order.
    QStringList Received() const
    {
        QStringList rx;
        for (const QString& l : Traffic())
            if (l.startsWith("RX "))
                rx << l.mid(3);
        return rx;
    }
    int CountReceived(const QString& line) const { return static_cast<int>(Received().count(line)); }
    bool WaitForReceived(const QString& line, int times = 1, int limitMs = 10000) const
    {
        return WaitFor([&] { return CountReceived(line) >= times; }, limitMs);
    }

private:
    static int& Serial()
    {
        static int serial = 0;
        return serial;
    }
    QProcess FProcess;
    QString FTrace;
    QString FDevice;
};

// Every panel process whose working folder is `folder`: the one a test
// started and any that a restart started from it.
inline std::set<qint64> PanelsIn(const QString& folder)
{
    std::set<qint64> pids;
    const QString exe = QFileInfo(JT6400_EXE).canonicalFilePath();
    const QString cwd = QFileInfo(folder).canonicalFilePath();
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        const QString base = "/proc/" + entry;
        if (QFileInfo(base + "/exe").symLinkTarget() == exe && QFileInfo(base + "/cwd").symLinkTarget() == cwd)
            pids.insert(pid);
    }
    return pids;
}

// The panel and its surroundings for one scenario: a private X server, a
// port folder that is also the panel's working folder, simulators in it.
class Scenario : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            GTEST_SKIP() << "needs xdotool (scripts/deps installs it)";
        if (QStandardPaths::findExecutable("Xvfb").isEmpty())
            GTEST_SKIP() << "needs Xvfb (scripts/deps installs it)";
        FX = std::make_unique<TPrivateXServer>(screenSize);
        if (FX->Display().isEmpty())
            GTEST_SKIP() << "Xvfb did not start";
        screen = std::make_unique<TScreen>(FX->Display());
        ASSERT_TRUE(folder.isValid());
    }

    void TearDown() override
    {
        if (panel.state() != QProcess::NotRunning) {
            panel.kill();
            panel.waitForFinished(5000);
        }
        // A restart leaves a new panel that no QProcess of ours owns.
        for (qint64 pid : PanelsIn(folder.path()))
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        WaitFor([&] { return PanelsIn(folder.path()).empty(); }, 5000);
        simulators.clear();
        screen.reset();
        FX.reset();
    }

    QString Path(const QString& name) const { return QDir(folder.path()).filePath(name); }

    TSimulator& AddSimulator(int port, const QStringList& options = {})
    {
        simulators.push_back(std::make_unique<TSimulator>(folder.path(), port, options));
        return *simulators.back();
    }
    void LinkDead(int port, const QString& target = "/nonexistent/ttyUSB0") const
    {
        QFile::link(target, Path(QStringLiteral("COM%1").arg(port)));
    }

    void StartPanel(const QStringList& args = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("JT6400_PORT_DIR", folder.path());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("DISPLAY", screen->Display());
        env.insert("USERNAME", "e2e");
        env.remove("XDG_CURRENT_DESKTOP");
        panel.setProcessEnvironment(env);
        panel.setWorkingDirectory(folder.path());
        panel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        panel.start(JT6400_EXE, args);
        ASSERT_TRUE(panel.waitForStarted(5000));
    }
    qint64 Pid() const { return panel.processId(); }

    // The main window once the generator has been read back: its caption
    // names the port then.
    QString WaitForMainWindow(qint64 pid, int limitMs = 15000) const
    {
        return screen->WaitForWindow(pid, "ComPort: ", limitMs);
    }

    // The main window once the first read-back has ended: the status poll
    // that follows it is the first to ask for the run state.
    QString WaitForReady(const TSimulator& generator, qint64 pid = 0) const
    {
        const QString window = WaitForMainWindow(pid ? pid : Pid());
        if (window.isEmpty() || !generator.WaitForReceived(":PULS0:STAT?", 1, 15000))
            return {};
        return window;
    }

    // A message box of the panel: waits for it, takes the focus and answers
    // it with keys. Returns false when no box came.
    bool Answer(qint64 pid, const QStringList& keys, int limitMs = 10000) const
    {
        const QString box = screen->WaitForWindow(pid, "^jt6400$", limitMs);
        if (box.isEmpty())
            return false;
        screen->Focus(box);
        screen->Keys(keys);
        return true;
    }
    bool NoBoxOf(qint64 pid) const { return screen->Windows(pid, "^jt6400$").isEmpty(); }

    // Clicks at a point of the window that opens a popup (a menu, a list)
    // and waits until the popup is on the screen, however busy the machine
    // is. Returns the popup's window; empty when none came.
    QString ClickOpening(const QString& window, const QPoint& at) const
    {
        const QString pid = screen->Xdo({"getwindowpid", window});
        auto shown = [this, &pid] {
            return screen->Xdo({"search", "--all", "--onlyvisible", "--pid", pid}).split('\n', Qt::SkipEmptyParts);
        };
        const QStringList before = shown();
        screen->Click(window, at.x(), at.y());
        QString popup;
        WaitFor(
            [&] {
                for (const QString& w : shown())
                    if (!before.contains(w))
                        popup = w;
                return !popup.isEmpty();
            },
            5000);
        return popup;
    }

    // The menus of the main window: the menu's title position on the bar,
    // then each item's position in the menu that opens.
    // After the last click it waits until the menus it opened are closed.
    void Menu(const QString& window, const QList<QPoint>& path) const
    {
        const QString pid = screen->Xdo({"getwindowpid", window});
        QStringList opened;
        for (int i = 0; i + 1 < path.size(); ++i)
            opened << ClickOpening(window, path[i]);
        screen->Click(window, path.last().x(), path.last().y());
        WaitFor([&] {
            const QStringList shown =
                screen->Xdo({"search", "--all", "--onlyvisible", "--pid", pid}).split('\n', Qt::SkipEmptyParts);
            for (const QString& popup : opened)
                if (!popup.isEmpty() && shown.contains(popup))
                    return false;
            return true;
        });
    }

    bool WaitForExit(int limitMs = 10000) { return panel.waitForFinished(limitMs); }

    // The panel that a restart of panel `first` started in the same folder;
    // 0 when none came within the wait. A restart forks before the new
    // program starts, and a busy machine can show such a fork for a while
    // under the panel's name before it ends or becomes the panel: the new
    // panel is the process that opens a window.
    qint64 WaitForRestartedPanel(qint64 first) const
    {
        qint64 second = 0;
        WaitFor(
            [&] {
                for (qint64 pid : PanelsIn(folder.path()))
                    if (pid != first && !screen->Xdo({"search", "--pid", QString::number(pid)}).isEmpty())
                        second = pid;
                return second != 0;
            },
            15000);
        return second;
    }
    int ExitCode() const { return panel.exitStatus() == QProcess::NormalExit ? panel.exitCode() : -1; }

    // What a panel shows and what the generator last exchanged, for the
    // message of a failed wait.
    std::string Situation(qint64 pid, const TSimulator& generator) const
    {
        QStringList shown;
        for (const QString& w : screen->Xdo({"search", "--all", "--pid", QString::number(pid), "--name", "."})
                                    .split('\n', Qt::SkipEmptyParts)) {
            const QString state = screen->Tool("xwininfo", {"-id", w}).section("Map State: ", 1).section('\n', 0, 0);
            shown << '"' + screen->Name(w) + "\" (" + state + ')';
        }
        const QStringList traffic = generator.Traffic();
        return QStringLiteral("windows of panel %1: %2; the generator's last traffic: %3")
            .arg(pid)
            .arg(shown.isEmpty() ? QStringLiteral("none") : shown.join(", "))
            .arg(traffic.mid(std::max<qsizetype>(0, traffic.size() - 12)).join(" | "))
            .toStdString();
    }

    QString screenSize = QStringLiteral("1024x768x24");  // set before SetUp for another screen
    std::unique_ptr<TScreen> screen;
    QTemporaryDir folder;
    QProcess panel;
    std::vector<std::unique_ptr<TSimulator>> simulators;

private:
    std::unique_ptr<TPrivateXServer> FX;
};

}  // namespace e2e
