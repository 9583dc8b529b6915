// Writes a whole file so that a failure never leaves a partly written file
// in place of a good one: the bytes go to a temporary file that replaces the
// target only once it is complete.
#pragma once

#include <QByteArray>
#include <QLatin1Char>
#include <QSaveFile>
#include <QString>

// Empty on success, else the reason, ending with a full stop.
inline QString WriteFileAtomically(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString() + QLatin1Char('.');
  if (file.write(bytes) != bytes.size()) {
    const QString reason = file.errorString();
    file.cancelWriting();
    return reason + QLatin1Char('.');
  }
  if (!file.commit()) return file.errorString() + QLatin1Char('.');
  return QString();
}
