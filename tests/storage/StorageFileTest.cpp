// Save Settings To File and Restore Settings From File against a simulated
// generator, with a stand-in read-back that records its runs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QScopeGuard>
#include <QTest>
#include <QTextEdit>

#include "window/MessageForm.h"
#include "model/ProgramState.h"
#include "storage/StorageTestSupport.h"

namespace {

class SettingsFileCommands : public StorageFixture {
protected:
    // A read-back that rebuilds SettingsList from a fixed snapshot and notes
    // what the file dialogs had asked when it ran.
    void InstallReadBack(const QStringList& snapshot)
    {
        OnReadBack([this, snapshot] {
            ReadBackDialogs << Dialogs.FileDialogCaptions.size();
            App->State().SettingsList = snapshot;
        });
    }
    QList<qsizetype> ReadBackDialogs;
};

TEST_F(SettingsFileCommands, RestoreSendsEveryLineWithoutCommentsInFileOrder)
{
    Connect("6402");
    InstallReadBack({"fresh snapshot"});
    const QString path = Work.File("mine.txt");
    ASSERT_TRUE(WriteBytes(path,
                           "// 1/2/2024,10:00:00\r\n"
                           ":PULS0:PER 0.002\r\n"
                           ":PULS1:WIDT 2E-7 // narrower\r\n"
                           ":PULS1:DEL 0.000001\n"
                           "\r\n"
                           ":PULS8:WIDT 0.000001\r"
                           ":SYST:AUT 1"));
    Dialogs.FileNames << path;
    App->Form().RestoreFromFileAction->trigger();
    ASSERT_TRUE(Settle());

    EXPECT_EQ(Received(),
              (QStringList{":PULS0:PER 0.002", ":PULS1:DEL 0.000001", "", ":PULS8:WIDT 0.000001", ":SYST:AUT 1"}));
    const auto s = SimSettings();
    EXPECT_DOUBLE_EQ(s.system.Period, 0.002);
    EXPECT_DOUBLE_EQ(s.channels[0].Delay, 1e-6);
    EXPECT_EQ(s.channels[0].Width, jt6400sim::defaultSettings(jt6400sim::modelInfo("6402")).channels[0].Width);
    EXPECT_EQ(s.system.AutoStart, 1);
    // Each sent line and the generator's reply are in the terminal, the
    // refused channel-8 command included.
    const QString terminal = App->Form().ResponseList->toPlainText();
    EXPECT_TRUE(terminal.contains(":PULS8:WIDT 0.000001"));
    EXPECT_FALSE(terminal.contains("narrower"));
    // One closing read-back; nothing of the file stays in the program.
    EXPECT_EQ(ReadBackDialogs, QList<qsizetype>{1});
    EXPECT_EQ(App->State().SettingsList, QStringList{"fresh snapshot"});
    EXPECT_EQ(Dialogs.Texts(), QStringList{"Settings loaded."});
    EXPECT_EQ(App->MessageForm().MessageLabel->text(), "Loading. Please wait...");
    EXPECT_FALSE(App->MessageForm().isVisible());
}

TEST_F(SettingsFileCommands, RestoreOfAnEmptyFileStillReadsBack)
{
    Connect("6404");
    InstallReadBack({"fresh"});
    ASSERT_TRUE(WriteBytes(Work.File("empty.txt"), ""));
    // Typed without its extension: the open dialog's default extension applies.
    Dialogs.FileNames << Work.File("empty");
    Storage->RestoreFromFileClick();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Received(), QStringList{});
    EXPECT_EQ(Dialogs.Texts(), (QStringList{"Empty file.", "Settings loaded."}));
    EXPECT_EQ(ReadBackDialogs.size(), 1);
}

TEST_F(SettingsFileCommands, CancelledOrUnreadableRestoreSendsAndChangesNothing)
{
    Connect("6404");
    InstallReadBack({"fresh"});
    App->State().SettingsList = QStringList{"before"};
    ASSERT_TRUE(QDir(Work.Path()).mkdir("folder.txt"));
    ASSERT_TRUE(WriteBytes(Work.File("binary.txt"), QByteArray(":PULS0:PER 1\r\n\0\x01\x02", 17)));
    QFile huge(Work.File("huge.txt"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    for (int i = 0; i < 70000; ++i)
        huge.write(":PULS0:PER 0.001\r\n");
    huge.close();

    // Cancelled: no message at all.
    Storage->RestoreFromFileClick();
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(Dialogs.Shown.isEmpty());

    for (const QString& name :
         {QString("missing.txt"), QString("folder.txt"), QString("binary.txt"), QString("huge.txt")}) {
        SCOPED_TRACE(name.toStdString());
        Dialogs.Shown.clear();
        Dialogs.FileNames << Work.File(name);
        Storage->RestoreFromFileClick();
        ASSERT_TRUE(Settle());
        ASSERT_EQ(Dialogs.Shown.size(), 1);
        EXPECT_EQ(Dialogs.Shown[0].Kind, TMsgKind::mkError);
        EXPECT_TRUE(Dialogs.Shown[0].Text.contains(Work.File(name))) << Dialogs.Shown[0].Text.toStdString();
    }
    EXPECT_EQ(Received(), QStringList{});
    EXPECT_TRUE(ReadBackDialogs.isEmpty());
    EXPECT_EQ(App->State().SettingsList, QStringList{"before"});
    EXPECT_FALSE(App->MessageForm().isVisible());
}

TEST_F(SettingsFileCommands, SaveReadsBackFirstAndWritesTheSnapshot)
{
    MakeApp();
    const QStringList snapshot = {"// 1/2/2024,10:00:00", ":PULS0:PER 0.001", ":PULS1:WIDT 2E-7"};
    InstallReadBack(snapshot);
    Dialogs.FileNames << Work.File("saved");
    ASSERT_TRUE(WriteBytes(Work.File("saved.txt"), "an older file, replaced without a question\r\n"));
    App->Form().SaveToFileAction->trigger();
    ASSERT_TRUE(Settle());

    EXPECT_EQ(ReadBackDialogs, QList<qsizetype>{0});  // before the dialog
    EXPECT_EQ(Dialogs.FileDialogCaptions, QStringList{"Save system parameters"});
    EXPECT_EQ(FileBytes(Work.File("saved.txt")), "// 1/2/2024,10:00:00\r\n:PULS0:PER 0.001\r\n:PULS1:WIDT 2E-7\r\n");
    EXPECT_TRUE(Dialogs.Shown.isEmpty());
    EXPECT_EQ(App->State().SettingsList, snapshot);
}

TEST_F(SettingsFileCommands, CancelledOrFailedSaveWritesNothing)
{
    MakeApp();
    InstallReadBack({":PULS0:PER 0.001"});
    App->Form().SaveToFileAction->trigger();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Dialogs.Texts(), QStringList{"Save to file was cancelled"});
    EXPECT_EQ(ReadBackDialogs.size(), 1);
    EXPECT_EQ(QDir(Work.Path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{});

    ASSERT_TRUE(WriteBytes(Work.File("plain"), "x"));
    Dialogs.Shown.clear();
    Dialogs.FileNames << Work.File("plain/s.txt");
    Storage->SaveToFileClick();
    ASSERT_TRUE(Settle());
    ASSERT_EQ(Dialogs.Shown.size(), 1);
    EXPECT_EQ(Dialogs.Shown[0].Kind, TMsgKind::mkError);
    EXPECT_TRUE(Dialogs.Shown[0].Text.contains(Work.File("plain/s.txt")));
    EXPECT_EQ(FileBytes(Work.File("plain")), "x");
}

// A shared lab folder that only its owner may write can still hold a file
// that everybody may write: saving replaces that file's contents in place.
// Root writes anywhere, so this runs for real only without that override
// (the storage.WithoutPermissionOverride test entry drops it).
TEST_F(SettingsFileCommands, SaveReplacesAWritableFileInAFolderThatIsNotWritable)
{
    MakeApp();
    InstallReadBack({":PULS0:PER 0.001"});
    const QString shared = Work.File("shared");
    ASSERT_TRUE(QDir().mkdir(shared));
    const QString path = QDir(shared).filePath("lab.txt");
    ASSERT_TRUE(WriteBytes(path, "an older file\r\n"));
    ASSERT_TRUE(QFile::setPermissions(shared, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    const auto restore =
        qScopeGuard([&] { QFile::setPermissions(shared, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
    if (QFile probe(QDir(shared).filePath("probe")); probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        GTEST_SKIP() << "this process may write into a folder without write permission (root's override); "
                        "the storage.WithoutPermissionOverride test entry runs it without";
    }

    Dialogs.FileNames << path;
    App->Form().SaveToFileAction->trigger();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Dialogs.Texts(), QStringList{});
    EXPECT_EQ(FileBytes(path), ":PULS0:PER 0.001\r\n");
    EXPECT_EQ(QDir(shared).entryList(QDir::Files | QDir::Hidden), QStringList{"lab.txt"});
}

TEST_F(SettingsFileCommands, ASaveAskedForDuringAnotherExchangeWaitsForIt)
{
    MakeApp();
    InstallReadBack({"x"});
    App->Queue().DisableCommands();  // a read-back is under way
    Storage->SaveToFileClick();
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(ReadBackDialogs.isEmpty());
    EXPECT_TRUE(Dialogs.FileDialogCaptions.isEmpty());
    App->Queue().EnableCommands();
    // It runs on its own once the read-back is over.
    for (int i = 0; i < 200 && ReadBackDialogs.isEmpty(); ++i)
        QTest::qWait(10);
    EXPECT_EQ(ReadBackDialogs.size(), 1);
    EXPECT_EQ(Dialogs.Texts(), QStringList{"Save to file was cancelled"});
}

}  // namespace

namespace {

// A restore's lines, with their pauses, go out on the line owner's thread:
// the click returns at once and the window's thread takes no pause.
TEST_F(SettingsFileCommands, ARestoreRunsOnTheLineWithoutPausingTheWindow)
{
    Connect("6402");
    InstallReadBack({"fresh"});
    const QString path = Work.File("many.txt");
    QByteArray text;
    for (int i = 0; i < 40; ++i)
        text += ":PULS1:WIDT 0.00000" + QByteArray::number(1 + i % 9) + "\r\n";
    ASSERT_TRUE(WriteBytes(path, text));
    Dialogs.FileNames << path;
    const int pausesBefore = TLineOwner::WindowThreadPauses();
    Storage->RestoreFromFileClick();
    EXPECT_TRUE(Dialogs.Texts().isEmpty());  // not loaded yet: the lines are on their way
    EXPECT_EQ(Received().size(), 40);
    EXPECT_EQ(Dialogs.Texts(), QStringList{"Settings loaded."});
    EXPECT_EQ(TLineOwner::WindowThreadPauses(), pausesBefore);
}

}  // namespace
