#include "comm/TrafficLog.h"

#include "platform/Dialogs.h"

#include <QDir>
#include <QLocale>
#include <QRegularExpression>

namespace {

const char kCannotWrite[] =
    "Log file cannot be written to. Please run program from writable location. Logging will be disabled.";

}  // namespace

QString TimeStamp(const QTime& time)
{
    return time.toString(QStringLiteral("HH:mm:ss.zzz"));
}
QString TimeStamp()
{
    return TimeStamp(QTime::currentTime());
}

TTrafficLog::TTrafficLog(IDialogs& dialogs) : FDialogs(dialogs) {}

TTrafficLog::~TTrafficLog()
{
    if (FFile.isOpen()) {
        FFile.flush();
        FFile.close();
    }
}

QString TTrafficLog::SanitizeUserName(const QString& userName)
{
    QString clean;
    for (QChar c : userName) {
        if (c.unicode() < 32 || QStringLiteral("/\\:*?\"<>|").contains(c))
            continue;
        clean.append(c);
    }
    while (clean.contains(QLatin1String("..")))
        clean.replace(QLatin1String(".."), QString());
    return clean;
}

QString TTrafficLog::UserNameFromEnvironment()
{
    QString name = qEnvironmentVariable("USERNAME");
    if (name.isEmpty())
        name = qEnvironmentVariable("USER");
    return name;
}

QString TTrafficLog::LogFileName(const QString& userName, const QDateTime& startTime)
{
    return QStringLiteral("JT6400LogFile_") + SanitizeUserName(userName) + QLatin1Char('_') +
           startTime.toString(QStringLiteral("MM-dd-yy_HH-mm-ss")) + QStringLiteral(".txt");
}

QString TTrafficLog::HeaderLine(const QDateTime& now)
{
    const QLocale locale = QLocale::system();
    // The long time format without its time-zone part.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
    return QStringLiteral("JT6400 Communication Log File ") + locale.toString(now.date(), QLocale::ShortFormat) +
           QLatin1Char(',') + locale.toString(now.time(), timeFormat.trimmed());
}

void TTrafficLog::FixNameParts()
{
    FixNameParts(UserNameFromEnvironment(), QDateTime::currentDateTime());
}

void TTrafficLog::FixNameParts(const QString& userName, const QDateTime& startTime)
{
    FUserName = userName;
    FStartTime = startTime;
    FNameFixed = true;
}

QString TTrafficLog::FileName() const
{
    return LogFileName(FUserName, FStartTime);
}

QString TTrafficLog::FilePath() const
{
    if (!FChosenPath.isEmpty())
        return FChosenPath;
    return FFolder.isEmpty() ? FileName() : QDir(FFolder).filePath(FileName());
}

bool TTrafficLog::IsOpen() const
{
    std::lock_guard lock(FMutex);
    return FFile.isOpen();
}

void TTrafficLog::SetEnabled(bool enabled)
{
    FEnabled = enabled;
    emit StateChanged(enabled);
}

void TTrafficLog::Close()
{
    {
        std::lock_guard lock(FMutex);
        if (FFile.isOpen()) {
            FFile.flush();
            FFile.close();
        }
    }
    if (FEnabled)
        SetEnabled(false);
}

// Called without the lock held: the message may wait for the window's thread.
void TTrafficLog::Fail()
{
    {
        std::lock_guard lock(FMutex);
        if (FFile.isOpen())
            FFile.close();
    }
    SetEnabled(false);
    FDialogs.MessageDlg(QString::fromLatin1(kCannotWrite), QString(), TMsgButton::mbOK, TMsgKind::mkWarning);
}

void TTrafficLog::ToggleLoggingState()
{
    if (FEnabled) {
        Close();
        return;
    }
    if (!FNameFixed)
        FixNameParts();
    SetEnabled(true);
    bool failed = false;
    {
        std::lock_guard lock(FMutex);
        if (FFile.isOpen())
            FFile.close();
        FFile.setFileName(FilePath());
        if (!FFile.open(QIODevice::WriteOnly | (FAppend ? QIODevice::Append : QIODevice::Truncate))) {
            failed = true;
        } else {
            const QByteArray header =
                (HeaderLine(QDateTime::currentDateTime()) + QStringLiteral("\r\n")).toLocal8Bit();
            failed = FFile.write(header) != header.size() || !FFile.flush();
        }
    }
    if (failed)
        Fail();
}

void TTrafficLog::AppendLine(const QString& line)
{
    bool failed = false;
    {
        std::lock_guard lock(FMutex);
        if (!FEnabled || !FFile.isOpen())
            return;
        const QByteArray bytes = (line + QStringLiteral("\r\n")).toLocal8Bit();
        failed = FFile.write(bytes) != bytes.size() || !FFile.flush();
    }
    if (failed)
        Fail();
}
