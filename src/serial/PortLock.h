// The locks by which serial programs on Linux tell each other that they hold
// a device, taken and honoured around the opening of a port:
// - the lock file "LCK..<device>" in the system's lock folder (/var/lock,
//   which Debian links to /run/lock), named after the device itself rather
//   than the link a port was opened through, with the holder's process id as
//   its first word (the UUCP convention; an old binary 4-byte id is read too).
//   A lock file whose process is gone is stale and is taken over;
// - flock(LOCK_EX|LOCK_NB) on the open device, so that two paths to one
//   device are one port;
// - TIOCEXCL, by which the terminal driver refuses further opens of the
//   device (except to the administrator).
// A program that takes none of them cannot be seen.
#pragma once

#include <QString>
#include <QStringList>

namespace portlock {

// The device a path stands for, links followed ("/tmp/ports/COM3" ->
// "/dev/pts/7"); the path itself when it leads nowhere.
QString ResolvedDevice(const QString& path);

// The lock file's name for a device: "/dev/ttyUSB0" -> "LCK..ttyUSB0",
// "/dev/pts/7" -> "LCK..pts_7" (the part after /dev/, "/" written as "_").
QString LockFileName(const QString& device);

// The lock folders looked at, each once: /var/lock and /run/lock where they
// exist.
QStringList LockFolders();

// The process id a lock file names; 0 when it names none (empty, not a
// number), -1 when it cannot be read.
long LockFileHolder(const QString& lockFile);

// The program a lock file names beside the id ("4321 minicom user", or
// Qt's "4321\nprogram\nhost"); empty when it names none.
QString LockFileProgram(const QString& lockFile);

enum class TLockFileState {
    lfFree,        // no lock file holds the device (stale ones were removed)
    lfHeld,        // a lock file names a running process other than this one
                   // (running the program the file names, where it names one)
    lfStaleKept,   // a stale lock file could not be removed (the folder
                   // may not be written, or it is another user's in a
                   // sticky folder); it holds nothing
};

// Looks at the device's lock files. Lock files of processes that are gone
// (or naming none) are removed where the folder allows it.
TLockFileState LockFileState(const QString& device);

// The name to open the device by. The serial device takes its own lock file
// named after it; where a stale lock file of that name had to be kept, the
// same device is named with one more leading "/", so that the new lock file
// has a name of its own and the stale one does not keep the port shut.
QString OpeningName(const QString& device, TLockFileState state);

// Marks the open device as this program's: TIOCEXCL and an exclusive flock.
// False when another open of the device holds the flock (nothing is then
// changed). Other failures (a device without these calls) are not refusals.
bool LockOpenDevice(int fd);

// Undoes LockOpenDevice before the device is closed.
void UnlockOpenDevice(int fd);

// The places where the serial device puts the lock file of an open port,
// in the order it tries them, for its port name ("pts/7").
QStringList SerialLockFilePaths(const QString& portName);

// The lock file this process holds for the open port PortName; empty when
// none is found.
QString OwnLockFile(const QString& portName);

// The lock files held by this program, so that they can be removed when a
// signal ends it (an empty path is ignored).
void NoteHeldLockFile(const QString& path);
void ForgetHeldLockFile(const QString& path);
// Removes the held lock files; safe to call from a signal handler.
void RemoveHeldLockFiles();

// From now on SIGINT, SIGTERM and SIGHUP remove the held lock files before
// they end the program as their default action does. A signal the program
// was started to ignore stays ignored.
void RemoveLockFilesOnEndSignals();

}  // namespace portlock
