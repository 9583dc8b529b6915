// Faults of the generator and the line, each as a scenario: what the user
// sees, what the generator receives, and how the panel ends.
#include "e2e/E2eSupport.h"
#include "e2e/Ui.h"
#include "jt6400/Version.h"

using namespace e2e;

namespace {

// The "Sent" lines of the panel's log file.
QStringList LoggedSends(const QString& folder)
{
    QStringList sent;
    const QStringList logs = QDir(folder).entryList({"JT6400LogFile_*"});
    if (logs.size() != 1)
        return {"<no single log file>"};
    QFile f(QDir(folder).filePath(logs.first()));
    if (!f.open(QIODevice::ReadOnly))
        return {"<unreadable log>"};
    static const QRegularExpression line(R"(^Sent    \(\d\d:\d\d:\d\d\.\d\d\d\): (.*)$)");
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const auto m = line.match(QString::fromLatin1(raw).chopped(raw.endsWith('\r') ? 1 : 0));
        if (m.hasMatch())
            sent << m.captured(1);
    }
    return sent;
}

// Discovery's four lines come before anything the log holds.
constexpr int kDiscoveryLines = 4;

enum class TWhen { ReadBack, Burst };
enum class TReply { Yes, No, Ignore };

struct TLostCase {
    TWhen when;
    TReply reply;
};

std::string Name(const TLostCase& c)
{
    static const char* replies[] = {"Yes", "No", "Ignore"};
    return std::string(c.when == TWhen::ReadBack ? "ReadBack" : "Burst") + replies[static_cast<int>(c.reply)];
}
void PrintTo(const TLostCase& c, std::ostream* os)
{
    *os << Name(c);
}

}  // namespace

// ---- The generator stops answering: "Communications lost. Restart?"

class LostCommunication : public Scenario, public ::testing::WithParamInterface<TLostCase> {};

TEST_P(LostCommunication, TheAnswerDecidesAndNothingIsSentTwice)
{
    const TLostCase c = GetParam();
    // The delay steps of the burst: Up three times on the seconds digit;
    // the generator goes quiet at the second one.
    const QStringList burst{":PULS1:DEL 1.000000000000", ":PULS1:DEL 2.000000000000", ":PULS1:DEL 3.000000000000"};
    const QStringList options =
        c.when == TWhen::ReadBack ? QStringList{"--stop-after", "30"} : QStringList{"--answer", "stop@" + burst[1]};
    TSimulator& generator = AddSimulator(3, options);
    StartPanel({"-log"});
    QString window;
    if (c.when == TWhen::Burst) {
        window = WaitForReady(generator);
        ASSERT_FALSE(window.isEmpty());
        screen->Click(window, ui::kChDelayText.x(), ui::kChDelayText.y());
        screen->Keys({"Up", "Up", "Up"});
    }
    // The panel waits 2 s for the answer, then asks.
    const QString box = screen->WaitForWindow(Pid(), "^jt6400$", 15000);
    ASSERT_FALSE(box.isEmpty());
    const qint64 first = Pid();
    generator.Resume();  // the generator is back; the user answers the question
    screen->Focus(box);
    switch (c.reply) {
        case TReply::Yes: {
            screen->Keys({"alt+y"});
            ASSERT_TRUE(WaitForExit());
            EXPECT_EQ(ExitCode(), 0);
            const qint64 second = WaitForRestartedPanel(first);
            ASSERT_NE(second, 0);
            EXPECT_FALSE(WaitForMainWindow(second).isEmpty())
                << "the new panel reconnects; " << Situation(second, generator);
            break;
        }
        case TReply::No: {
            screen->Keys({"alt+n"});
            ASSERT_TRUE(WaitForExit());
            EXPECT_EQ(ExitCode(), 0);
            // The log is complete: every line the generator received after
            // discovery, the unanswered one included.
            EXPECT_EQ(LoggedSends(folder.path()), generator.Received().mid(kDiscoveryLines));
            break;
        }
        case TReply::Ignore: {
            screen->Keys({"Tab", "space"});  // Yes has the focus; Ignore is next
            window = WaitForReady(generator);
            ASSERT_FALSE(window.isEmpty()) << "the panel goes on";
            screen->Click(window, ui::kRunStop.x(), ui::kRunStop.y());
            EXPECT_TRUE(generator.WaitForReceived(":PULS0:STAT ON"));
            EXPECT_TRUE(NoBoxOf(Pid()));
            break;
        }
    }
    const QStringList rx = generator.Received();
    if (c.when == TWhen::Burst) {
        // Each step went out once and in order, up to the restart or exit;
        // after Ignore all of them.
        const int expected = c.reply == TReply::Ignore ? 3 : 2;
        qsizetype at = 0;
        for (int i = 0; i < expected; ++i) {
            EXPECT_EQ(rx.count(burst[i]), 1) << burst[i].toStdString();
            at = rx.indexOf(burst[i], at);
            EXPECT_GE(at, 0) << burst[i].toStdString();
        }
        for (int i = expected; i < 3; ++i)
            EXPECT_LE(rx.count(burst[i]), 1) << burst[i].toStdString();
    }
    EXPECT_EQ(rx.count(":PULS0:STAT ON"), c.reply == TReply::Ignore ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, LostCommunication,
                         ::testing::Values(TLostCase{TWhen::ReadBack, TReply::Yes},
                                           TLostCase{TWhen::ReadBack, TReply::No},
                                           TLostCase{TWhen::ReadBack, TReply::Ignore},
                                           TLostCase{TWhen::Burst, TReply::Yes}, TLostCase{TWhen::Burst, TReply::No},
                                           TLostCase{TWhen::Burst, TReply::Ignore}),
                         [](const auto& info) { return Name(info.param); });

// ---- The port goes away: the status poll's "Port no longer available, restart?"

class PortVanishes : public Scenario, public ::testing::WithParamInterface<bool> {};

TEST_P(PortVanishes, TheStatusPollAsksAndTheAnswerIsCarriedOut)
{
    const bool restart = GetParam();
    TSimulator& generator = AddSimulator(3);
    StartPanel();
    ASSERT_FALSE(WaitForReady(generator).isEmpty());
    const qint64 first = Pid();
    generator.Vanish();
    const QString box = screen->WaitForWindow(Pid(), "^jt6400$", 10000);
    ASSERT_FALSE(box.isEmpty());
    if (restart) {
        TSimulator& replugged = AddSimulator(3);  // the adapter is plugged in again
        screen->Focus(box);
        screen->Keys({"alt+y"});
        ASSERT_TRUE(WaitForExit());
        EXPECT_EQ(ExitCode(), 0);
        const qint64 second = WaitForRestartedPanel(first);
        ASSERT_NE(second, 0);
        EXPECT_FALSE(WaitForMainWindow(second).isEmpty()) << Situation(second, replugged);
        EXPECT_TRUE(replugged.WaitForReceived(":PULS0:PER?"));
    } else {
        screen->Focus(box);
        screen->Keys({"alt+n"});
        ASSERT_TRUE(WaitForExit());
        EXPECT_EQ(ExitCode(), 0);
        // A restart starts the new panel before this one ends: none is there.
        EXPECT_TRUE(PanelsIn(folder.path()).empty()) << "No started another panel";
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, PortVanishes, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Yes" : "No"; });

// ---- Spoiled answers: the panel keeps going, and an edit made afterwards
// reaches the generator exactly once.

struct TAnswerCase {
    const char* name;
    const char* rule;
    bool asks;  // the "Communications lost" question comes (answered Ignore)
    const char* caption = "Jentrix Model 6404+  SW Version: " JT6400_VERSION " ComPort: 3";
};
void PrintTo(const TAnswerCase& c, std::ostream* os)
{
    *os << c.name << " (" << c.rule << ')';
}

class SpoiledAnswers : public Scenario, public ::testing::WithParamInterface<TAnswerCase> {};

TEST_P(SpoiledAnswers, NoCrashNoHangNoCommandLostOrDoubled)
{
    const TAnswerCase c = GetParam();
    TSimulator& generator = AddSimulator(3, {"--answer", c.rule});
    StartPanel({"-log"});
    if (c.asks) {
        const QString box = screen->WaitForWindow(Pid(), "^jt6400$", 15000);
        ASSERT_FALSE(box.isEmpty());
        screen->Focus(box);
        screen->Keys({"Tab", "space"});  // Ignore
    }
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());
    EXPECT_EQ(screen->Name(window), c.caption);

    screen->Click(window, ui::kRunStop.x(), ui::kRunStop.y());
    ASSERT_TRUE(generator.WaitForReceived(":PULS0:STAT ON"));
    // Two more status polls go by before the panel is closed.
    const int polls = generator.CountReceived(":PULS0:STAT?");
    EXPECT_TRUE(generator.WaitForReceived(":PULS0:STAT?", polls + 2));
    EXPECT_TRUE(NoBoxOf(Pid()));
    Menu(window, {ui::kFileMenu, ui::kExit});
    ASSERT_TRUE(WaitForExit());
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_EQ(generator.CountReceived(":PULS0:STAT ON"), 1);
    EXPECT_EQ(LoggedSends(folder.path()), generator.Received().mid(kDiscoveryLines));
}

INSTANTIATE_TEST_SUITE_P(Faults, SpoiledAnswers,
                         ::testing::Values(TAnswerCase{"GarbageToTheRunStateQuery", "garbage@:PULS0:STAT?", false},
                                           TAnswerCase{"GarbageToAReadBackQuery", "garbage@:PULS1:WIDT?", false},
                                           // A NUL before the identity stays part of the maker's name.
                                           TAnswerCase{"NulBytesAroundEveryAnswer", "nul", false,
                                                       "Unknown Model 6404+  SW Version: " JT6400_VERSION
                                                       " ComPort: 3"},
                                           TAnswerCase{"NoCrOnceInTheReadBack", "nocr@:PULS1:DEL?#1", true},
                                           TAnswerCase{"CrLfAfterEveryAnswer", "crlf", false},
                                           TAnswerCase{"VeryLongLineToThePeriodQuery", "long=70000@:PULS0:PER?", false},
                                           TAnswerCase{"EveryAnswerTwiceAtOnce", "double", false},
                                           // 600 ms short of the 2 s limit: a busy machine
                                           // cannot push the answer past it.
                                           TAnswerCase{"SlowAnswerNearTheTimeLimit", "slow=1400@:PULS0:PER?", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- A second panel while the first holds the port.

TEST_F(Scenario, SecondPanelLeavesTheFirstOneWorking)
{
    TSimulator& generator = AddSimulator(3);
    StartPanel();
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());

    QProcess second;
    second.setProcessEnvironment(panel.processEnvironment());
    second.setWorkingDirectory(folder.path());
    second.start(JT6400_EXE, {});
    ASSERT_TRUE(second.waitForStarted(5000));
    // It either finds no generator and asks, or finds it and comes up.
    const QString found = screen->WaitForWindow(second.processId(), "^jt6400$|ComPort: ", 15000);
    const QString name = screen->Name(found);
    std::cout << "second panel shows: " << name.toStdString() << std::endl;
    if (name == "jt6400") {
        screen->Focus(found);
        screen->Keys({"alt+n"});
    } else {
        Menu(found, {ui::kFileMenu, ui::kExit});
    }
    EXPECT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);

    // The first panel still works: one edit, sent once; no question shown.
    screen->Click(window, ui::kRunStop.x(), ui::kRunStop.y());
    EXPECT_TRUE(generator.WaitForReceived(":PULS0:STAT ON"));
    EXPECT_EQ(generator.CountReceived(":PULS0:STAT ON"), 1);
    EXPECT_TRUE(NoBoxOf(Pid()));
    if (second.state() != QProcess::NotRunning)
        second.kill();
}
