#include "platform/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

struct TButtonMap {
  TMsgButton Own;
  QMessageBox::StandardButton Qt;
};

const TButtonMap kButtons[] = {
    {mbOK, QMessageBox::Ok},         {mbCancel, QMessageBox::Cancel}, {mbAbort, QMessageBox::Abort},
    {mbRetry, QMessageBox::Retry},   {mbIgnore, QMessageBox::Ignore}, {mbYes, QMessageBox::Yes},
    {mbNo, QMessageBox::No},
};

}  // namespace

TMsgButton TQtDialogs::DoMessageDlg(const QString& text, const QString& caption, TMsgButtons buttons, TMsgKind kind) {
  if (buttons == mbNone) buttons = mbOK;
  QMessageBox::Icon icon = QMessageBox::Information;
  switch (kind) {
    case TMsgKind::mkInformation: icon = QMessageBox::Information; break;
    case TMsgKind::mkWarning: icon = QMessageBox::Warning; break;
    case TMsgKind::mkError: icon = QMessageBox::Critical; break;
    case TMsgKind::mkConfirmation: icon = QMessageBox::Question; break;
    case TMsgKind::mkPlain: icon = QMessageBox::NoIcon; break;
  }
  QMessageBox::StandardButtons qtButtons;
  for (const auto& m : kButtons)
    if (buttons & m.Own) qtButtons |= m.Qt;
  const QString title = caption.isEmpty() ? QApplication::applicationName() : caption;
  QMessageBox box(icon, title, text, qtButtons, FParent);
  const int pressed = box.exec();
  for (const auto& m : kButtons)
    if (pressed == m.Qt) return m.Own;
  return SafeDefaultButton(buttons);
}

QString TQtDialogs::OpenFileName(const QString& caption, const QString& filter) {
  return QFileDialog::getOpenFileName(FParent, caption, QString(), filter);
}

QString TQtDialogs::SaveFileName(const QString& caption, const QString& filter, const QString& suggestedName) {
  // Saving replaces an existing file without asking.
  return QFileDialog::getSaveFileName(FParent, caption, suggestedName, filter, nullptr,
                                      QFileDialog::DontConfirmOverwrite);
}
