#include "Storage.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QThread>
#include <QTimer>

#include "App.h"
#include "Dialogs.h"
#include "JT6400.h"
#include "JTComPort.h"
#include "MessageInfo.h"
#include "ProgramState.h"
#include "ScreenCapture.h"
#include "SettingsFile.h"
#include "TaskQueue.h"

namespace {

const QString kSaveCaption = QStringLiteral("Save system parameters");
const QString kOpenCaption = QStringLiteral("Open");
const QString kTextFilter = QStringLiteral("Text file (*.txt)");
const QString kOpenFilter = QStringLiteral("Text file (*.txt);;All files (*)");
const QString kDefaultExtension = QStringLiteral("txt");
constexpr int kRetryInterval = 20;  // ms

struct TFlagGuard {
  bool& Flag;
  explicit TFlagGuard(bool& flag) : Flag(flag) { Flag = true; }
  ~TFlagGuard() { Flag = false; }
};

}  // namespace

void TDesktopUrlOpener::OpenUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

QUrl MakerWebSite() { return QUrl(QStringLiteral("http://www.jentrix.com/")); }

QString AboutText(const TDeviceIdentity& identity, const QString& softwareVersion) {
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

TStorage::TStorage(TJT6400App& app, IDialogs& dialogs, IUrlOpener& urls)
    : QObject(&app), FApp(app), FDialogs(dialogs), FUrls(urls), FVersionInfo(this) {
  BindMenu();
}

void TStorage::BindMenu() {
  TMainForm& f = FApp.Form();
  for (int bin = 1; bin <= 6; ++bin)
    connect(f.SaveToBin[bin], &QAction::triggered, this, [this, bin] { SaveToBin(bin); });
  for (int bin = 0; bin <= 6; ++bin)
    connect(f.RestoreFromBin[bin], &QAction::triggered, this, [this, bin] { RestoreFromBin(bin); });
  connect(f.SaveToFile1, &QAction::triggered, this, &TStorage::SaveToFile1Click);
  connect(f.RestoreSettingsFromFile1, &QAction::triggered, this, &TStorage::RestoreSettingsFromFile1Click);
  connect(f.CaptureScreenShot1, &QAction::triggered, this, &TStorage::CaptureScreenShot1Click);
  connect(f.About1, &QAction::triggered, this, &TStorage::About1Click);
  connect(f.WebSite1, &QAction::triggered, this, &TStorage::WebSite1Click);
}

bool TStorage::StartFileOperation(void (TStorage::*handler)()) {
  const TProgramState& s = FApp.State();
  if (s.Terminating || FInFileOperation) return false;
  // The menu is live while another exchange or a read-back waits for the
  // generator. Reading back in the middle of it would interleave two query
  // sequences on the line, so the command runs once the line is free.
  if (s.CommandsDisabled || s.TasksRunning || s.StatusPolling || FApp.Form().ComPort->InUse()) {
    QTimer::singleShot(kRetryInterval, this, handler);
    return false;
  }
  return true;
}

void TStorage::SaveToFile1Click() {
  if (!StartFileOperation(&TStorage::SaveToFile1Click)) return;
  TFlagGuard guard(FInFileOperation);
  TProgramState& state = FApp.State();

  // A fresh snapshot of the generator's settings.
  if (FApp.Initialize) FApp.Initialize();
  if (state.Terminating) return;

  const QString chosen = FDialogs.SaveFileName(kSaveCaption, kTextFilter, QDir::currentPath(), kDefaultExtension);
  if (chosen.isEmpty()) {
    FDialogs.ShowMessage(QStringLiteral("Save to file was cancelled"));
    return;
  }
  const QString error = WriteSettingsFile(chosen, state.SettingsList);
  if (!error.isEmpty()) FDialogs.MessageDlg(error, QString(), mbOK, TMsgKind::mkError);
}

void TStorage::RestoreSettingsFromFile1Click() {
  if (!StartFileOperation(&TStorage::RestoreSettingsFromFile1Click)) return;
  TFlagGuard guard(FInFileOperation);
  TProgramState& state = FApp.State();

  const QString path = FDialogs.OpenFileName(kOpenCaption, kOpenFilter, kDefaultExtension);
  if (path.isEmpty()) return;

  // The whole file is read and checked before anything is sent.
  const TSettingsFileText file = ReadSettingsFile(path);
  if (!file.Ok()) {
    FDialogs.MessageDlg(file.Error, QString(), mbOK, TMsgKind::mkError);
    return;
  }
  state.SettingsList = file.Lines;

  TMessageForm& splash = FApp.MessageForm();
  if (!state.SettingsList.isEmpty()) {
    splash.MessageLabel->SetCaption(QStringLiteral("Loading. Please wait..."));
    splash.ShowNow();
    // A copy: the list may be rebuilt by a read-back while replies are awaited.
    const QStringList lines = state.SettingsList;
    for (const QString& line : lines) {
      if (FLinePause > 0) QThread::msleep(static_cast<unsigned long>(FLinePause));
      if (line.contains(QLatin1String("//"))) continue;
      FApp.Comm().SendCommand(line);
      if (state.Terminating) return;
      QCoreApplication::processEvents();
      if (state.Terminating) return;
    }
  } else {
    FDialogs.ShowMessage(QStringLiteral("Empty file."));
  }

  if (FApp.Initialize) FApp.Initialize();
  if (state.Terminating) return;
  splash.hide();
  FDialogs.ShowMessage(QStringLiteral("Settings loaded."));
}

void TStorage::SaveToBin(int bin) {
  if (bin < 1 || bin > 6) return;
  FApp.Queue().QueuedCommandToPort(QStringLiteral("*SAV ") + QString::number(bin));
}

void TStorage::RestoreFromBin(int bin) {
  if (bin < 0 || bin > 6) return;
  TProgramState& state = FApp.State();
  state.RecallBin = bin;
  state.RecallRequested = -1;
  FApp.Queue().Wake();
}

void TStorage::CaptureScreenShot1Click() {
  // The menu that chose this command closes while the command runs, but the
  // window under it is drawn again only later: the picture is taken from
  // the event loop, once no menu is open, after the window has been drawn.
  QTimer::singleShot(0, this, &TStorage::CaptureScreenShot);
}

void TStorage::CaptureScreenShot() {
  if (FApp.State().Terminating) return;
  if (QApplication::activePopupWidget()) {
    QTimer::singleShot(kRetryInterval, this, &TStorage::CaptureScreenShot);
    return;
  }
  TMainForm& form = FApp.Form();
  // Drawn and handed to the display before the screen is read back, on the
  // same connection, so the screen holds the window's own pixels.
  form.repaint();
  const QImage picture = GrabScreenRect(form.frameGeometry());
  const QString error = WriteJpegFile(picture, kScreenShotFileName, kScreenShotQuality);
  if (!error.isEmpty()) FDialogs.MessageDlg(error, QString(), mbOK, TMsgKind::mkError);
}

void TStorage::About1Click() {
  FDialogs.ShowMessage(AboutText(FApp.State().DeviceIdentity, FVersionInfo.FileVersion()));
}

void TStorage::WebSite1Click() { FUrls.OpenUrl(MakerWebSite()); }
