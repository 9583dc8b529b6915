#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace {

// The names a file dialog of Dialogs gives; "<none>" when it never answers.
QString Opened(IDialogs& dialogs, const QString& caption, const QString& filter, const QString& suffix)
{
    QString name = QStringLiteral("<none>");
    dialogs.OpenFileName(caption, filter, suffix, [&name](const QString& chosen) { name = chosen; });
    return name;
}
QString Saved(IDialogs& dialogs, const QString& caption, const QString& filter, const QString& suggested,
              const QString& suffix)
{
    QString name = QStringLiteral("<none>");
    dialogs.SaveFileName(caption, filter, suggested, suffix, [&name](const QString& chosen) { name = chosen; });
    return name;
}

TEST(ScriptedDialogs, RecordsBoxesAndAnswersFromQueue)
{
    TScriptedDialogs d;
    d.Answers = {TMsgButton::mbRetry, TMsgButton::mbYes};
    EXPECT_EQ(d.MessageDlg("first", "cap", mbAbortRetry, TMsgKind::mkWarning), TMsgButton::mbRetry);
    // TMsgButton::mbYes is not a button of this box: the safe default is used instead.
    EXPECT_EQ(d.MessageDlg("second", "", mbAbortRetry), TMsgButton::mbAbort);
    ASSERT_EQ(d.Shown.size(), 2);
    EXPECT_EQ(d.Shown[0].Caption, "cap");
    EXPECT_EQ(d.Shown[0].Buttons, mbAbortRetry);
    EXPECT_EQ(d.Shown[0].Kind, TMsgKind::mkWarning);
    EXPECT_EQ(d.Texts(), (QStringList{"first", "second"}));
}

TEST(ScriptedDialogs, SafeDefaultsWhenQueueIsEmpty)
{
    TScriptedDialogs d;
    EXPECT_EQ(d.MessageDlg("a", "", mbAbortRetry), TMsgButton::mbAbort);
    EXPECT_EQ(d.MessageDlg("b", "", mbYesNoIgnore), TMsgButton::mbNo);
    EXPECT_EQ(d.MessageDlg("c", "", mbOKCancel), TMsgButton::mbCancel);
    EXPECT_EQ(d.MessageDlg("d", "", mbNone), TMsgButton::mbOK);
    d.ShowMessage("e");
    EXPECT_EQ(d.Shown.back().Buttons, TMsgButton::mbOK);
}

// A component given no dialogs of its own shows nothing: each box takes its
// safe default, each file dialog counts as cancelled.
TEST(DefaultDialogs, SafeDefaultsAndCancelledFileDialogs)
{
    IDialogs& d = DefaultDialogs();
    EXPECT_EQ(d.MessageDlg("a", "", mbAbortRetry), TMsgButton::mbAbort);
    EXPECT_EQ(d.MessageDlg("b", "", mbYesNoIgnore), TMsgButton::mbNo);
    EXPECT_EQ(d.MessageDlg("c", "", mbNone), TMsgButton::mbOK);
    EXPECT_EQ(Opened(d, "Open", "*.txt", "txt"), "");
    EXPECT_EQ(Saved(d, "Save", "*.txt", "x.txt", "txt"), "");
}

TEST(ScriptedDialogs, FileNamesFromQueue)
{
    TScriptedDialogs d;
    d.FileNames = {"/tmp/a.txt"};
    EXPECT_EQ(Opened(d, "Open", "*.txt", "txt"), "/tmp/a.txt");
    EXPECT_EQ(Saved(d, "Save", "*.txt", "x.txt", "txt"), "");
    EXPECT_EQ(d.FileDialogCaptions, (QStringList{"Open", "Save"}));
}

TEST(ScriptedDialogs, TypedNamesGetTheDefaultSuffixAsInAFileDialog)
{
    const struct {
        const char* Typed;
        const char* Suffix;
        const char* Returned;
    } cases[] = {
        {"/tmp/noext", "txt", "/tmp/noext.txt"},
        {"/tmp/a.cfg", "txt", "/tmp/a.cfg"},
        {"/tmp/dot.", "txt", "/tmp/dot."},
        {"/tmp/v1.2/noext", "txt", "/tmp/v1.2/noext.txt"},
        {"/tmp", "txt", "/tmp"},
        {"/tmp/noext", "", "/tmp/noext"},
    };
    for (const auto& c : cases) {
        TScriptedDialogs d;
        d.FileNames = {c.Typed, c.Typed};
        EXPECT_EQ(Opened(d, "Open", "*.txt", c.Suffix), c.Returned) << c.Typed;
        EXPECT_EQ(Saved(d, "Save", "*.txt", "", c.Suffix), c.Returned) << c.Typed;
    }
}

}  // namespace
