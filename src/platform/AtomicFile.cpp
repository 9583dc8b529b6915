#include "platform/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLatin1Char>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace {

#ifdef Q_OS_UNIX
// A path of the kernel's descriptor views: /dev/fd/N, /proc/<pid>/fd/N.
bool IsDescriptorView(const QString& path)
{
    static const QRegularExpression view(QStringLiteral("^/(dev/fd|proc/[^/]+/fd)/\\d+$"));
    return view.match(QDir::cleanPath(path)).hasMatch();
}

// True when Path or any link on the way to its target is a descriptor view
// (/dev/stdout leads to /proc/self/fd/1).
bool LeadsThroughDescriptor(const QString& path)
{
    QString current = path;
    for (int hops = 0; hops < 40; ++hops) {
        if (IsDescriptorView(current))
            return true;
        const QFileInfo info(current);
        if (!info.isSymLink())
            return false;
        const QByteArray local = QFile::encodeName(current);
        QByteArray target(4096, '\0');
        const ssize_t size = ::readlink(local.constData(), target.data(), static_cast<size_t>(target.size()));
        if (size <= 0)
            return false;
        target.truncate(size);
        const QString next = QFile::decodeName(target);
        current = QDir::isAbsolutePath(next) ? next : QDir(info.path()).filePath(next);
    }
    return false;
}
#endif

QString Reason(const QString& error)
{
    return error.endsWith(QLatin1Char('.')) ? error : error + QLatin1Char('.');
}

}  // namespace

bool IsSpecialFilePath(const QString& path)
{
#ifdef Q_OS_UNIX
    if (LeadsThroughDescriptor(path))
        return true;
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return false;  // nothing there yet: a new regular file
    return !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
#else
    Q_UNUSED(path);
    return false;
#endif
}

TSafeFileWriter::TSafeFileWriter(const QString& path) : FPath(path) {}

TSafeFileWriter::~TSafeFileWriter()
{
    if (FSave)
        FSave->cancelWriting();
}

QString TSafeFileWriter::Open()
{
    FInPlace = IsSpecialFilePath(FPath);
    if (FInPlace) {
        // Appending leaves what a descriptor's file already holds; a pipe or
        // device has no end to append to and takes the bytes as they come.
        // The system appends (O_APPEND): a file opened for appending would
        // seek to its end, which a pipe or terminal refuses with a warning.
        FDirect = std::make_unique<QFile>();
#ifdef Q_OS_UNIX
        const int fd = ::open(QFile::encodeName(FPath).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0)
            return Reason(QString::fromLocal8Bit(std::strerror(errno)));
        const bool opened = FDirect->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
        if (!opened)
            ::close(fd);
#else
        FDirect->setFileName(FPath);
        const bool opened = FDirect->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
#endif
        if (!opened) {
            const QString reason = Reason(FDirect->errorString());
            FDirect.reset();
            return reason;
        }
        return QString();
    }
    FSave = std::make_unique<QSaveFile>(FPath);
    if (FSave->open(QIODevice::WriteOnly))
        return QString();
    const QString reason = Reason(FSave->errorString());
    FSave.reset();
    // A folder that takes no temporary file may still hold a file this user
    // may write: it is written in place at the end, and left as it is until
    // then (opened here without truncating, only to know that it can be).
    QFile existing(FPath);
    if (QFileInfo(FPath).isFile() && existing.open(QIODevice::ReadWrite)) {
        existing.close();
        FInPlaceLater = true;
        return QString();
    }
    return reason;
}

QString TSafeFileWriter::Finish(const QByteArray& bytes)
{
    if (FDirect) {
        const bool written = FDirect->write(bytes) == bytes.size();
        const QString reason = written ? QString() : Reason(FDirect->errorString());
        FDirect->close();
        FDirect.reset();
        return reason;
    }
    if (FInPlaceLater) {
        FInPlaceLater = false;
        QFile file(FPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() ||
            !file.flush())
            return Reason(file.errorString());
        return QString();
    }
    if (!FSave)
        return QStringLiteral("the file is not open.");
    if (FSave->write(bytes) != bytes.size()) {
        const QString reason = Reason(FSave->errorString());
        FSave->cancelWriting();
        FSave.reset();
        return reason;
    }
    const bool committed = FSave->commit();
    const QString reason = committed ? QString() : Reason(FSave->errorString());
    FSave.reset();
    return reason;
}

QString WriteFileAtomically(const QString& path, const QByteArray& bytes)
{
    TSafeFileWriter writer(path);
    if (QString reason = writer.Open(); !reason.isEmpty())
        return reason;
    return writer.Finish(bytes);
}
