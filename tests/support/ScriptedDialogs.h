// Message boxes and file dialogs answered from a script: what would have been
// shown is recorded, and the answers are taken from queues, at once.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "platform/Dialogs.h"

class TScriptedDialogs : public IDialogs {
public:
    struct TShown {
        QString Text;
        QString Caption;
        TMsgButtons Buttons = mbNone;
        TMsgKind Kind = TMsgKind::mkInformation;
    };

    // Answers for the coming message boxes, taken in order. An answer that is
    // not in the box's button set, or an empty queue, gives the box's safe
    // default: the first of Abort, Cancel, No, OK, Ignore, Retry, Yes that the
    // set holds, so a script that runs out never loops on Retry.
    QList<TMsgButton> Answers;
    // Names the user types in the file dialogs, in order; empty when
    // exhausted. Each is returned the way a file dialog returns it: a name
    // without an extension gets the dialog's default suffix.
    QStringList FileNames;

    // Every message box shown, in order.
    QList<TShown> Shown;
    QStringList FileDialogCaptions;

    QStringList Texts() const;

    void OpenFileName(const QString& caption, const QString& filter, const QString& defaultSuffix,
                      TFileAnswer chosen) override;
    void SaveFileName(const QString& caption, const QString& filter, const QString& suggestedName,
                      const QString& defaultSuffix, TFileAnswer chosen) override;

protected:
    TMsgButton DoMessageDlg(const QString& text, const QString& caption, TMsgButtons buttons, TMsgKind kind) override;

private:
    QString TakeFileName(const QString& caption, const QString& defaultSuffix);
};
