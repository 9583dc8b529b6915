#include "storage/Storage.h"

#include <QPointer>

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <utility>

#include "comm/Communication.h"
#include "comm/LineOwner.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "window/MainForm.h"
#include "window/MessageForm.h"
#include "model/ProgramState.h"
#include "storage/ScreenCapture.h"
#include "storage/SettingsFile.h"
#include "storage/SettingsRestore.h"
#include "scheduling/TaskQueue.h"

namespace {

const QString kSaveCaption = QStringLiteral("Save system parameters");
const QString kOpenCaption = QStringLiteral("Open");
const QString kTextFilter = QStringLiteral("Text file (*.txt)");
const QString kOpenFilter = QStringLiteral("Text file (*.txt);;All files (*)");
const QString kDefaultExtension = QStringLiteral("txt");
constexpr int kRetryInterval = 20;  // ms

}  // namespace

QUrl MakerWebSite()
{
    return QUrl(QStringLiteral("http://www.jentrix.com/"));
}

QString AboutText(const TDeviceIdentity& identity, const QString& softwareVersion)
{
    const QStringList lines = {
        QStringLiteral("Company: ") + ManufacturerName(identity),
        QStringLiteral("Model Number: ") + identity.Model,
        QStringLiteral("Serial Number: ") + QString::number(identity.SerialNumber),
        QStringLiteral("Firmware Version: ") + identity.FirmwareVersion,
        QStringLiteral("FPGA Version: ") + identity.FpgaVersion,
        QStringLiteral("Software Version: ") + softwareVersion,
    };
    return lines.join(QStringLiteral("\r\n"));
}

TStorage::TStorage(TProgramState& state, TMainForm& form, TMessageForm& splash, TCommunication& comm, TLineOwner& line,
                   TTaskQueue& queue, IDialogs& dialogs, IUrlOpener& urls)
    : FState(state),
      FForm(form),
      FSplash(splash),
      FComm(comm),
      FLine(line),
      FQueue(queue),
      FDialogs(dialogs),
      FUrls(urls),
      FVersionInfo(this)
{
    BindMenu();
}

void TStorage::BindMenu()
{
    TMainForm* f = &FForm;
    connect(f, &TMainForm::SaveToBinRequested, this, [this](int bin) { SaveToBin(bin); });
    connect(f, &TMainForm::RestoreFromBinRequested, this, [this](int bin) { RestoreFromBin(bin); });
    connect(f, &TMainForm::SaveToFileRequested, this, &TStorage::SaveToFileClick);
    connect(f, &TMainForm::RestoreFromFileRequested, this, &TStorage::RestoreFromFileClick);
    connect(f, &TMainForm::CaptureRequested, this, &TStorage::CaptureScreenShotClick);
    connect(f, &TMainForm::AboutRequested, this, &TStorage::AboutClick);
    connect(f, &TMainForm::WebSiteRequested, this, &TStorage::WebSiteClick);
    // A file command put off by a read-back runs once the read-back has
    // wholly ended, not inside its last step.
    connect(
        &FQueue, &TTaskQueue::CommandsEnabled, this,
        [this] {
            if (const auto deferred = std::exchange(FDeferred, nullptr))
                (this->*deferred)();
        },
        Qt::QueuedConnection);
}

bool TStorage::StartFileOperation(void (TStorage::*handler)())
{
    if (FLine.Ending() || FInFileOperation)
        return false;
    // The menu is live while a read-back runs. Its snapshot is taken over
    // when it ends, so the command starts once it is over.
    if (FQueue.CommandsDisabled()) {
        FDeferred = handler;
        return false;
    }
    return true;
}

void TStorage::OnLine(std::function<void(TCommunication&)> job, std::function<void()> then)
{
    if (!FLine.Started()) {
        if (job)
            job(FComm);
        then();
        return;
    }
    FLine.Post([this, job = std::move(job), then = std::move(then)](TCommunication& channel) {
        if (job)
            job(channel);
        TLineOwner::Deliver(this, then);
    });
}

void TStorage::SaveToFileClick()
{
    if (!StartFileOperation(&TStorage::SaveToFileClick))
        return;
    FInFileOperation = true;
    // A fresh snapshot of the generator's settings, then the file.
    emit ReadBackDue();
    OnLine({}, [this] { FinishSave(); });
}

void TStorage::FinishSave()
{
    FInFileOperation = false;
    if (FLine.Ending())
        return;
    // The settings as read back now are what the file gets, whenever the
    // user has chosen its name.
    const QStringList lines = FState.SettingsList;
    const QPointer<TStorage> self(this);
    FDialogs.SaveFileName(kSaveCaption, kTextFilter, QDir::currentPath(), kDefaultExtension,
                          [this, self, lines](const QString& chosen) {
                              if (!self)
                                  return;
                              if (chosen.isEmpty()) {
                                  FDialogs.ShowMessage(QStringLiteral("Save to file was cancelled"));
                                  return;
                              }
                              const QString error = WriteSettingsFile(chosen, lines);
                              if (!error.isEmpty())
                                  FDialogs.MessageDlg(error, QString(), TMsgButton::mbOK, TMsgKind::mkError);
                          });
}

void TStorage::RestoreFromFileClick()
{
    if (!StartFileOperation(&TStorage::RestoreFromFileClick))
        return;
    const QPointer<TStorage> self(this);
    FDialogs.OpenFileName(kOpenCaption, kOpenFilter, kDefaultExtension, [this, self](const QString& path) {
        if (self && !path.isEmpty() && !FLine.Ending() && !FInFileOperation)
            RestoreFromFile(path);
    });
}

void TStorage::RestoreFromFile(const QString& path)
{
    TProgramState& state = FState;

    // The whole file is read and checked before anything is sent.
    const TSettingsFileText file = ReadSettingsFile(path);
    if (!file.Ok()) {
        FDialogs.MessageDlg(file.Error, QString(), TMsgButton::mbOK, TMsgKind::mkError);
        return;
    }
    state.SettingsList = file.Lines;

    FInFileOperation = true;
    if (state.SettingsList.isEmpty()) {
        FDialogs.ShowMessage(QStringLiteral("Empty file."));
        FinishRestore(true);
        return;
    }
    FSplash.ShowNow(QStringLiteral("Loading. Please wait..."));
    // The lines go out as one job; it stops at the next line once the
    // program is ending.
    auto sent = std::make_shared<bool>(false);
    OnLine(
        [lines = state.SettingsList, pause = FLinePause, line = &FLine, sent](TCommunication& channel) {
            *sent = SendSettingsLines(channel, lines, pause, [line](qsizetype) { return !line->Ending(); });
        },
        [this, sent] { FinishRestore(*sent); });
}

void TStorage::FinishRestore(bool sent)
{
    if (!sent || FLine.Ending()) {
        FInFileOperation = false;
        return;
    }
    emit ReadBackDue();
    OnLine({}, [this] {
        FInFileOperation = false;
        if (FLine.Ending())
            return;
        FSplash.hide();
        FDialogs.ShowMessage(QStringLiteral("Settings loaded."));
    });
}

void TStorage::SaveToBin(int bin)
{
    if (bin < 1 || bin > 6)
        return;
    FQueue.QueuedCommandToPort(QStringLiteral("*SAV ") + QString::number(bin));
}

void TStorage::RestoreFromBin(int bin)
{
    if (bin < 0 || bin > 6)
        return;
    FQueue.RequestRecall(bin);
}

void TStorage::CaptureScreenShotClick()
{
    // The menu that chose this command closes while the command runs, but the
    // window under it is drawn again only later: the picture is taken from
    // the event loop, once no menu is open, after the window has been drawn.
    QTimer::singleShot(0, this, &TStorage::CaptureScreenShot);
}

void TStorage::CaptureScreenShot()
{
    if (FLine.Ending())
        return;
    if (QApplication::activePopupWidget()) {
        QTimer::singleShot(kRetryInterval, this, &TStorage::CaptureScreenShot);
        return;
    }
    TMainForm& form = FForm;
    // Drawn and handed to the display before the screen is read back, on the
    // same connection, so the screen holds the window's own pixels.
    form.repaint();
    const QImage picture = GrabScreenRect(form.frameGeometry());
    const QString error = WriteJpegFile(picture, kScreenShotFileName, kScreenShotQuality);
    if (!error.isEmpty())
        FDialogs.MessageDlg(error, QString(), TMsgButton::mbOK, TMsgKind::mkError);
}

void TStorage::AboutClick()
{
    FDialogs.ShowMessage(AboutText(FState.DeviceIdentity, FVersionInfo.FileVersion()));
}

void TStorage::WebSiteClick()
{
    FUrls.OpenUrl(MakerWebSite());
}
