#include "serial/PortLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#endif
#include <atomic>
#include <cstdint>
#include <cstring>

namespace portlock {

QString ResolvedDevice(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

QString LockFileName(const QString& device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

QStringList LockFolders()
{
    QStringList folders;
    for (const char* folder : {"/var/lock", "/run/lock"}) {
        const QString canonical = QFileInfo(QString::fromLatin1(folder)).canonicalFilePath();
        if (!canonical.isEmpty() && QFileInfo(canonical).isDir() && !folders.contains(canonical))
            folders << canonical;
    }
    return folders;
}

long LockFileHolder(const QString& lockFile)
{
    QFile file(lockFile);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray data = file.read(128);
    static const QRegularExpression firstNumber(QStringLiteral("^\\s*([0-9]{1,10})(\\s|$)"));
    const auto match = firstNumber.match(QString::fromLatin1(data));
    if (match.hasMatch()) {
        const long pid = match.captured(1).toLong();
        return pid > 0 ? pid : 0;
    }
    // The oldest programs wrote the id as a binary 4-byte number.
    if (data.size() == 4) {
        std::int32_t binary = 0;
        std::memcpy(&binary, data.constData(), sizeof(binary));
        return binary > 0 ? binary : 0;
    }
    return 0;
}

QString LockFileProgram(const QString& lockFile)
{
    QFile file(lockFile);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QStringList lines = QString::fromLatin1(file.read(512)).split(QLatin1Char('\n'));
    const QStringList first = lines.value(0).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    // "  4321 minicom user" names it after the id; Qt's form on the next line.
    const QString name = first.size() >= 2 ? first[1] : first.size() == 1 ? lines.value(1).trimmed() : QString();
    return name.section(QLatin1Char('/'), -1);
}

namespace {

#ifdef Q_OS_UNIX
// A process that has ended but was not yet reaped by its parent (a zombie)
// still answers to its id, yet holds no file any more.
bool ProcessEnded(long pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // "pid (name) S ...": the state follows the name's closing parenthesis.
    const QByteArray text = stat.read(512);
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0 || close + 2 >= text.size())
        return false;
    const char state = text.at(close + 2);
    return state == 'Z' || state == 'X';
}

bool ProcessRuns(long pid)
{
    // A process of another user answers EPERM: it runs all the same.
    const bool answers = ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
    return answers && !ProcessEnded(pid);
}

// The name the system gives a running process's program (at most 15
// characters); empty when it cannot be read.
QString ProcessName(long pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
}

// The lock file's process still runs the program that wrote it. Process ids
// come round again: a running process of another program under a dead
// holder's id does not hold the port.
bool HolderRuns(long pid, const QString& program)
{
    if (!ProcessRuns(pid))
        return false;
    const QString running = ProcessName(pid);
    return program.isEmpty() || running.isEmpty() || program.left(15) == running;
}
#endif

}  // namespace

TLockFileState LockFileState(const QString& device)
{
    TLockFileState state = TLockFileState::lfFree;
#ifdef Q_OS_UNIX
    const QString name = LockFileName(device);
    for (const QString& folder : LockFolders()) {
        const QString path = QDir(folder).filePath(name);
        if (!QFileInfo::exists(path))
            continue;
        const long pid = LockFileHolder(path);
        if (pid < 0 || pid == static_cast<long>(::getpid()))
            continue;  // unreadable, or this program's own: the open device's flock decides
        if (pid > 0 && HolderRuns(pid, LockFileProgram(path)))
            return TLockFileState::lfHeld;
        // Stale: its process is gone. Taken over where the folder lets us.
        if (!QFile::remove(path))
            state = TLockFileState::lfStaleKept;
    }
#else
    Q_UNUSED(device);
#endif
    return state;
}

QString OpeningName(const QString& device, TLockFileState state)
{
    if (state == TLockFileState::lfStaleKept && device.startsWith(QLatin1Char('/')))
        return QLatin1Char('/') + device;
    return device;
}

bool LockOpenDevice(int fd)
{
#ifdef Q_OS_UNIX
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return false;
#ifdef TIOCEXCL
    ::ioctl(fd, TIOCEXCL);
#endif
#else
    Q_UNUSED(fd);
#endif
    return true;
}

QStringList SerialLockFilePaths(const QString& portName)
{
    QString name = portName;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    QStringList paths;
    for (const char* folder : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp", "/var/tmp",
                               "/var/lock/lockdev", "/run/lock"})
        paths << QString::fromLatin1(folder) + QStringLiteral("/LCK..") + name;
    return paths;
}

QString OwnLockFile(const QString& portName)
{
#ifdef Q_OS_UNIX
    for (const QString& path : SerialLockFilePaths(portName))
        if (QFileInfo::exists(path) && LockFileHolder(path) == static_cast<long>(::getpid()))
            return path;
#else
    Q_UNUSED(portName);
#endif
    return QString();
}

namespace {

// The held lock files, in storage that a signal handler may read: a slot is
// free, being written, or held.
enum : int { kSlotFree, kSlotWriting, kSlotHeld };
constexpr int kHeldSlots = 8;
constexpr std::size_t kHeldPathSize = 4096;
std::atomic<int> gHeldState[kHeldSlots];
char gHeldPath[kHeldSlots][kHeldPathSize];

#ifdef Q_OS_UNIX
void OnEndSignal(int signo)
{
    RemoveHeldLockFiles();
    ::signal(signo, SIG_DFL);
    ::raise(signo);  // delivered, with its default action, once this returns
}
#endif

}  // namespace

void NoteHeldLockFile(const QString& path)
{
    const QByteArray local = QFile::encodeName(path);
    if (local.isEmpty() || static_cast<std::size_t>(local.size()) >= kHeldPathSize)
        return;
    for (int i = 0; i < kHeldSlots; ++i) {
        int expected = kSlotFree;
        if (gHeldState[i].compare_exchange_strong(expected, kSlotWriting)) {
            std::memcpy(gHeldPath[i], local.constData(), static_cast<std::size_t>(local.size()) + 1);
            gHeldState[i].store(kSlotHeld);
            return;
        }
    }
}

void ForgetHeldLockFile(const QString& path)
{
    const QByteArray local = QFile::encodeName(path);
    if (local.isEmpty())
        return;
    for (int i = 0; i < kHeldSlots; ++i) {
        if (gHeldState[i].load() == kSlotHeld && std::strcmp(gHeldPath[i], local.constData()) == 0) {
            gHeldState[i].store(kSlotFree);
            return;
        }
    }
}

#ifdef Q_OS_UNIX
namespace {

// Whether the lock file at Path names this process first; only calls that a
// signal handler may make.
bool NamesThisProcess(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[32];
    const ssize_t size = ::read(fd, text, sizeof text);
    ::close(fd);
    long pid = 0;
    ssize_t i = 0;
    while (i < size && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    const ssize_t digits = i;
    for (; i < size && text[i] >= '0' && text[i] <= '9' && pid < 100000000000L; ++i)
        pid = pid * 10 + (text[i] - '0');
    return i > digits && pid == static_cast<long>(::getpid());
}

}  // namespace
#endif

void RemoveHeldLockFiles()
{
#ifdef Q_OS_UNIX
    // A lock file of a port that was not closed through its port object may
    // since belong to another program: only this program's own is removed.
    for (int i = 0; i < kHeldSlots; ++i)
        if (gHeldState[i].load() == kSlotHeld && NamesThisProcess(gHeldPath[i]))
            ::unlink(gHeldPath[i]);
#endif
}

void RemoveLockFilesOnEndSignals()
{
#ifdef Q_OS_UNIX
    for (const int signo : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (::sigaction(signo, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = OnEndSignal;
        ::sigemptyset(&action.sa_mask);
        ::sigaction(signo, &action, nullptr);
    }
#endif
}

void UnlockOpenDevice(int fd)
{
#ifdef Q_OS_UNIX
#ifdef TIOCNXCL
    ::ioctl(fd, TIOCNXCL);
#endif
    ::flock(fd, LOCK_UN);
#else
    Q_UNUSED(fd);
#endif
}

}  // namespace portlock
