// Edits on the channel pages, from the window to the simulated generator.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QtTest/qtestspontaneevent.h>
#include <QWheelEvent>

#include "settings/PanelFixture.h"
#include "widgets/PlusSpinEdit.h"

namespace {

// Picks an item of a selection list as the user does.
void Pick(QComboBox* list, int index)
{
    list->setCurrentIndex(index);
    emit list->activated(index);
}

}  // namespace

TEST_F(Panel, ChannelEditsOfEveryKindReachTheGenerator)
{
    Connect("6404+");
    const TChannelControls& c = form().ChannelControls;
    struct Case {
        const char* command;
        std::function<void()> edit;
        std::function<bool(const jt6400sim::Settings&)> holds;
    };
    const Case cases[] = {
        {":PULS3:DEL 0.000000100000", [&] { c.ChDelayAdj[3]->setValue(1e-7); },
         [](auto& s) { return s.channels[2].Delay == 1e-7; }},
        {":PULS1:DEL -0.000000500000", [&] { c.ChDelayAdj[1]->setValue(-5e-7); },
         [](auto& s) { return s.channels[0].Delay == -5e-7; }},
        {":PULS1:WIDT 0.000002000", [&] { c.ChWidthAdj[1]->setValue(2e-6); },
         [](auto& s) { return s.channels[0].Width == 2e-6; }},
        {":PULS2:OUTP:AMPL 4.50", [&] { c.ChAmplitudeAdj[2]->setValue(4.5); },
         [](auto& s) { return s.channels[1].Amplitude == 4.5; }},
        {":PULS4:CMOD BURS", [&] { Pick(c.ChModeSel[4], 2); }, [](auto& s) { return s.channels[3].Mode == 2; }},
        {":PULS1:BCO 25", [&] { c.ChBurstAdj[1]->setValue(25); },
         [](auto& s) { return s.channels[0].BurstCount == 25; }},
        {":PULS2:WCO 3", [&] { c.ChWaitCountAdj[2]->setValue(3); },
         [](auto& s) { return s.channels[1].WaitCount == 3; }},
        {":PULS3:PCO 7", [&] { c.ChDutyOnAdj[3]->setValue(7); },
         [](auto& s) { return s.channels[2].DutyOnCount == 7; }},
        {":PULS3:OCO 9", [&] { c.ChDutyOffAdj[3]->setValue(9); },
         [](auto& s) { return s.channels[2].DutyOffCount == 9; }},
        {":PULS1:POL INV", [&] { Pick(c.ChPolaritySel[1], 0); }, [](auto& s) { return s.channels[0].Polarity == 0; }},
        {":PULS1:CGAT HIGHWR", [&] { Pick(c.ChGateModeSel[1], 4); },
         [](auto& s) { return s.channels[0].GateMode == 4; }},
        {":PULS2:MUXG 3", [&] { Pick(c.ChMuxGateSel[2], 3); }, [](auto& s) { return s.channels[1].MuxGate == 3; }},
        {":PULS2:STAT 0", [&] { c.ChEnableBox[2]->setChecked(false); },
         [](auto& s) { return s.channels[1].Enabled == 0; }},
        {":PULS1:MUX 9", [&] { c.ChMuxSel[1]->item(3)->setCheckState(Qt::Checked); },
         [](auto& s) { return s.channels[0].MuxMask == 9; }},
        {":PULS2:SYNC CHA", [&] { Pick(c.ChSyncSourceSel[2], c.ChSyncSourceSel[2]->findText("Ch A")); },
         [](auto& s) { return s.channels[1].SyncSource == 1; }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.command);
        k.edit();
        EXPECT_EQ(Sent(), QStringList{k.command});
        EXPECT_TRUE(k.holds(GeneratorSettings()));
    }
    EXPECT_TRUE(dialogs.Shown.isEmpty());
}

// A time typed off the model's step is rounded to the nearest step, shown
// so, and sent once as rounded; one on the step goes out as typed.
TEST_F(Panel, TimesTypedOffTheTimingStepAreRoundedToTheNearestStep)
{
    Connect("6404+");  // 5 ns steps
    const TChannelControls& c = form().ChannelControls;
    struct Case {
        const char* name;
        TPlusSpinEdit* edit;
        double start;
        char typed;  // into the 1 ns digit
        double shown;
        const char* command;
    };
    const Case cases[] = {
        {"width 13 ns", c.ChWidthAdj[1], 1e-8, '3', 1.5e-8, ":PULS1:WIDT 0.000000015"},
        {"width 12 ns", c.ChWidthAdj[1], 1e-8, '2', 1e-8, ":PULS1:WIDT 0.000000010"},
        {"width on the step", c.ChWidthAdj[1], 1e-8, '5', 1.5e-8, ":PULS1:WIDT 0.000000015"},
        {"delay 7 ns", c.ChDelayAdj[2], 0, '7', 5e-9, ":PULS2:DEL 0.000000005000"},
        {"delay 1001 ns", c.ChDelayAdj[2], 1e-6, '1', 1e-6, ":PULS2:DEL 0.000001000000"},
        {"period 124 ns", form().PeriodAdj, 1.2e-7, '4', 1.25e-7, ":PULS0:PER 0.000000125"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        k.edit->setValue(k.start);
        Sent();
        k.edit->SelectDigit(-9);
        QTest::keyClick(k.edit, k.typed);
        EXPECT_NEAR(k.edit->Value(), k.shown, 1e-15);
        EXPECT_EQ(Sent(), QStringList{k.command});
    }
    EXPECT_NEAR(GeneratorSettings().channels[1].Delay, 1e-6, 1e-15);
    EXPECT_NEAR(GeneratorSettings().system.Period, 1.25e-7, 1e-15);
    EXPECT_TRUE(dialogs.Shown.isEmpty());
}

TEST_F(Panel, HighResolutionDelaysUseTheFineStepOnEveryChannel)
{
    Connect("6424");                                          // 4 ns steps, 5 ps delay steps
    form().ChannelControls.ChDelayAdj[6]->setValue(2.5e-11);  // virtual channel F
    form().ChannelControls.ChWidthAdj[6]->setValue(1e-8);     // two and a half steps of 4 ns
    EXPECT_EQ(Sent(), (QStringList{":PULS6:DEL 0.000000000025", ":PULS6:WIDT 0.000000012"}));
    form().ChannelControls.ChDelayAdj[1]->setValue(2.7e-11);  // standard channel A: 5 ps steps
    EXPECT_EQ(Sent(), QStringList{":PULS1:DEL 0.000000000025"});
}

// The wheel turned over a selection list or a spin edit that does not have
// the focus changes nothing and sends nothing; the list that has the focus
// follows the wheel.
TEST_F(Panel, TheWheelChangesOnlyTheFocusedControl)
{
    Connect("6404+");
    QComboBox* mode = form().ChannelControls.ChModeSel[1];
    TPlusSpinEdit* delay = form().ChannelControls.ChDelayAdj[1];
    form().show();
    form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    // One notch towards the user, as the window system delivers it, over a
    // point of the control that no part of it covers (the list's arrow, the
    // spin edit's digits).
    auto wheel = [](QWidget* control) {
        QPoint at(control->width() - 4, control->height() / 2);
        if (control->childAt(at))
            at.setX(4);
        EXPECT_EQ(control->childAt(at), nullptr);
        QWheelEvent event(at, control->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&event);
        QApplication::sendEvent(control, &event);
    };
    const int index = mode->currentIndex();
    const double value = delay->Value();
    ASSERT_LT(index + 1, mode->count());
    for (QWidget* control : {static_cast<QWidget*>(mode), static_cast<QWidget*>(delay)}) {
        ASSERT_FALSE(control->hasFocus());
        wheel(control);
        EXPECT_FALSE(control->hasFocus()) << "the wheel does not take the focus";
    }
    EXPECT_EQ(mode->currentIndex(), index);
    EXPECT_EQ(delay->Value(), value);
    EXPECT_TRUE(Sent().isEmpty());

    mode->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return mode->hasFocus(); }));
    wheel(mode);
    EXPECT_EQ(mode->currentIndex(), index + 1);
    const QStringList sent = Sent();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_TRUE(sent[0].startsWith(":PULS1:CMOD ")) << sent[0].toStdString();
}

// The focused spin edit takes the wheel: each notch steps its selected digit
// as an arrow key does and goes out as one edit.
TEST_F(Panel, EachWheelNotchOverTheFocusedSpinEditIsOneEdit)
{
    Connect("6404+");
    TPlusSpinEdit* delay = form().ChannelControls.ChDelayAdj[1];
    delay->setValue(0);
    Sent();
    form().show();
    form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    delay->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return delay->hasFocus(); }));
    delay->SelectDigit(-6);  // the microseconds
    // Notches as the window system delivers them, over the digits.
    auto notches = [delay](int count) {
        const QPointF at(delay->FocusRect().center() + delay->ClientRect().topLeft());
        QWheelEvent event(at, delay->mapToGlobal(at), QPoint(), QPoint(0, 120 * count), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&event);
        QApplication::sendEvent(delay, &event);
    };
    notches(1);
    EXPECT_EQ(Sent(), QStringList{":PULS1:DEL 0.000001000000"});
    notches(1);
    notches(1);
    notches(-1);
    EXPECT_EQ(Sent(),
              (QStringList{":PULS1:DEL 0.000002000000", ":PULS1:DEL 0.000003000000", ":PULS1:DEL 0.000002000000"}));
    notches(-3);  // one turn of three notches: three edits
    EXPECT_EQ(Sent(),
              (QStringList{":PULS1:DEL 0.000001000000", ":PULS1:DEL 0.000000000000", ":PULS1:DEL -0.000001000000"}));
    EXPECT_NEAR(delay->Value(), -1e-6, 1e-15);
    EXPECT_NEAR(GeneratorSettings().channels[0].Delay, -1e-6, 1e-15);
    EXPECT_TRUE(delay->hasFocus());
    EXPECT_TRUE(dialogs.Shown.isEmpty());
}

TEST_F(Panel, SyncSourcesThatWouldLoopAreRefused)
{
    Connect("6404+");
    QComboBox* const* sync = form().ChannelControls.ChSyncSourceSel.data();
    auto choose = [&](int channel, const QString& source) {
        QComboBox* list = sync[channel];
        const int index = list->findText(source);
        if (index >= 0) {
            Pick(list, index);
        } else {  // typed, as the list does not offer it
            list->lineEdit()->clear();
            QTest::keyClicks(list->lineEdit(), source);
        }
    };
    struct Step {
        int channel;
        const char* source;
        QString command;  // empty: refused
        const char* message;
    };
    const Step steps[] = {
        {2, "Ch A", ":PULS2:SYNC CHA", nullptr},
        {1, "Ch B", {}, "Error. You cannot sync two channels to each other."},
        {2, "T0", ":PULS2:SYNC T0", nullptr},
        {1, "Ch B", ":PULS1:SYNC CHB", nullptr},
        {2, "Ch C", ":PULS2:SYNC CHC", nullptr},
        {3, "Ch A", {}, "Error. Circular sync reference."},
        {3, "Ch C", {}, "Error. Channel cannot sync to itself."},
        {3, "T0", ":PULS3:SYNC T0", nullptr},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(QString("%1 -> %2").arg(s.channel).arg(s.source).toStdString());
        dialogs.Shown.clear();
        const int storedBefore = state().ChannelSettings[s.channel].SyncSource;
        choose(s.channel, s.source);
        if (s.message) {
            EXPECT_EQ(dialogs.Texts(), QStringList{s.message});
            EXPECT_TRUE(Sent().isEmpty());
            EXPECT_EQ(state().ChannelSettings[s.channel].SyncSource, storedBefore);
            EXPECT_EQ(sync[s.channel]->currentText(), GetChSyncName(storedBefore));
        } else {
            EXPECT_TRUE(dialogs.Shown.isEmpty());
            EXPECT_EQ(Sent(), QStringList{s.command});
        }
    }
}

TEST_F(Panel, TypedTextThatNamesNoItemSendsNothingAndGivesWay)
{
    Connect("6404+");
    QComboBox* mode = form().ChannelControls.ChModeSel[1];
    mode->lineEdit()->clear();
    QTest::keyClicks(mode->lineEdit(), "Bur");
    emit mode->lineEdit()->editingFinished();
    EXPECT_TRUE(Sent().isEmpty());
    EXPECT_EQ(mode->currentText(), "Normal");
    // Typing an item's full name picks it.
    mode->lineEdit()->clear();
    QTest::keyClicks(mode->lineEdit(), "Burst");
    EXPECT_EQ(Sent(), QStringList{":PULS1:CMOD BURS"});
}

TEST_F(Panel, AHeldSpinButtonSendsEveryStepInOrder)
{
    Connect("6404+");
    Pick(form().ChannelControls.ChModeSel[1], 2);  // the burst count applies in burst mode
    TPlusSpinEdit* burst = form().ChannelControls.ChBurstAdj[1];
    burst->setValue(10);
    Sent();
    QTest::mousePress(burst->UpButton(), Qt::LeftButton);  // first step at once
    EXPECT_EQ(burst->Timer()->interval(), TPlusSpinEdit::FirstRepeatDelay);
    burst->TimerTick();
    burst->TimerTick();
    QTest::mouseRelease(burst->UpButton(), Qt::LeftButton);
    EXPECT_EQ(Sent(), (QStringList{":PULS1:BCO 11", ":PULS1:BCO 12", ":PULS1:BCO 13"}));
    EXPECT_EQ(GeneratorSettings().channels[0].BurstCount, 13);
}

TEST_F(Panel, EditsDuringAReadBackAreStoredButNotSent)
{
    Connect("6404+");
    app().Queue().DisableCommands();
    form().ChannelControls.ChBurstAdj[2]->setValue(77);
    app().Queue().EnableCommands();
    EXPECT_EQ(state().ChannelSettings[2].BurstCount, 77);
    EXPECT_TRUE(Sent().isEmpty());
}
