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

// True when a lock file of the device names a running process other than
// this one. Lock files of processes that are gone (or naming none) are
// removed where the folder allows it; where it does not, they are ignored.
bool HeldByLockFile(const QString& device);

// Marks the open device as this program's: TIOCEXCL and an exclusive flock.
// False when another open of the device holds the flock (nothing is then
// changed). Other failures (a device without these calls) are not refusals.
bool LockOpenDevice(int fd);

// Undoes LockOpenDevice before the device is closed.
void UnlockOpenDevice(int fd);

}  // namespace portlock
