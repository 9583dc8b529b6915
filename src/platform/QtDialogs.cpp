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
    {TMsgButton::mbOK, QMessageBox::Ok},         {TMsgButton::mbCancel, QMessageBox::Cancel},
    {TMsgButton::mbAbort, QMessageBox::Abort},   {TMsgButton::mbRetry, QMessageBox::Retry},
    {TMsgButton::mbIgnore, QMessageBox::Ignore}, {TMsgButton::mbYes, QMessageBox::Yes},
    {TMsgButton::mbNo, QMessageBox::No},
};

// Runs a file dialog; the chosen name, or empty when cancelled.
QString RunFileDialog(QFileDialog& dialog, const QString& defaultSuffix)
{
    // The dialog adds the suffix to a typed name before it checks that an
    // existing file is chosen, so "name" opens "name.txt".
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

}  // namespace

TMsgButton TQtDialogs::DoMessageDlg(const QString& text, const QString& caption, TMsgButtons buttons, TMsgKind kind)
{
    if (buttons == mbNone)
        buttons = TMsgButton::mbOK;
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (kind) {
        case TMsgKind::mkInformation:
            icon = QMessageBox::Information;
            break;
        case TMsgKind::mkWarning:
            icon = QMessageBox::Warning;
            break;
        case TMsgKind::mkError:
            icon = QMessageBox::Critical;
            break;
        case TMsgKind::mkConfirmation:
            icon = QMessageBox::Question;
            break;
        case TMsgKind::mkPlain:
            icon = QMessageBox::NoIcon;
            break;
    }
    QMessageBox::StandardButtons qtButtons;
    for (const auto& m : kButtons)
        if (buttons.testFlag(m.Own))
            qtButtons |= m.Qt;
    const QString title = caption.isEmpty() ? QApplication::applicationName() : caption;
    QMessageBox box(icon, title, text, qtButtons, FParent);
    const int pressed = box.exec();
    for (const auto& m : kButtons)
        if (pressed == m.Qt)
            return m.Own;
    return SafeDefaultButton(buttons);
}

QString TQtDialogs::OpenFileName(const QString& caption, const QString& filter, const QString& defaultSuffix)
{
    QFileDialog dialog(FParent, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return RunFileDialog(dialog, defaultSuffix);
}

QString TQtDialogs::SaveFileName(const QString& caption, const QString& filter, const QString& suggestedName,
                                 const QString& defaultSuffix)
{
    QFileDialog dialog(FParent, caption, suggestedName, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Saving replaces an existing file without asking.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    return RunFileDialog(dialog, defaultSuffix);
}
