// Message boxes and file dialogs go through this small interface so that
// tests can answer them: TQtDialogs (platform/QtDialogs.h, the windowed part)
// shows real boxes; the tests have a scripted stand-in. Nothing here needs
// the widget toolkit.
#pragma once

#include <QFlags>
#include <QString>

#include <functional>

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

// Boxes and file dialogs never wait on the window's thread: they are shown
// and return at once, and the answer comes later to a completion. Only a
// thread that may wait (a job on the line, asking through the line owner, or
// a program without a window) asks with MessageDlg and gets the answer back.
class IDialogs {
public:
    using TAnswer = std::function<void(TMsgButton button)>;
    // The chosen file's name; empty when the user cancelled.
    using TFileAnswer = std::function<void(const QString& fileName)>;

    virtual ~IDialogs() = default;
    // Shows a message box (modal to the window it belongs to) and returns at
    // once; Answered, when given, runs with the button pressed (one of
    // Buttons) once the user has chosen. An empty Caption means the
    // program's name. A stand-in that shows nothing answers at once.
    void AskMessage(const QString& text, const QString& caption, TMsgButtons buttons, TMsgKind kind,
                    TAnswer answered)
    {
        DoAskMessage(text, caption, buttons, kind, std::move(answered));
    }
    // A box whose answer the caller waits for: for a thread that may wait.
    // On the window's thread only a box with OK alone is shown this way (it
    // returns OK at once); a question there is asked with AskMessage.
    TMsgButton MessageDlg(const QString& text, const QString& caption, TMsgButtons buttons,
                          TMsgKind kind = TMsgKind::mkInformation)
    {
        return DoMessageDlg(text, caption, buttons, kind);
    }
    // A plain box with only OK; nothing waits for it.
    void ShowMessage(const QString& text)
    {
        DoAskMessage(text, QString(), TMsgButton::mbOK, TMsgKind::mkPlain, {});
    }

    // File dialogs: Chosen runs with the name the user chose (empty when
    // cancelled). A name typed without an extension gets DefaultSuffix (when
    // that is not empty), so an open dialog finds "name.txt" when the user
    // types "name".
    virtual void OpenFileName(const QString& caption, const QString& filter, const QString& defaultSuffix,
                              TFileAnswer chosen) = 0;
    virtual void SaveFileName(const QString& caption, const QString& filter, const QString& suggestedName,
                              const QString& defaultSuffix, TFileAnswer chosen) = 0;

protected:
    virtual TMsgButton DoMessageDlg(const QString& text, const QString& caption, TMsgButtons buttons,
                                    TMsgKind kind) = 0;
    // By default the answer of DoMessageDlg, passed on at once: right for a
    // stand-in that shows nothing or answers from a script.
    virtual void DoAskMessage(const QString& text, const QString& caption, TMsgButtons buttons, TMsgKind kind,
                              TAnswer answered)
    {
        const TMsgButton button = DoMessageDlg(text, caption, buttons, kind);
        if (answered)
            answered(button);
    }
};

// The answer a box gets when nobody chooses: the first of Abort, Cancel, No,
// OK, Ignore, Retry, Yes that Buttons holds (OK for an empty set).
TMsgButton SafeDefaultButton(TMsgButtons buttons);

// A shared instance for components that were given no dialogs of their own:
// it shows nothing, answers every box with its safe default and every file
// dialog as cancelled.
IDialogs& DefaultDialogs();
