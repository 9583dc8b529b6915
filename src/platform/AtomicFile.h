// Writes a whole file so that a failure never leaves a partly written file
// in place of a good one: the bytes go to a temporary file that replaces the
// target only once it is complete. In a folder where no temporary file can be
// made (a shared folder the user may not write, holding a file the user may),
// the file is written in place, as any editor would.
#pragma once

#include <QByteArray>
#include <QLatin1Char>
#include <QSaveFile>
#include <QString>

// Empty on success, else the reason, ending with a full stop.
inline QString WriteFileAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString() + QLatin1Char('.');
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason + QLatin1Char('.');
    }
    if (!file.commit())
        return file.errorString() + QLatin1Char('.');
    return QString();
}
