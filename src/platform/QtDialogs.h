// The program's real message boxes and file dialogs (QMessageBox,
// QFileDialog): the windowed implementation of IDialogs. Every one is opened
// with open(), modal to its parent window, and reports its answer when the
// user gives it: nothing waits for it and no event loop runs inside another.
#pragma once

#include "platform/Dialogs.h"

#include <QPointer>
#include <QWidget>

class TQtDialogs : public IDialogs {
public:
    explicit TQtDialogs(QWidget* parent = nullptr) : FParent(parent) {}
    // The window the boxes and dialogs belong to (the main window).
    void SetParent(QWidget* parent) { FParent = parent; }

    void OpenFileName(const QString& caption, const QString& filter, const QString& defaultSuffix,
                      TFileAnswer chosen) override;
    void SaveFileName(const QString& caption, const QString& filter, const QString& suggestedName,
                      const QString& defaultSuffix, TFileAnswer chosen) override;

protected:
    // A box with OK alone is shown and OK returned at once; a question
    // cannot be answered without waiting: it is not shown and gets its safe
    // default (and stops a debug build).
    TMsgButton DoMessageDlg(const QString& text, const QString& caption, TMsgButtons buttons, TMsgKind kind) override;
    void DoAskMessage(const QString& text, const QString& caption, TMsgButtons buttons, TMsgKind kind,
                      TAnswer answered) override;

private:
    QPointer<QWidget> FParent;
};
