#include "serial/JTComPort.h"
#include "serial/PickPort.h"
#include "support/PtyTestSupport.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <utility>

namespace {

// The answers the dialog reported, in order.
struct TAnswers {
    explicit TAnswers(TformPickPort& dialog)
    {
        QObject::connect(&dialog, &TformPickPort::Answered,
                         [this](bool accepted, int port) { List.push_back({accepted, port}); });
    }
    QList<std::pair<bool, int>> List;
};

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
    const TPortChoice choice = port.OpenablePorts();
    EXPECT_EQ(choice.Ports, (QList<int>{3, 5, 7, 12, 105}));
    EXPECT_EQ(choice.Openable, (QList<int>{3, 12, 105}));
    EXPECT_EQ(choice.Current, 12);
    EXPECT_EQ(port.Port(), 12);
    EXPECT_TRUE(port.ShowErrors());  // restored after probing without boxes
    EXPECT_FALSE(port.Opened());
    EXPECT_TRUE(dialogs.Shown.isEmpty());

    TformPickPort dlg;
    TAnswers answers(dlg);
    dlg.SetPorts(choice.Openable, choice.Current);
    dlg.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(QApplication::activeModalWidget(), &dlg);
    EXPECT_EQ(dlg.windowTitle(), "Select Serial Port");
    EXPECT_EQ(Items(dlg.listPorts), (QStringList{"COM3", "COM12", "COM105"}));
    EXPECT_EQ(dlg.listPorts->currentText(), "COM12");
    EXPECT_EQ(dlg.size(), QSize(240, 93));
    EXPECT_EQ(dlg.GroupBox1->title(), "Serial Port");
    EXPECT_TRUE(dlg.OKBtn->isDefault());
    dlg.listPorts->setCurrentIndex(dlg.listPorts->findText("COM105"));
    dlg.OKBtn->click();
    EXPECT_EQ(answers.List, (QList<std::pair<bool, int>>{{true, 105}}));
    EXPECT_FALSE(dlg.isVisible());
    // The caller opens the chosen port.
    port.SetPort(105);
    ASSERT_TRUE(port.Open());
    EXPECT_TRUE(port.Write("hi"));
    EXPECT_EQ(d.Receive(2), "hi");
}

// Cancel, and OK with no entry selected (port 1 is not in the list, so
// nothing is preselected), are answers of their own.
TEST_F(PickPortTest, CancelAndOkWithoutSelection)
{
    TJTComPort port(nullptr, &dialogs);
    const TPortChoice choice = port.OpenablePorts();
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        TformPickPort dlg;
        TAnswers answers(dlg);
        dlg.SetPorts(choice.Openable, choice.Current);
        EXPECT_EQ(dlg.listPorts->currentText(), "");
        dlg.open();
        (ok ? dlg.OKBtn : dlg.CancelBtn)->click();
        EXPECT_EQ(answers.List, (QList<std::pair<bool, int>>{{ok, 0}}));
    }
    EXPECT_EQ(port.Port(), 1);
    EXPECT_TRUE(port.ShowErrors());
}

TEST(PickPort, NoPortsListsNothing)
{
    TPortFolder folder;
    TScriptedDialogs dialogs;
    TJTComPort port(nullptr, &dialogs);
    const TPortChoice choice = port.OpenablePorts();
    EXPECT_TRUE(choice.Ports.isEmpty());
    EXPECT_TRUE(choice.Openable.isEmpty());
    EXPECT_TRUE(dialogs.Shown.isEmpty());
}

}  // namespace
