// The message boxes of the shared parts, for a program without a window:
// every message goes to standard error as one line, every box takes its
// safe default answer, and no file dialog is ever shown.
#pragma once

#include "platform/Dialogs.h"

#include <cstdio>

namespace jtcli {

class TConsoleDialogs : public IDialogs {
public:
    explicit TConsoleDialogs(std::FILE* err) : FErr(err) {}

    void OpenFileName(const QString&, const QString&, const QString&, TFileAnswer chosen) override
    {
        if (chosen)
            chosen(QString());
    }
    void SaveFileName(const QString&, const QString&, const QString&, const QString&, TFileAnswer chosen) override
    {
        if (chosen)
            chosen(QString());
    }

protected:
    TMsgButton DoMessageDlg(const QString& text, const QString& caption, TMsgButtons buttons, TMsgKind kind) override;

private:
    std::FILE* FErr;
};

}  // namespace jtcli
