// The optional traffic log: one text file per run, named after the user and
// the start-up time, with one time-stamped line per command, answer or
// refusal. Every line is flushed as it is written, and the file is closed
// by Close, by switching logging off and by destruction, so no line is lost
// however the program ends. The command channel writes its lines from the
// line owner's thread while the window switches logging on and off, so the
// file is used under a lock.
#pragma once

#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>

class IDialogs;

// Local time of day as "hh:nn:ss.zzz" (24-hour, three-digit milliseconds).
QString TimeStamp();
QString TimeStamp(const QTime& time);

class TTrafficLog : public QObject {
    Q_OBJECT
public:
    explicit TTrafficLog(IDialogs& dialogs);
    ~TTrafficLog() override;

    // Fixes the name parts once for the run: the user name (USERNAME, or USER
    // where USERNAME is unset) and the start-up time.
    void FixNameParts();
    void FixNameParts(const QString& userName, const QDateTime& startTime);

    // Folder of the file; empty (the default) means the working directory.
    void SetFolder(const QString& folder) { FFolder = folder; }
    // A file of the caller's choosing instead of the generated name.
    void SetFilePath(const QString& path) { FChosenPath = path; }
    // Keep what the file holds and add this run after it (its own header
    // line first) instead of creating it afresh.
    void SetAppend(bool append) { FAppend = append; }
    // "JT6400LogFile_" user "_" "mm-dd-yy_hh-nn-ss" ".txt"
    QString FileName() const;
    QString FilePath() const;

    // On: creates the file afresh (or appends, see SetAppend) with its
    // header line. Off: closes it.
    // A file that cannot be created shows the "cannot be written" message and
    // leaves logging off.
    void ToggleLoggingState();
    // Closes the file and turns logging off (every way the program ends).
    void Close();
    bool IsOpen() const;
    // Logging is on (the menu item's check mark).
    bool Enabled() const { return FEnabled; }

    // Appends one line while logging is on. A line that cannot be written
    // turns logging off with the same message as a failed creation.
    void AppendLine(const QString& line);

    static QString LogFileName(const QString& userName, const QDateTime& startTime);
    // Removes everything from a user name that could take the file out of
    // its folder or is not allowed in a file name: path separators, "..",
    // drive colons, wildcard and control characters.
    static QString SanitizeUserName(const QString& userName);
    static QString UserNameFromEnvironment();
    static QString HeaderLine(const QDateTime& now);

signals:
    // Logging was switched on or off (the menu's check mark follows it).
    void StateChanged(bool enabled);

private:
    void SetEnabled(bool enabled);
    void Fail();

    IDialogs& FDialogs;
    mutable std::mutex FMutex;  // guards FFile
    QFile FFile;
    std::atomic<bool> FEnabled{false};
    QString FFolder;
    QString FChosenPath;
    QString FUserName;
    QDateTime FStartTime;
    bool FNameFixed = false;
    bool FAppend = false;
};
