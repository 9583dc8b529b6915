// jt6400-cli and the ports of a port folder as other programs and the
// system leave them: a port another program holds (through another link,
// with pyserial's exclusive mode, with a lock file), a lock folder it may
// not write, and links whatever their devices are called.
#include "serial/JTComPort.h"
#include "serial/PortLock.h"
#include "support/PtyTestSupport.h"
#include "support/SerialHolder.h"
#include "support/SimTrace.h"
#include "support/SimulatedGenerator.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

#include <functional>
#include <memory>
#include <vector>

namespace {

struct TPortRun {
    int Code = -1;
    QString Out;
    QString Err;
};

TPortRun RunProgram(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    const bool finished = p.waitForFinished(120000);
    EXPECT_TRUE(finished && p.exitStatus() == QProcess::NormalExit) << arguments.join(' ').toStdString();
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

TPortRun RunCli(const QStringList& arguments)
{
    return RunProgram(QStringLiteral(JT6400_CLI), arguments);
}

class CliPorts : public ::testing::Test {
protected:
    ~CliPorts() override
    {
        for (auto& s : Servers)
            s->stop();
    }
    // A 6404+ with serial number Serial on COM<port>; returns its device.
    QString Start(int port, const std::string& serial = "1234")
    {
        jt6400sim::GeneratorOptions g;
        g.identity.model = "6404+";
        g.identity.serial = serial;
        g.identity.firmware = "2.1.0";
        Servers.push_back(ServeGenerator(Folder.Path(), port, jt6400sim::Generator(g)));
        return portlock::ResolvedDevice(QDir(Folder.Path()).filePath(QStringLiteral("COM%1").arg(port)));
    }
    QStringList Received(int server) const { return ReceivedLines(Servers[server]->trace()); }

    TPortFolder Folder;
    std::vector<std::unique_ptr<jt6400sim::PtyServer>> Servers;
};

// COM6 is a link to a by-id name that holds "Modem": a port like any other.
TEST_F(CliPorts, FolderPortsAreListedWhateverTheirDeviceIsCalled)
{
    const QString device = Start(9, "4711");
    QTemporaryDir devices;
    ASSERT_TRUE(QDir(devices.path()).mkpath("serial/by-id"));
    const QString byId = QDir(devices.path()).filePath("serial/by-id/usb-Acme_USB_Serial_Modem-if00-port0");
    ASSERT_TRUE(QFile::link(device, byId));
    Folder.Unlink(9);
    Folder.Link(6, byId);

    const TPortRun list = RunCli({"list"});
    EXPECT_EQ(list.Code, 0) << list.Err.toStdString();
    EXPECT_EQ(list.Out, "COM6    6404+  serial 4711  firmware 2.1.0  FPGA 3.0.7\n");
    const TPortRun identify = RunCli({"identify"});
    EXPECT_EQ(identify.Code, 0) << identify.Err.toStdString();
    EXPECT_TRUE(identify.Out.startsWith("port:          COM6\n")) << identify.Out.toStdString();
}

// A generator held by another program is never sent to: not through a
// second link to its device, not while pyserial holds it exclusively, not
// while a running program's lock file names it. Once free it answers.
TEST_F(CliPorts, APortHeldByAnotherProgramIsInUse)
{
    const QString device = Start(3);
    Folder.Link(4, device);  // a second name for the same device
    struct Case {
        const char* name;
        std::function<std::shared_ptr<void>()> hold;
    };
    const Case cases[] = {
        {"the panel on the other link",
         [] {
             auto panel = std::make_shared<TJTComPort>();
             panel->SetShowErrors(false);
             panel->SetPort(3);
             EXPECT_TRUE(panel->Open());
             return std::static_pointer_cast<void>(panel);
         }},
        {"pyserial, exclusive",
         [&] {
             auto holder = std::make_shared<THolder>("pyserial", device);
             EXPECT_EQ(holder->Answer(), "held");
             return std::static_pointer_cast<void>(holder);
         }},
        {"a lock file",
         [&] {
             struct TLock {
                 THolder Process{"run", QString()};
                 QString Path;
                 ~TLock() { QFile::remove(Path); }
             };
             auto lock = std::make_shared<TLock>();
             lock->Path = QDir(portlock::LockFolders().value(0)).filePath(portlock::LockFileName(device));
             QFile f(lock->Path);
             EXPECT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray::number(lock->Process.Pid()).rightJustified(10, ' ') + '\n');
             return std::static_pointer_cast<void>(lock);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype before = Received(0).size();
        {
            const std::shared_ptr<void> held = c.hold();
            const TPortRun run = RunCli({"--port", "4", "identify"});
            EXPECT_EQ(run.Code, 3);
            EXPECT_EQ(run.Err, "jt6400-cli: COM4 is in use by another program; nothing was sent.\n");
            const TPortRun list = RunCli({"list"});
            EXPECT_EQ(list.Out, "COM3    in use\nCOM4    in use\n");
            EXPECT_EQ(Received(0).size(), before) << "nothing reaches a held generator";
        }
        const TPortRun free = RunCli({"--port", "4", "identify"});
        EXPECT_EQ(free.Code, 0) << free.Err.toStdString();
    }
}

// A lock folder that may not be written does not keep the port from
// opening, not even when it holds a stale lock file of the device that
// cannot be removed. The folder is made read-only in a mount namespace of
// the run.
TEST_F(CliPorts, ALockFolderWithoutWritePermissionDoesNotStopThePort)
{
    if (QStandardPaths::findExecutable("unshare").isEmpty() || RunProgram("unshare", {"-m", "true"}).Code != 0)
        GTEST_SKIP() << "needs unshare -m (util-linux, as root)";
    const QString device = Start(3);
    const QString lockFolder = QFileInfo(QStringLiteral("/var/lock")).canonicalFilePath();
    ASSERT_FALSE(lockFolder.isEmpty());
    const QString lockFile = QDir(lockFolder).filePath(portlock::LockFileName(device));
    for (const bool stale : {false, true}) {
        SCOPED_TRACE(stale ? "with a stale lock file" : "empty");
        // A fresh folder over the lock folder, the stale file in it, then
        // read-only; the probe proves that nothing can be written there.
        const QString script =
            QStringLiteral("mount -t tmpfs -o mode=1777 tmpfs '%1' && %2 mount -o remount,ro '%1' && "
                           "! touch '%1/probe' 2>/dev/null && exec \"$0\" \"$@\"")
                .arg(lockFolder,
                     stale ? QStringLiteral("echo '    999999' > '%1' && ").arg(lockFile) : QString());
        const TPortRun run = RunProgram("unshare", {"-m", "sh", "-c", script, JT6400_CLI, "--port", "3", "identify"});
        EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
        EXPECT_TRUE(run.Out.contains("serial number: 1234")) << run.Out.toStdString();
    }
}

// True once Done holds; a generous cap only keeps a broken build from
// hanging forever.
bool Eventually(const std::function<bool()>& done)
{
    QDeadlineTimer cap(120000);
    while (!done()) {
        if (cap.hasExpired())
            return false;
        QThread::msleep(5);
    }
    return true;
}

// The lock files of the device that name process Pid, wherever the serial
// device puts them ("LCK..pts_7"), as "; "-separated text.
QString LockFilesOf(const QString& device, qint64 pid)
{
    QStringList found;
    for (const QString& path : portlock::SerialLockFilePaths(device.mid(QStringLiteral("/dev/").size()))) {
        const QString file = QFileInfo(path).canonicalFilePath();
        if (!file.isEmpty() && !found.contains(file) && portlock::LockFileHolder(file) == pid)
            found << file;
    }
    return found.join("; ");
}

struct TEndSignal {
    int Number;
    const char* Name;
};
constexpr TEndSignal kEndSignals[] = {{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};

// Ended by a signal while it holds the port, jt6400-cli leaves no lock file
// behind; an apply ended while it sends says how far it got first, with
// the exit code of the signal (130 for Ctrl+C).
TEST_F(CliPorts, ALockIsReleasedWhenTheCliIsEndedBySignal)
{
    // Each setting takes a while, so that the signal comes while the lines
    // go out; the read-back's queries too.
    jt6400sim::GeneratorOptions g;
    g.identity.model = "6404+";
    g.identity.firmware = "2.1.0";
    jt6400sim::ServerOptions slow;
    jt6400sim::AnswerRule rule;
    ASSERT_EQ(jt6400sim::parseAnswerRule("slow=300@:PULS", rule), "");
    slow.answerRules.push_back(rule);
    Servers.push_back(ServeGenerator(Folder.Path(), 3, jt6400sim::Generator(g), slow));
    const QString device = portlock::ResolvedDevice(QDir(Folder.Path()).filePath(QStringLiteral("COM3")));
    QTemporaryDir work;
    const QString file = QDir(work.path()).filePath("many.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("// many settings\r\n");
        for (int i = 0; i < 100; ++i)
            f.write(":PULS1:WIDT 0.000002\r\n");
    }
    for (const TEndSignal& signal : kEndSignals) {
        for (const char* command : {"apply", "save"}) {
            SCOPED_TRACE(std::string(command) + " " + signal.Name);
            const std::size_t from = Servers[0]->trace().size();
            const auto received = [&] { return ReceivedLines(Servers[0]->trace(), from).filter(":PULS").size(); };
            QProcess cli;
            cli.start(QStringLiteral(JT6400_CLI),
                      {"--port", "3", command, command == std::string("apply") ? file : work.filePath("saved.txt")});
            ASSERT_TRUE(Eventually([&] { return received() >= 3; }));
            const qint64 pid = cli.processId();
            if (LockFilesOf(device, pid).isEmpty())
                GTEST_SKIP() << "no lock folder that this process may write";
            ::kill(static_cast<pid_t>(pid), signal.Number);
            ASSERT_TRUE(cli.waitForFinished(120000));
            EXPECT_EQ(LockFilesOf(device, pid), "") << "left behind";
            if (command == std::string("apply")) {
                EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
                EXPECT_EQ(cli.exitCode(), 128 + signal.Number);
                const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
                EXPECT_EQ(err, QStringLiteral("jt6400-cli: %1 of the 100 setting lines had been sent when the program "
                                              "was ended (%2): the generator is now partly set.\n")
                                   .arg(received())
                                   .arg(signal.Name));
            } else {
                EXPECT_EQ(cli.exitStatus(), QProcess::CrashExit) << "ended by the signal itself";
            }
        }
    }
}

// The panel, too, leaves no lock file behind when a signal ends it.
TEST_F(CliPorts, ALockIsReleasedWhenThePanelIsEndedBySignal)
{
    const QString device = Start(3);
    QTemporaryDir work;
    for (const TEndSignal& signal : kEndSignals) {
        SCOPED_TRACE(signal.Name);
        QProcess panel;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        panel.setProcessEnvironment(environment);
        panel.setWorkingDirectory(work.path());
        const std::size_t from = Servers[0]->trace().size();
        panel.start(QStringLiteral(JT6400_EXE), {});
        ASSERT_TRUE(panel.waitForStarted(120000));
        const qint64 pid = panel.processId();
        // The panel holds the port once its read-back has begun.
        ASSERT_TRUE(Eventually([&] { return ReceivedLines(Servers[0]->trace(), from).filter(":PULS").size() > 0; }));
        if (LockFilesOf(device, pid).isEmpty())
            GTEST_SKIP() << "no lock folder that this process may write";
        ::kill(static_cast<pid_t>(pid), signal.Number);
        ASSERT_TRUE(panel.waitForFinished(120000));
        EXPECT_EQ(LockFilesOf(device, pid), "") << "left behind";
    }
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
