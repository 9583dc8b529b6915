// Writes a whole file so that a failure never leaves a partly written file
// in place of a good one: the bytes go to a temporary file that replaces the
// target only once it is complete. In a folder where no temporary file can be
// made (a shared folder the user may not write, holding a file the user may),
// the file is written in place, as any editor would.
//
// A target that is not a regular file is written as it stands, never
// replaced: a named pipe (its reader gets the bytes), a device such as
// /dev/null or a terminal, and a path that names an open file descriptor
// (/dev/stdout, /dev/fd/N, /proc/self/fd/N), whose bytes go to the end of
// whatever the descriptor leads to.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>

#include <memory>

class TSafeFileWriter {
public:
    explicit TSafeFileWriter(const QString& path);
    ~TSafeFileWriter();
    TSafeFileWriter(const TSafeFileWriter&) = delete;
    TSafeFileWriter& operator=(const TSafeFileWriter&) = delete;

    // Opens the target, so that a target that cannot be written is known
    // before the bytes are made. Empty on success, else the reason, ending
    // with a full stop. A named pipe waits here for its reader.
    QString Open();
    // Writes Bytes and completes the file (the replace, for a regular file).
    // Empty on success, else the reason, ending with a full stop. Without
    // it, nothing of the target changes (a special file stays untouched).
    QString Finish(const QByteArray& bytes);
    // True when the target is written as it stands (not a regular file).
    bool InPlace() const { return FInPlace; }

private:
    QString FPath;
    bool FInPlace = false;
    bool FInPlaceLater = false;  // a writable file in a folder that takes no temporary file
    std::unique_ptr<QSaveFile> FSave;
    std::unique_ptr<QFile> FDirect;
};

// True when Path, followed through its links, leads to something that
// exists and is not a regular file or folder, or names an open file
// descriptor.
bool IsSpecialFilePath(const QString& path);

// Open and Finish in one: empty on success, else the reason.
QString WriteFileAtomically(const QString& path, const QByteArray& bytes);
