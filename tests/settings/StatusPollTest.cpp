// The status poll against the simulated generator.
#include "support/AppStart.h"
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QRegularExpression>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <future>
#include <thread>

#include "settings/PanelFixture.h"
#include "serial/JTComPort.h"
#include "scheduling/StatusPoll.h"

namespace {

int Count(const QStringList& lines, const QString& line)
{
    return static_cast<int>(lines.count(line));
}

}  // namespace

TEST_F(Panel, PollFollowsAGeneratorThatStopsByItself)
{
    Connect("6404+");
    form().RunStopBtn->click();
    Sent();
    generator->withGenerator([](jt6400sim::Generator& g) { g.handle(":PULS0:STAT OFF"); });
    program->StatusPoll().StatusTimerTimer();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(form().RunStopBtn->text(), "Run");
    EXPECT_FALSE(poll().Running());
    EXPECT_TRUE(poll().Active());
    EXPECT_FALSE(program->StatusPoll().RoundInFlight());
}

// Run is clicked while a poll round is on the line, its answer held back by
// the generator: the round's report is older than the click and does not
// undo it, so the second click stops the generator.
TEST_F(Panel, ARunClickDuringAPollRoundIsNotUndoneByTheRoundsOlderReport)
{
    Connect("6404+");
    ASSERT_FALSE(poll().Running());
    std::promise<void> holding, release;
    std::thread holder([&] {
        generator->withGenerator([&](jt6400sim::Generator&) {
            holding.set_value();
            release.get_future().wait();
        });
    });
    holding.get_future().wait();
    // The round goes to the line; the generator cannot answer it yet.
    poll().UpdateStatus();
    ASSERT_TRUE(poll().RoundInFlight());
    form().RunStopBtn->click();
    release.set_value();
    holder.join();
    QStringList sent = Sent();
    EXPECT_EQ(form().RunStopBtn->text(), "Stop");
    EXPECT_TRUE(poll().Running());

    form().RunStopBtn->click();
    sent += Sent();
    const QStringList runStop = sent.filter(QRegularExpression("^:PULS0:STAT (ON|OFF)$"));
    EXPECT_EQ(runStop, (QStringList{":PULS0:STAT ON", ":PULS0:STAT OFF"}));
    EXPECT_FALSE(generator->withGenerator([](jt6400sim::Generator& g) { return g.running(); }));
}

TEST_F(Panel, CountersArePolledOnlyWhileThePlusPageIsShown)
{
    Connect("6404+");
    form().ShotCountEnbl->setChecked(true);
    form().RunStopBtn->click();
    Sent();
    program->StatusPoll().UpdateStatus();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Count(Sent(), ":PULS0:COUN:COUN?"), 0);

    form().SystemPageControl->setCurrentWidget(form().PlusPage);
    program->StatusPoll().UpdateStatus();
    ASSERT_TRUE(Settle());
    const QStringList asked = Sent();
    EXPECT_EQ(Count(asked, ":PULS0:COUN:COUN?"), 1);
    EXPECT_EQ(Count(asked, ":PULS0:EXTP:PER?"), 0);  // the period counter is off
    EXPECT_TRUE(form().ShotCountLbl->text().contains(QRegularExpression(R"(^Count: [ \d]{10}$)")))
        << form().ShotCountLbl->text().toStdString();
}

TEST_F(Panel, AReportedErrorBlinksWithoutAskingAgain)
{
    Connect("6404+");
    generator->withGenerator([](jt6400sim::Generator& g) { g.setErrorCode(2); });
    program->StatusPoll().UpdateStatus();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Count(Sent(), "*ERS?"), 1);
    EXPECT_EQ(form().ErrorLabel->text(), "Over Temperature Error");
    EXPECT_FALSE(form().ErrorLabel->isHidden());
    program->StatusPoll().UpdateStatus();
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(form().ErrorLabel->isHidden());
    program->StatusPoll().UpdateStatus();
    ASSERT_TRUE(Settle());
    EXPECT_FALSE(form().ErrorLabel->isHidden());
    EXPECT_EQ(Count(Sent(), "*ERS?"), 0);
}

// Tools > Refresh and a bin recall both read the generator back; an error
// that is gone by then no longer blinks, and the poll asks for errors again.
TEST_F(Panel, AReadBackForgetsAReportedError)
{
    Connect("6404+");
    for (QAction* readBack : {form().RefreshAction, form().RestoreFromBinActions[1]}) {
        SCOPED_TRACE(readBack->objectName().toStdString());
        generator->withGenerator([](jt6400sim::Generator& g) { g.setErrorCode(2); });
        program->StatusPoll().UpdateStatus();
        ASSERT_TRUE(Settle());
        ASSERT_FALSE(form().ErrorLabel->isHidden());

        generator->withGenerator([](jt6400sim::Generator& g) { g.setErrorCode(0); });
        readBack->trigger();
        Sent();
        EXPECT_TRUE(form().ErrorLabel->isHidden());
        EXPECT_EQ(poll().ErrorCode(), 0);

        program->StatusPoll().UpdateStatus();

        ASSERT_TRUE(Settle());
        program->StatusPoll().UpdateStatus();
        ASSERT_TRUE(Settle());
        EXPECT_EQ(Count(Sent(), "*ERS?"), 2);
        EXPECT_TRUE(form().ErrorLabel->isHidden());
    }
}

TEST_F(Panel, OldFirmwareIsNeverAskedForErrors)
{
    Connect("6404+", "1.9.0");
    program->StatusPoll().UpdateStatus();
    ASSERT_TRUE(Settle());
    program->StatusPoll().UpdateStatus();
    ASSERT_TRUE(Settle());
    const QStringList asked = Sent();
    EXPECT_EQ(Count(asked, ":PULS0:STAT?"), 2);
    EXPECT_EQ(Count(asked, "*ERS?"), 0);
}

// Yes restarts the program; No ends it and starts nothing.
TEST_F(Panel, APortThatVanishedOffersARestart)
{
    struct Case {
        TMsgButton answer;
        QList<QString> processCalls;
    };
    const Case cases[] = {
        {TMsgButton::mbYes, {"sleep 500", "start"}},
        {TMsgButton::mbNo, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer == TMsgButton::mbYes ? "Yes" : "No");
        dialogs.Shown.clear();
        process.Calls.clear();
        Connect("6404+");
        generator->vanish();
        dialogs.Answers = {c.answer};
        program->StatusPoll().StatusTimerTimer();
        ASSERT_TRUE(Settle());
        EXPECT_EQ(dialogs.Texts(), QStringList{"Port no longer available, restart?"});
        EXPECT_EQ(process.Calls, c.processCalls);
        EXPECT_FALSE(poll().Active());
        EXPECT_TRUE(app().Ending());
        EXPECT_FALSE(app().Port().Opened());
    }
}

TEST_F(Panel, TheDemonstrationModeNeverPolls)
{
    keys.LeftShift = {true};
    program = std::make_unique<TProgram>(jt::TCommandLineOptions{}, TJT6400App::TServices{dialogs, keys, process});
    ASSERT_TRUE(StartUp(app()));
    poll().Start();
    EXPECT_FALSE(poll().Active());
    program->StatusPoll().StatusTimerTimer();
    ASSERT_TRUE(Settle());
    EXPECT_FALSE(poll().Active());
    EXPECT_FALSE(app().Port().Opened());
}
