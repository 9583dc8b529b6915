#include "comm/CommTestSupport.h"
#include "serial/JTComPort.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

// A channel on COM3 of a port folder, linked to a device that answers from
// a table (lines not in the table get no answer).
class ChannelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.Link(3, device.Pty().SlavePath());
        port = std::make_unique<TJTComPort>(nullptr, &dialogs);
        port->SetPort(3);
        port->SetBaud(115200);
        port->SetEndOfResponse("\r");
        port->SetShowErrors(false);
        // Answers come at once; tests that wait for silence shorten the wait.
        port->SetResponseTime(2000);
        comm = std::make_unique<TCommunication>(*port, dialogs, &terminal, &app);
        comm->Log().SetFolder(logDir.path());
        comm->Log().FixNameParts("tester", QDateTime(QDate(2024, 3, 7), QTime(14, 5, 9)));
    }

    void Answer(const QByteArray& line, const QByteArray& reply)
    {
        std::lock_guard<std::mutex> lock(answersMutex);
        answers[line] = reply;
    }
    void Forget(const QByteArray& line)
    {
        std::lock_guard<std::mutex> lock(answersMutex);
        answers.erase(line);
    }
    QStringList LogLines() const { return ReadLogLines(comm->Log().FilePath()); }

    std::mutex answersMutex;
    std::map<QByteArray, QByteArray> answers;
    TLineDevice device{[this](const QByteArray& line) -> std::optional<QByteArray> {
        std::lock_guard<std::mutex> lock(answersMutex);
        auto it = answers.find(line);
        if (it == answers.end())
            return std::nullopt;
        return it->second;
    }};
    TPortFolder folder;
    QTemporaryDir logDir;
    TScriptedDialogs dialogs;
    TRecordingTerminal terminal;
    TRecordingApp app;
    std::unique_ptr<TJTComPort> port;
    std::unique_ptr<TCommunication> comm;
};

const QRegularExpression kEchoLine(QStringLiteral("^\\((\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d)\\) (.*)$"));

TEST_F(ChannelTest, SendCommandEchoesCommandThenReply)
{
    Answer(":PULS1:STAT 1 ", "ok\r\n");
    EXPECT_EQ(comm->SendCommand(":PULS1:STAT 1 "), "ok");
    EXPECT_EQ(device.Lines(), QList<QByteArray>{":PULS1:STAT 1 "});
    EXPECT_EQ(comm->LastCommandText(), ":PULS1:STAT 1 ");
    ASSERT_EQ(terminal.Lines.size(), 2);
    const auto cmd = kEchoLine.match(terminal.Lines[0].Text);
    ASSERT_TRUE(cmd.hasMatch()) << terminal.Lines[0].Text.toStdString();
    EXPECT_EQ(cmd.captured(2), ":PULS1:STAT 1");  // trailing blank removed in the echo
    EXPECT_EQ(terminal.Lines[0].Kind, TLineKind::lkCommand);
    const auto reply = kEchoLine.match(terminal.Lines[1].Text);
    ASSERT_TRUE(reply.hasMatch());
    EXPECT_EQ(reply.captured(2), "ok");
    EXPECT_EQ(terminal.Lines[1].Kind, TLineKind::lkResponse);
}

TEST_F(ChannelTest, SendCommandWithoutReplyShowsEmptyLine)
{
    port->SetResponseTime(100);
    EXPECT_EQ(comm->SendCommand(":NOREPLY"), "");
    ASSERT_EQ(terminal.Lines.size(), 2);
    EXPECT_TRUE(LinesMatch({terminal.Lines[0].Text, terminal.Lines[1].Text}, {"({T}) :NOREPLY", "({T}) "}));
    EXPECT_TRUE(port->TimedOut());
    EXPECT_TRUE(dialogs.Shown.isEmpty());
}

TEST_F(ChannelTest, QueriesAreLoggedButNotEchoed)
{
    comm->ToggleLoggingState();
    Answer("*IDN?", "JT,6404+,1234,2.1.0-3.0.7\r");
    EXPECT_EQ(comm->QueryDevice("*IDN"), "JT,6404+,1234,2.1.0-3.0.7");
    EXPECT_EQ(device.Lines(), QList<QByteArray>{"*IDN?"});
    EXPECT_TRUE(terminal.Lines.isEmpty());
    const QStringList lines = LogLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("JT6400 Communication Log File "));
    EXPECT_TRUE(LinesMatch(lines.mid(1), {"Sent    ({T}): *IDN?", "Received({T}): JT,6404+,1234,2.1.0-3.0.7"}));
}

struct ConversionCase {
    const char* reply;  // nullptr: no answer at all
    double expected;
    bool exceptionLine;
};

TEST_F(ChannelTest, NumericQueriesConvertOrLogFailure)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));  // "," decimal separator
    comm->ToggleLoggingState();
    const ConversionCase integerCases[] = {
        {"1\r\n", 1, false}, {nullptr, 0, false},       {"abc\r", 0, true},   {" -42 \r", -42, false},
        {"2.5\r", 0, true},  {"4000000000\r", 0, true}, {"1,000\r", 0, true},
    };
    for (const auto& c : integerCases) {
        SCOPED_TRACE(c.reply ? c.reply : "(none)");
        const qsizetype before = LogLines().size();
        if (c.reply) {
            Answer(":Q?", c.reply);
        } else {
            Forget(":Q?");
        }
        port->SetResponseTime(c.reply ? 2000 : 100);
        EXPECT_EQ(comm->QueryInteger(":Q"), c.expected);
        const QStringList added = LogLines().mid(before);
        ASSERT_GE(added.size(), 2);
        EXPECT_EQ(added.size(), c.exceptionLine ? 3 : 2);
        if (c.exceptionLine) {
            EXPECT_TRUE(LinesMatch({added.last()}, {"Exception Error ({T}"}));
        }
    }
    Answer(":F?", "2.5\r");
    EXPECT_EQ(comm->QueryFloat(":F"), 2.5);
    Answer(":F?", "-1E-7\r");
    EXPECT_EQ(comm->QueryFloat(":F"), -1e-7);
    Answer(":F?", "2,5\r");
    EXPECT_EQ(comm->QueryFloat(":F"), 0.0);
    Answer(":L?", "4000000000\r");
    EXPECT_EQ(comm->QueryInt64(":L"), 4000000000LL);
    Answer(":L?", "4e9\r");
    EXPECT_EQ(comm->QueryInt64(":L"), 0);
    const QStringList lines = LogLines();
    EXPECT_TRUE(
        LinesMatch(lines.mid(lines.size() - 3), {"Sent    ({T}): :L?", "Received({T}): 4e9", "Exception Error ({T}"}));
    QLocale::setDefault(QLocale::c());
}

TEST_F(ChannelTest, TwoAnswersAtOnceGiveTheFirstOnly)
{
    // A generator that answers twice in one burst: the second copy is not
    // part of the response, so numbers still convert and texts stay whole.
    Answer(":Q?", "7\r7\r");
    EXPECT_EQ(comm->QueryInteger(":Q"), 7);
    Answer("*IDN?", "JT,6404+,1234,2.1.0-3.0.7\rJT,6404+,1234,2.1.0-3.0.7\r");
    EXPECT_EQ(comm->QueryDevice("*IDN"), "JT,6404+,1234,2.1.0-3.0.7");
    Answer(":S 1", "ok\r\nok\r");
    EXPECT_EQ(comm->SendCommand(":S 1"), "ok");
}

TEST_F(ChannelTest, QueryPutsQuestionMarkAndCrLfOnTheLine)
{
    TPtyPair raw;
    folder.Link(8, raw.SlavePath());
    port->SetPort(8);
    comm->QueryDevice("*IDN");
    EXPECT_EQ(raw.Receive(7), "*IDN?\r\n");
    EXPECT_EQ(comm->LastCommandText(), "*IDN?");
}

// Nothing runs inside an exchange but the port's timeout handler, on the
// exchange's own thread: an exchange it starts finds the port in use, is
// refused with its log line, and nothing of it reaches the line.
TEST_F(ChannelTest, AnExchangeStartedInsideAnotherFindsThePortInUse)
{
    comm->ToggleLoggingState();
    port->SetAllowEvents(true);
    port->SetResponseTime(50);
    QString nestedSet = "unset", nestedQuery = "unset";
    port->SetOnTimeout([&](TJTComPort*) {
        nestedSet = comm->SendCommand(":PULS2:STAT 1");
        nestedQuery = comm->QueryDevice(":PULS0:STAT");
    });
    EXPECT_EQ(comm->QueryDevice(":SLOW"), "");
    EXPECT_EQ(nestedSet, "");
    EXPECT_EQ(nestedQuery, "");
    EXPECT_EQ(device.Lines(), QList<QByteArray>{":SLOW?"});  // nothing nested was sent
    EXPECT_TRUE(terminal.Lines.isEmpty());
    const QStringList lines = LogLines();
    EXPECT_TRUE(LinesMatch(lines.mid(1), {"Sent    ({T}): :SLOW?", "Comport in use:    ({T}): :PULS2:STAT 1",
                                          "Received({T}): "}));
}

TEST_F(ChannelTest, ReadAndShowResponse)
{
    device.Pty().Send("late\r\n");
    EXPECT_EQ(comm->ReadAndShowResponse(), "late");
    ASSERT_EQ(terminal.Lines.size(), 1);
    EXPECT_TRUE(LinesMatch({terminal.Lines[0].Text}, {"({T}) late"}));
    EXPECT_EQ(terminal.Lines[0].Kind, TLineKind::lkResponse);
}

// The channel only reports a lost answer; the program decides. Going on
// leaves the log open and the channel working; ending closes the log at once.
TEST_F(ChannelTest, ALostAnswerIsReportedAndTheProgramDecides)
{
    comm->ConnectTimeoutHandler();
    port->SetAllowEvents(true);
    port->SetResponseTime(50);
    for (const bool goOn : {true, false}) {
        SCOPED_TRACE(goOn ? "go on" : "end");
        app.Calls.clear();
        app.GoOn = goOn;
        if (!comm->Log().Enabled())
            comm->ToggleLoggingState();
        EXPECT_EQ(comm->QueryDevice(":SILENT"), "");
        EXPECT_EQ(app.Calls, QStringList{"CommunicationsLost"});
        EXPECT_TRUE(dialogs.Shown.isEmpty()) << "the channel asks nobody itself";
        EXPECT_EQ(comm->Log().IsOpen(), goOn);
        EXPECT_EQ(comm->Log().Enabled(), goOn);
    }
    // Going on leaves the channel working.
    Answer(":PULS0:STAT?", "1\r");
    EXPECT_EQ(comm->QueryInteger(":PULS0:STAT"), 1);
}

TEST_F(ChannelTest, ExitDuringTheWaitEndsTheExchangeSafely)
{
    comm->ConnectTimeoutHandler();
    comm->ToggleLoggingState();
    const QString logPath = comm->Log().FilePath();
    port->SetAllowEvents(true);
    port->SetResponseTime(50);
    app.GoOn = false;
    TCommunication* raw = comm.get();
    app.OnLost = [&] {  // the application releases everything once its event loop runs again
        QTimer::singleShot(0, [&] {
            comm.reset();
            port.reset();
        });
    };
    EXPECT_EQ(raw->QueryInteger(":SILENT"), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(comm, nullptr);
    EXPECT_EQ(app.Calls, QStringList{"CommunicationsLost"});
    // The log was closed with its lines on the way out.
    EXPECT_TRUE(LinesMatch(ReadLogLines(logPath).mid(1), {"Sent    ({T}): :SILENT?"}));
}

}  // namespace
