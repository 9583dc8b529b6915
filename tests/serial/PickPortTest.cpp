#include "serial/JTComPort.h"
#include "serial/PickPort.h"
#include "support/PtyTestSupport.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs Action on the selection dialog once it is shown modally.
void WhenDialogShows(std::function<void(TformPickPort*)> action)
{
    auto timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        auto* dlg = qobject_cast<TformPickPort*>(QApplication::activeModalWidget());
        if (!dlg || !dlg->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(dlg);
    });
    timer->start();
}

QStringList Items(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

class PickPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.Link(3, a.SlavePath());
        folder.Link(5, b.SlavePath());
        folder.Link(7, "/nonexistent/tty");
        folder.Link(12, c.SlavePath());
        folder.Link(105, d.SlavePath());
    }

    TPtyPair a, b, c, d;
    TPortFolder folder;
    TScriptedDialogs dialogs;
};

TEST_F(PickPortTest, ListsOpenablePortsAndTakesTheChoice)
{
    TJTComPort other(nullptr, &dialogs);  // another program holds COM5
    other.SetPort(5);
    ASSERT_TRUE(other.Open());

    TJTComPort port(nullptr, &dialogs);
    port.SetPort(12);
    QStringList listed;
    QString preselected, caption;
    WhenDialogShows([&](TformPickPort* dlg) {
        EXPECT_EQ(port.PickPortDialog(), dlg);
        caption = dlg->windowTitle();
        listed = Items(dlg->listPorts);
        preselected = dlg->listPorts->currentText();
        EXPECT_EQ(dlg->size(), QSize(240, 93));
        EXPECT_EQ(dlg->GroupBox1->title(), "Serial Port");
        EXPECT_TRUE(dlg->OKBtn->isDefault());
        dlg->listPorts->setCurrentIndex(dlg->listPorts->findText("COM105"));
        dlg->OKBtn->click();
    });
    EXPECT_TRUE(port.Pick());
    EXPECT_EQ(caption, "Select Serial Port");
    EXPECT_EQ(listed, (QStringList{"COM3", "COM12", "COM105"}));
    EXPECT_EQ(preselected, "COM12");
    EXPECT_EQ(port.Port(), 105);
    EXPECT_TRUE(port.ShowErrors());  // restored after probing without boxes
    EXPECT_EQ(port.PickPortDialog(), nullptr);
    EXPECT_TRUE(dialogs.Shown.isEmpty());
    // The caller opens the chosen port.
    ASSERT_TRUE(port.Open());
    EXPECT_TRUE(port.Write("hi"));
    EXPECT_EQ(d.Receive(2), "hi");
}

TEST_F(PickPortTest, CancelKeepsThePortNumber)
{
    TJTComPort port(nullptr, &dialogs);
    QString preselected;
    WhenDialogShows([&](TformPickPort* dlg) {
        preselected = dlg->listPorts->currentText();  // port 1 is not in the list
        dlg->CancelBtn->click();
    });
    EXPECT_FALSE(port.Pick());
    EXPECT_EQ(preselected, "");
    EXPECT_EQ(port.Port(), 1);
    EXPECT_TRUE(port.ShowErrors());
}

TEST_F(PickPortTest, OkWithoutSelectionIsNoChoice)
{
    TJTComPort port(nullptr, &dialogs);
    WhenDialogShows([&](TformPickPort* dlg) {
        dlg->listPorts->setCurrentIndex(-1);
        dlg->OKBtn->click();
    });
    EXPECT_FALSE(port.Pick());
    EXPECT_EQ(port.Port(), 1);
}

TEST(PickPort, NoPortsShowsNothing)
{
    TPortFolder folder;
    TScriptedDialogs dialogs;
    TJTComPort port(nullptr, &dialogs);
    bool shown = false;
    QTimer guard;
    guard.setInterval(5);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (auto* dlg = QApplication::activeModalWidget()) {
            shown = true;
            dlg->close();
        }
    });
    guard.start();
    EXPECT_FALSE(port.Pick());
    QCoreApplication::processEvents();
    EXPECT_FALSE(shown);
    EXPECT_TRUE(dialogs.Shown.isEmpty());
}

}  // namespace
