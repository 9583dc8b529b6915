// The program's real message boxes and file dialogs (QMessageBox,
// QFileDialog): the windowed implementation of IDialogs.
#pragma once

#include "platform/Dialogs.h"

class QWidget;

class TQtDialogs : public IDialogs {
public:
    explicit TQtDialogs(QWidget* parent = nullptr) : FParent(parent) {}
    QString OpenFileName(const QString& caption, const QString& filter, const QString& defaultSuffix) override;
    QString SaveFileName(const QString& caption, const QString& filter, const QString& suggestedName,
                         const QString& defaultSuffix) override;

protected:
    TMsgButton DoMessageDlg(const QString& text, const QString& caption, TMsgButtons buttons, TMsgKind kind) override;

private:
    QWidget* FParent;
};
