#include "storage/SettingsRestore.h"

#include "comm/Communication.h"
#include "comm/LineOwner.h"


bool IsSettingsComment(const QString& line)
{
    return line.contains(QLatin1String("//"));
}

QStringList SettingsCommandLines(const QStringList& lines)
{
    QStringList commands;
    for (const QString& line : lines)
        if (!IsSettingsComment(line))
            commands << line;
    return commands;
}

bool SendSettingsLines(TCommunication& comm, const QStringList& lines, int pauseMs,
                       const std::function<bool(qsizetype done)>& afterLine)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (pauseMs > 0)
            TLineOwner::Pause(static_cast<unsigned long>(pauseMs));
        if (!IsSettingsComment(lines[i])) {
            comm.SendCommand(lines[i]);
            if (afterLine && !afterLine(i + 1))
                return false;
        }
    }
    return true;
}
