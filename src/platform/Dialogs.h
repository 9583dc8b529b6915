// Message boxes and file dialogs go through this small interface so that
// tests can answer them: TQtDialogs (platform/QtDialogs.h, the windowed part)
// shows real boxes; the tests have a scripted stand-in. Nothing here needs
// the widget toolkit.
#pragma once

#include <QFlags>
#include <QString>

// One button of a message box.
enum class TMsgButton : unsigned {
    mbOK = 1u << 0,
    mbCancel = 1u << 1,
    mbAbort = 1u << 2,
    mbRetry = 1u << 3,
    mbIgnore = 1u << 4,
    mbYes = 1u << 5,
    mbNo = 1u << 6,
};
// The buttons a box offers.
Q_DECLARE_FLAGS(TMsgButtons, TMsgButton)
Q_DECLARE_OPERATORS_FOR_FLAGS(TMsgButtons)
constexpr TMsgButtons mbNone{};
constexpr TMsgButtons mbAbortRetry = TMsgButton::mbAbort | TMsgButton::mbRetry;
constexpr TMsgButtons mbYesNo = TMsgButton::mbYes | TMsgButton::mbNo;
constexpr TMsgButtons mbYesNoIgnore = TMsgButton::mbYes | TMsgButton::mbNo | TMsgButton::mbIgnore;
constexpr TMsgButtons mbOKCancel = TMsgButton::mbOK | TMsgButton::mbCancel;

// mkPlain: a box without an icon, as for plain messages and the About box.
enum class TMsgKind { mkInformation, mkWarning, mkError, mkConfirmation, mkPlain };

class IDialogs {
public:
    virtual ~IDialogs() = default;
    // Shows a modal message box and returns the button pressed (one of
    // Buttons). An empty Caption means the program's name.
    TMsgButton MessageDlg(const QString& text, const QString& caption, TMsgButtons buttons,
                          TMsgKind kind = TMsgKind::mkInformation)
    {
        return DoMessageDlg(text, caption, buttons, kind);
    }
    // A plain box with only OK.
    void ShowMessage(const QString& text) { DoMessageDlg(text, QString(), TMsgButton::mbOK, TMsgKind::mkPlain); }

    // File dialogs; an empty result means the user cancelled. A name typed
    // without an extension gets DefaultSuffix (when that is not empty), so an
    // open dialog finds "name.txt" when the user types "name".
    virtual QString OpenFileName(const QString& caption, const QString& filter, const QString& defaultSuffix) = 0;
    virtual QString SaveFileName(const QString& caption, const QString& filter, const QString& suggestedName,
                                 const QString& defaultSuffix) = 0;

protected:
    virtual TMsgButton DoMessageDlg(const QString& text, const QString& caption, TMsgButtons buttons,
                                    TMsgKind kind) = 0;
};

// The answer a box gets when nobody chooses: the first of Abort, Cancel, No,
// OK, Ignore, Retry, Yes that Buttons holds (OK for an empty set).
TMsgButton SafeDefaultButton(TMsgButtons buttons);

// A shared instance for components that were given no dialogs of their own:
// it shows nothing, answers every box with its safe default and every file
// dialog as cancelled.
IDialogs& DefaultDialogs();
