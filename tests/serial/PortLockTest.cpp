// The locks of Linux serial programs around the port component: another
// program's flock or lock file keeps the port "in use", stale lock files are
// taken over, two links to one device are one port, and the component's own
// hold is visible to other programs the same ways.
#include "serial/JTComPort.h"
#include "serial/PortLock.h"
#include "support/PtyTestSupport.h"
#include "support/SerialHolder.h"
#include "support/ScriptedDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <memory>

namespace {

// The pty's lock file in the system's lock folder; removed at the end.
class TLockFile {
public:
    explicit TLockFile(const QString& device)
        : FPath(QDir(portlock::LockFolders().value(0)).filePath(portlock::LockFileName(device)))
    {
    }
    ~TLockFile() { QFile::remove(FPath); }
    const QString& Path() const { return FPath; }
    bool Write(const QByteArray& bytes) const
    {
        QFile f(FPath);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }
    // The UUCP form: the id as ten characters and a line end.
    bool WritePid(qint64 pid) const { return Write(QByteArray::number(pid).rightJustified(10, ' ') + '\n'); }

private:
    QString FPath;
};

// A process id that names no running process: one that has ended.
qint64 EndedPid()
{
    QProcess p;
    p.start(QStringLiteral("/bin/true"), {});
    p.waitForFinished(10000);
    return p.processId() ? p.processId() : 999999;
}

class PortLock : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(portlock::LockFolders().isEmpty()) << "no lock folder";
        folder.Link(3, pty.SlavePath());
        port = std::make_unique<TJTComPort>(nullptr, &dialogs);
        port->SetPort(3);
        port->SetShowErrors(false);
    }
    // The component can write to the generator's side.
    bool Reaches()
    {
        pty.Drain();
        return port->Write("x") && pty.Receive(1) == "x";
    }

    TPtyPair pty;
    TPortFolder folder;
    TScriptedDialogs dialogs;
    std::unique_ptr<TJTComPort> port;
};

TEST(PortLockNames, AfterTheDeviceNotTheLink)
{
    EXPECT_EQ(portlock::LockFileName("/dev/ttyUSB0"), "LCK..ttyUSB0");
    EXPECT_EQ(portlock::LockFileName("/dev/pts/7"), "LCK..pts_7");
    TPtyPair pty;
    TPortFolder folder;
    folder.Link(3, pty.SlavePath());
    EXPECT_EQ(portlock::ResolvedDevice(QDir(folder.Path()).filePath("COM3")), pty.SlavePath());
}

TEST(PortLockNames, HolderOfEveryForm)
{
    QTemporaryDir dir;
    const std::int32_t binary = 4321;
    struct Case {
        const char* name;
        QByteArray bytes;
        long pid;
        const char* program = "";
    };
    const Case cases[] = {
        {"UUCP text", "      4321\n", 4321},
        {"bare number", "4321", 4321},
        {"with program and user", "  4321 minicom lab\n", 4321, "minicom"},
        {"Qt's form", "4321\njt6400\nhost\n", 4321, "jt6400"},
        {"binary", QByteArray(reinterpret_cast<const char*>(&binary), 4), 4321},
        {"empty", "", 0},
        {"words", "locked\n", 0},
        {"zero", "0\n", 0},
    };
    for (const Case& c : cases) {
        const QString path = QDir(dir.path()).filePath(c.name);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
        f.close();
        EXPECT_EQ(portlock::LockFileHolder(path), c.pid) << c.name;
        EXPECT_EQ(portlock::LockFileProgram(path), c.program) << c.name;
    }
}

// Whatever another program holds the device by, the port is "in use" and
// nothing reaches the device; once the holder has ended the port opens.
TEST_F(PortLock, AnotherProgramsHoldKeepsThePortInUse)
{
    struct Case {
        const char* name;
        const char* holder;                              // how the other program runs
        std::function<bool(const TLockFile&, qint64)> lock;  // the lock file it leaves
    };
    const Case cases[] = {
        {"flock on the device", "flock", nullptr},
        {"pyserial, exclusive", "pyserial", nullptr},
        {"UUCP lock file", "run", [](const TLockFile& f, qint64 pid) { return f.WritePid(pid); }},
        {"binary lock file", "run",
         [](const TLockFile& f, qint64 pid) {
             const std::int32_t id = static_cast<std::int32_t>(pid);
             return f.Write(QByteArray(reinterpret_cast<const char*>(&id), 4));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TLockFile lockFile(pty.SlavePath());
        auto holder = std::make_unique<THolder>(c.holder, pty.SlavePath());
        ASSERT_EQ(holder->Answer(), "held");
        if (c.lock) {
            ASSERT_TRUE(c.lock(lockFile, holder->Pid()));
        }

        EXPECT_FALSE(port->Open());
        EXPECT_EQ(port->LastOpenFailure(), TOpenFailure::ofInUse);
        EXPECT_FALSE(port->Write("x"));
        EXPECT_TRUE(pty.Drain().isEmpty());

        // With errors shown, the failed-open box as for any port in use.
        port->SetShowErrors(true);
        dialogs.Answers = {TMsgButton::mbAbort};
        EXPECT_FALSE(port->Open());
        EXPECT_EQ(dialogs.Texts(), QStringList{"Error opening COM3: "});
        dialogs.Shown.clear();
        port->SetShowErrors(false);

        holder.reset();  // its lock file, if any, is stale now
        EXPECT_TRUE(port->Open());
        EXPECT_TRUE(Reaches());
        port->Close();
    }
}

// Two links (COM3, COM4) to one device are one port: whichever opens first
// holds it, in this program as in another.
TEST_F(PortLock, TwoLinksToOneDeviceAreOnePort)
{
    folder.Link(4, pty.SlavePath());
    TJTComPort second;
    second.SetPort(4);
    second.SetShowErrors(false);
    ASSERT_TRUE(port->Open());
    EXPECT_FALSE(second.Open());
    EXPECT_EQ(second.LastOpenFailure(), TOpenFailure::ofInUse);
    port->Close();
    ASSERT_TRUE(second.Open());
    EXPECT_FALSE(port->Open());
    EXPECT_EQ(port->LastOpenFailure(), TOpenFailure::ofInUse);
}

// A lock file left by a process that has ended, or naming none, does not
// hold the port: it is taken over.
TEST_F(PortLock, StaleLockFilesAreTakenOver)
{
    // A running Python under the id of a dead jt6400 whose lock file is left
    // (process ids come round again): the file names another program.
    THolder other("run", QString());
    ASSERT_EQ(other.Answer(), "held");
    // A holder that has ended but is not yet reaped (a zombie, as a restarted
    // panel's killed child is until the system collects it) still answers to
    // its id and keeps its program's name, but holds nothing.
    const pid_t zombie = ::fork();
    ASSERT_GE(zombie, 0);
    if (zombie == 0)
        ::_exit(0);
    const auto reap = qScopeGuard([zombie] { ::waitpid(zombie, nullptr, 0); });
    QFile comm(QStringLiteral("/proc/self/comm"));
    ASSERT_TRUE(comm.open(QIODevice::ReadOnly));
    const QByteArray self = comm.readAll().trimmed();
    const QByteArray stale[] = {QByteArray::number(EndedPid()).rightJustified(10, ' ') + '\n', "", "garbage\n",
                                QByteArray::number(other.Pid()) + "\njt6400\nhost\n",
                                QByteArray::number(other.Pid()).rightJustified(10, ' ') + " minicom lab\n",
                                QByteArray::number(zombie) + "\n" + self + "\nhost\n"};
    for (const QByteArray& bytes : stale) {
        SCOPED_TRACE(bytes.toStdString());
        TLockFile lockFile(pty.SlavePath());
        ASSERT_TRUE(lockFile.Write(bytes));
        ASSERT_TRUE(port->Open());
        EXPECT_TRUE(Reaches());
        EXPECT_EQ(portlock::LockFileHolder(lockFile.Path()), static_cast<long>(::getpid()));
        port->Close();
    }
}

// While the component holds the port, other programs see it by every
// convention: the lock file names this process, flock is refused, and the
// terminal is marked exclusive. All of it ends with Close.
TEST_F(PortLock, ThisProgramsHoldIsVisibleToOthers)
{
    ASSERT_TRUE(port->Open());
    const TLockFile lockFile(pty.SlavePath());
    EXPECT_EQ(portlock::LockFileHolder(lockFile.Path()), static_cast<long>(::getpid()));
    EXPECT_TRUE(THolder("flock", pty.SlavePath()).Answer().startsWith("busy"));
    EXPECT_TRUE(THolder("pyserial", pty.SlavePath()).Answer().startsWith("busy"));
#ifdef TIOCGEXCL
    const int fd = ::open(pty.SlavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);  // root passes TIOCEXCL; anyone else would be refused here
    int exclusive = 0;
    ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
    EXPECT_NE(exclusive, 0);
    ::close(fd);
#endif

    port->Close();
    EXPECT_FALSE(QFileInfo::exists(lockFile.Path()));
    EXPECT_EQ(THolder("flock", pty.SlavePath()).Answer(), "held");
    EXPECT_EQ(THolder("pyserial", pty.SlavePath()).Answer(), "held");
}

}  // namespace
