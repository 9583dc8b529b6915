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

// Opens a file dialog; Chosen gets the chosen name, or empty when cancelled.
void OpenFileDialog(QFileDialog* dialog, const QString& defaultSuffix, IDialogs::TFileAnswer chosen)
{
    // The dialog adds the suffix to a typed name before it checks that an
    // existing file is chosen, so "name" opens "name.txt".
    dialog->setDefaultSuffix(defaultSuffix);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, chosen = std::move(chosen)](int result) {
        const QStringList files = dialog->selectedFiles();
        const QString name = result == QDialog::Accepted && !files.isEmpty() ? files.constFirst() : QString();
        if (chosen)
            chosen(name);
    });
    dialog->open();
}

}  // namespace

TMsgButton TQtDialogs::DoMessageDlg(const QString& text, const QString& caption, TMsgButtons buttons, TMsgKind kind)
{
    if (buttons == mbNone)
        buttons = TMsgButton::mbOK;
    // Nothing on the window's thread waits for a user: a question asked so
    // is a fault of its caller, and is not shown.
    Q_ASSERT_X(buttons == TMsgButton::mbOK, "TQtDialogs::MessageDlg", "a question is asked with AskMessage");
    if (buttons != TMsgButton::mbOK)
        return SafeDefaultButton(buttons);
    DoAskMessage(text, caption, buttons, kind, {});
    return TMsgButton::mbOK;
}

void TQtDialogs::DoAskMessage(const QString& text, const QString& caption, TMsgButtons buttons, TMsgKind kind,
                              TAnswer answered)
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
    auto* box = new QMessageBox(icon, title, text, qtButtons, FParent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QDialog::finished, box, [box, buttons, answered = std::move(answered)] {
        if (!answered)
            return;
        const QMessageBox::StandardButton pressed = box->standardButton(box->clickedButton());
        for (const auto& m : kButtons)
            if (pressed == m.Qt) {
                answered(m.Own);
                return;
            }
        // Closed without a button (Esc on a box without Cancel, the close box).
        answered(SafeDefaultButton(buttons));
    });
    box->open();
}

void TQtDialogs::OpenFileName(const QString& caption, const QString& filter, const QString& defaultSuffix,
                              TFileAnswer chosen)
{
    auto* dialog = new QFileDialog(FParent, caption, QString(), filter);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    OpenFileDialog(dialog, defaultSuffix, std::move(chosen));
}

void TQtDialogs::SaveFileName(const QString& caption, const QString& filter, const QString& suggestedName,
                              const QString& defaultSuffix, TFileAnswer chosen)
{
    auto* dialog = new QFileDialog(FParent, caption, suggestedName, filter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // Saving replaces an existing file without asking.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    OpenFileDialog(dialog, defaultSuffix, std::move(chosen));
}
