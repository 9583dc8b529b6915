// The Storage, Tools and Help menu commands that keep or show things: the
// settings file, the generator's storage bins, the screen capture, the About
// box and the web site. TStorage binds itself to the window's menu actions;
// the settings-file commands ask for a read-back with ReadBackDue and go on
// once the line has carried it out. A restore's lines are one job on the
// line.
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

#include "storage/SettingsRestore.h"
#include "storage/TrpVersionInfo.h"

class IDialogs;
class IUrlOpener;
class TCommunication;
class TLineOwner;
class TMainForm;
class TMessageForm;
class TTaskQueue;
struct TDeviceIdentity;
struct TProgramState;

// The maker's web page.
QUrl MakerWebSite();
// The capture file, in the working folder.
inline const QString kScreenShotFileName = QStringLiteral("6400ScreenShot.jpg");
constexpr int kScreenShotQuality = 90;

// The six lines of the About box, joined by CR LF.
QString AboutText(const TDeviceIdentity& identity, const QString& softwareVersion);

class TStorage : public QObject {
    Q_OBJECT
public:
    TStorage(TProgramState& state, TMainForm& form, TMessageForm& splash, TCommunication& comm, TLineOwner& line,
             TTaskQueue& queue, IDialogs& dialogs, IUrlOpener& urls);

    // Storage > Save Settings To File / Restore Settings From File.
    void SaveToFileClick();
    void RestoreFromFileClick();

    // Storage > Save To Bin 1..6: queues "*SAV n".
    void SaveToBin(int bin);
    // Storage > Restore From Bin 0..6: asks the task tick for a recall of the
    // bin and a read-back; the last choice before the tick wins.
    void RestoreFromBin(int bin);

    // Tools > Capture Screen Shot (the picture is taken once the menu has
    // closed); Help > About; Help > Web Site.
    void CaptureScreenShotClick();
    void AboutClick();
    void WebSiteClick();

    const TrpVersionInfo& VersionInfo() const { return FVersionInfo; }

signals:
    // A settings-file command wants a fresh read-back of the generator, now.
    void ReadBackDue();

private:
    void BindMenu();
    void CaptureScreenShot();
    // A save or restore spans read-backs and exchanges on the line; a second
    // one does not start while it runs, and none starts while a read-back is
    // under way (Handler then runs once the read-back has ended). False when
    // Handler must not run now.
    bool StartFileOperation(void (TStorage::*handler)());
    // Runs Job on the line and Then on this thread after it, and after
    // everything posted to the line before. Without a running line (the
    // demonstration mode) both run at once.
    void OnLine(std::function<void(TCommunication&)> job, std::function<void()> then);
    void FinishSave();
    // The file the user chose to restore: read, checked, then sent.
    void RestoreFromFile(const QString& path);
    void FinishRestore(bool sent);

    TProgramState& FState;
    TMainForm& FForm;
    TMessageForm& FSplash;
    TCommunication& FComm;
    TLineOwner& FLine;
    TTaskQueue& FQueue;
    IDialogs& FDialogs;
    IUrlOpener& FUrls;
    TrpVersionInfo FVersionInfo;
    // Pause before each line of a restore, in milliseconds.
    int FLinePause = kRestoreLinePause;
    bool FInFileOperation = false;
    // The file command chosen during a read-back, to run at its end.
    void (TStorage::*FDeferred)() = nullptr;
};
