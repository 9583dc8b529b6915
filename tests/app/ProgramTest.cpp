// Runs the built program as a user would: from the command line, and under
// an X server against a simulated generator.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include "support/PrivateXServer.h"
#include "PtyServer.h"
#include "support/PtyTestSupport.h"
#include "support/RefusedDevice.h"
#include "support/SimTrace.h"
#include "support/SimulatedGenerator.h"
#include "jt6400/Version.h"

namespace {

struct Result {
    int exitCode = -1;
    QString output;
};

Result run(const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(JT6400_EXE, args);
    p.waitForFinished(10000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAll())};
}

QString gDisplay;  // the display xdotool talks to

// xdotool's answer, trimmed; empty when it fails.
QString xdotool(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", gDisplay);
    p.setProcessEnvironment(env);
    p.start("xdotool", args);
    p.waitForFinished(5000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// The first visible window of the process whose title matches, waiting up
// to 10 s. Other tests may show windows on the same display at the same time.
QString findWindow(qint64 pid, const QString& title)
{
    return xdotool({"search", "--all", "--onlyvisible", "--pid", QString::number(pid), "--name", title})
        .section('\n', 0, 0);
}

QString waitForWindow(qint64 pid, const QString& title)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
        const QString found = findWindow(pid, title);
        if (!found.isEmpty())
            return found;
        QThread::msleep(100);
    }
    return {};
}

class OnScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            GTEST_SKIP() << "needs xdotool (scripts/deps installs it)";
        x = std::make_unique<TPrivateXServer>();
        if (x->Display().isEmpty())
            GTEST_SKIP() << "needs Xvfb (scripts/deps installs it)";
        gDisplay = x->Display();
    }
    void TearDown() override
    {
        if (panel.state() != QProcess::NotRunning) {
            panel.kill();
            panel.waitForFinished(5000);
        }
        x.reset();
    }
    void StartPanel()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("JT6400_PORT_DIR", folder.Path());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("DISPLAY", x->Display());
        panel.setProcessEnvironment(env);
        panel.setWorkingDirectory(folder.Path());
        panel.start(JT6400_EXE, {});
        ASSERT_TRUE(panel.waitForStarted(5000));
    }
    // The start-up question (a box whose title matches Title) is there and
    // the main window is not; No (Escape) ends the panel normally.
    void AnswerNoToTheStartUpQuestion(const QString& title)
    {
        const QString box = waitForWindow(panel.processId(), title);
        ASSERT_FALSE(box.isEmpty());
        EXPECT_TRUE(findWindow(panel.processId(), "^6400 Pulse Generator$").isEmpty());
        xdotool({"windowfocus", "--sync", box});
        xdotool({"key", "Escape"});  // the box's No
        ASSERT_TRUE(panel.waitForFinished(10000));
        EXPECT_EQ(panel.exitCode(), 0);
    }
    // Clicks at a point relative to the window's top-left corner.
    void Click(const QString& window, int x, int y)
    {
        const QStringList geometry = xdotool({"getwindowgeometry", "--shell", window}).split('\n');
        int wx = 0, wy = 0;
        for (const QString& line : geometry) {
            if (line.startsWith("X="))
                wx = line.mid(2).toInt();
            if (line.startsWith("Y="))
                wy = line.mid(2).toInt();
        }
        xdotool({"mousemove", QString::number(wx + x), QString::number(wy + y), "click", "1"});
    }

    std::unique_ptr<TPrivateXServer> x;
    TPortFolder folder;
    QProcess panel;
};

}  // namespace

TEST(Program, HelpAndVersionAnswerWithoutStartingTheWindow)
{
    // The informational switches answer before the toolkit looks for a screen.
    const Result help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.startsWith("Usage: jt6400")) << help.output.toStdString();

    const Result version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, "jt6400 " JT6400_VERSION "\n");
}

TEST_F(OnScreen, FindsTheGeneratorShowsTheWindowAndExitsThroughTheFileMenu)
{
    jt6400sim::GeneratorOptions g;
    g.identity.model = "6402+";
    const auto generator = ServeGenerator(folder.Path(), 3, jt6400sim::Generator(g));

    StartPanel();
    // The caption names the port once the generator has been read back.
    const QString window = waitForWindow(panel.processId(), "ComPort: 3");
    ASSERT_FALSE(window.isEmpty());
    EXPECT_EQ(xdotool({"getwindowname", window}), "Jentrix Model 6402+  SW Version: " JT6400_VERSION " ComPort: 3");
    bool identified = false;
    for (const std::string& line : generator->trace())
        identified = identified || line.find("RX *IDN?") != std::string::npos;
    EXPECT_TRUE(identified);

    // File, then Exit once the menu is on the screen: a window that was not
    // there before the click (the splash of the read-back may close meanwhile,
    // so the number of windows tells nothing).
    const auto visibleWindows = [&] {
        return xdotool({"search", "--all", "--onlyvisible", "--pid", QString::number(panel.processId())})
            .split('\n', Qt::SkipEmptyParts);
    };
    const QStringList before = visibleWindows();
    const auto menuShown = [&] {
        for (const QString& w : visibleWindows())
            if (!before.contains(w))
                return true;
        return false;
    };
    Click(window, 18, 8);
    QElapsedTimer t;
    t.start();
    while (!menuShown() && t.elapsed() < 10000)
        QThread::msleep(50);
    ASSERT_TRUE(menuShown()) << "the File menu did not open";
    Click(window, 30, 32);
    ASSERT_TRUE(panel.waitForFinished(10000));
    EXPECT_EQ(panel.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(panel.exitCode(), 0);
}

TEST_F(OnScreen, WithoutAGeneratorNoEndsTheProgramBeforeItsWindowShows)
{
    folder.Link(4, "/nonexistent/ttyUSB0");
    StartPanel();
    AnswerNoToTheStartUpQuestion("jt6400");
}

// The real panel started by a user whose account may not open the
// generator's device: it asks the start-up question (whose text, with the
// "dialout" advice first, the Startup tests check), sends nothing, and No
// ends it. Root may open any device; the app.WithoutPermissionOverride test
// entry runs this without root's override.
TEST_F(OnScreen, NoPermissionAsksTheStartUpQuestionAndNoEndsThePanel)
{
    const auto generator = ServeGenerator(folder.Path(), 3, jt6400sim::Generator(jt6400sim::GeneratorOptions{}));
    const TRefusedDevice refused(QByteArray::fromStdString(generator->devicePath()));
    if (!refused.Refuses())
        GTEST_SKIP() << "this process may open any device (root's override); "
                        "the app.WithoutPermissionOverride test entry runs it without";
    StartPanel();
    AnswerNoToTheStartUpQuestion("^jt6400$");
    EXPECT_TRUE(ReceivedLines(generator->trace()).isEmpty());
}
