// The real message boxes and file dialogs: each is opened modal to its
// window and returns at once; the answer comes when the user gives it.
#include "platform/QtDialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <optional>

namespace {

template <typename T>
T* ModalOfType()
{
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

TEST(QtDialogs, AQuestionReturnsAtOnceAndItsAnswerComesWhenGiven)
{
    QWidget window;
    window.show();
    TQtDialogs dialogs(&window);
    struct Case {
        QMessageBox::StandardButton pressed;
        TMsgButton answer;
    };
    const Case cases[] = {
        {QMessageBox::Yes, TMsgButton::mbYes},
        {QMessageBox::No, TMsgButton::mbNo},
        {QMessageBox::Ignore, TMsgButton::mbIgnore},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        std::optional<TMsgButton> answer;
        dialogs.AskMessage("Communications lost. Restart?", QString(), mbYesNoIgnore, TMsgKind::mkWarning,
                           [&answer](TMsgButton button) { answer = button; });
        auto* box = ModalOfType<QMessageBox>();
        ASSERT_NE(box, nullptr) << "the box is up";
        EXPECT_EQ(box->windowModality(), Qt::WindowModal);
        EXPECT_EQ(box->parentWidget(), &window);
        EXPECT_EQ(box->text(), "Communications lost. Restart?");
        EXPECT_FALSE(answer.has_value()) << "nothing waited for the answer";
        box->button(c.pressed)->click();
        EXPECT_EQ(answer, c.answer);
        EXPECT_FALSE(box->isVisible());
    }
}

// A box with OK alone asked by a caller that waits is shown, and OK comes back
// at once.
TEST(QtDialogs, AWaitingCallerOfABoxWithOkAloneGetsOkAtOnce)
{
    QWidget window;
    window.show();
    TQtDialogs dialogs(&window);
    EXPECT_EQ(dialogs.MessageDlg("Settings loaded.", QString(), TMsgButton::mbOK), TMsgButton::mbOK);
    auto* box = ModalOfType<QMessageBox>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Settings loaded.");
    box->button(QMessageBox::Ok)->click();
    EXPECT_FALSE(box->isVisible());
}

TEST(QtDialogs, AFileDialogReturnsAtOnceAndReportsTheChoiceOrTheCancel)
{
    QWidget window;
    window.show();
    TQtDialogs dialogs(&window);
    QTemporaryDir folder;
    std::optional<QString> chosen;
    dialogs.SaveFileName("Save Settings", "Text files (*.txt)", folder.filePath("settings"), "txt",
                         [&chosen](const QString& name) { chosen = name; });
    auto* dialog = ModalOfType<QFileDialog>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    EXPECT_FALSE(chosen.has_value());
    dialog->reject();
    EXPECT_EQ(chosen, QString());

    chosen.reset();
    dialogs.OpenFileName("Restore Settings", "Text files (*.txt)", "txt",
                         [&chosen](const QString& name) { chosen = name; });
    dialog = ModalOfType<QFileDialog>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(chosen.has_value());
    dialog->reject();
    EXPECT_EQ(chosen, QString());
}

}  // namespace
