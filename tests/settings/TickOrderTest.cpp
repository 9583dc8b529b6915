// An edit and a read-back asked for in the same tick of the command queue
// (Tools > Refresh, a bin recall), against the simulated generator: the
// generator gets them in the user's order and the window ends showing what
// the generator holds.
#include <QAction>

#include "settings/PanelFixture.h"
#include "widgets/PlusSpinEdit.h"

TEST_F(Panel, AnEditAndAReadBackInOneTickGoOutInTheUsersOrderAndTheWindowAgrees)
{
    Connect("6404+");
    // Bin 2 holds a width of 3 us; the generator itself shows 1 us.
    generator->withGenerator([](jt6400sim::Generator& g) {
        g.handle(":PULS1:WIDT 0.000003");
        g.handle("*SAV 2");
        g.handle(":PULS1:WIDT 0.000001");
    });
    const QString edit = QStringLiteral(":PULS1:WIDT 0.000002000");
    const QString query = QStringLiteral(":PULS1:WIDT?");
    const QString recall = QStringLiteral("*RCL 2");
    TPlusSpinEdit* width = form().ChannelControls.ChWidthAdj[1];
    struct Case {
        const char* name;
        std::function<void()> user;  // what the user does between two ticks
        QStringList order;           // the lines of interest, as the generator gets them
        double width;                // what the generator and the window end with
    };
    const Case cases[] = {
        {"edit, then refresh",
         [&] {
             width->setValue(2e-6);
             form().RefreshAction->trigger();
         },
         {edit, query},
         2e-6},
        {"edit, then recall",
         [&] {
             width->setValue(2e-6);
             form().RestoreFromBinActions[2]->trigger();
         },
         {edit, recall, query},
         3e-6},
        {"recall, then edit",
         [&] {
             form().RestoreFromBinActions[2]->trigger();
             width->setValue(2e-6);
         },
         {recall, edit, query},
         2e-6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each case starts from 1 us, in the generator and in the window.
        generator->withGenerator([](jt6400sim::Generator& g) { g.handle(":PULS1:WIDT 0.000001"); });
        form().RefreshAction->trigger();
        Sent();
        ASSERT_DOUBLE_EQ(width->Value(), 1e-6);

        c.user();
        QStringList order;
        for (const QString& line : Sent())
            if (c.order.contains(line) && !order.contains(line))
                order << line;
        EXPECT_EQ(order, c.order);
        EXPECT_DOUBLE_EQ(GeneratorSettings().channels[0].Width, c.width);
        EXPECT_DOUBLE_EQ(width->Value(), c.width);
        EXPECT_DOUBLE_EQ(state().ChannelSettings[1].Width, c.width);
    }
    EXPECT_TRUE(dialogs.Shown.isEmpty());
}
