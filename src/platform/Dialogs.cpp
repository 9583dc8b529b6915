#include "platform/Dialogs.h"

namespace {

// Shows nothing; every box takes its safe default.
class TUnseenDialogs : public IDialogs {
public:
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
    TMsgButton DoMessageDlg(const QString&, const QString&, TMsgButtons buttons, TMsgKind) override
    {
        return SafeDefaultButton(buttons);
    }
};

}  // namespace

TMsgButton SafeDefaultButton(TMsgButtons buttons)
{
    for (TMsgButton b : {TMsgButton::mbAbort, TMsgButton::mbCancel, TMsgButton::mbNo, TMsgButton::mbOK,
                         TMsgButton::mbIgnore, TMsgButton::mbRetry, TMsgButton::mbYes})
        if (buttons.testFlag(b))
            return b;
    return TMsgButton::mbOK;
}

IDialogs& DefaultDialogs()
{
    static TUnseenDialogs dialogs;
    return dialogs;
}
