// The protocol of one connection without sockets: framing, checks, the
// server's own commands, the error queue and the replies.
#include "remote/Address.h"
#include "remote/ScpiSession.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace remote;
using TFault = TFramedLine::TFault;

namespace {

std::vector<TFramedLine> Frame(const QByteArray& bytes, int pieceSize = 0)
{
    TLineFramer framer;
    if (pieceSize <= 0) {
        framer.Append(bytes);
    } else {
        for (qsizetype i = 0; i < bytes.size(); i += pieceSize)
            framer.Append(QByteArrayView(bytes).sliced(i, std::min<qsizetype>(pieceSize, bytes.size() - i)));
    }
    std::vector<TFramedLine> lines;
    while (auto line = framer.Next())
        lines.push_back(*line);
    return lines;
}

// Runs lines through a session whose generator answers each carried line
// from Answers (in order); returns what went back to the client.
struct TExchange {
    std::vector<QByteArray> Replies;
    std::vector<QByteArray> Carried;
};
TExchange Talk(TScpiSession& session, const QByteArray& bytes, std::vector<QString> answers = {})
{
    TExchange out;
    session.Input().Append(bytes);
    size_t next = 0;
    while (auto line = session.Input().Next()) {
        const TAction action = session.Handle(*line);
        if (action.Kind == TAction::TKind::Reply)
            out.Replies.push_back(action.Text);
        if (action.Kind == TAction::TKind::Carry) {
            out.Carried.push_back(action.Text);
            const QString answer = next < answers.size() ? answers[next++] : QStringLiteral("ok");
            if (auto reply = session.Answered(action, answer))
                out.Replies.push_back(*reply);
        }
    }
    return out;
}

}  // namespace

TEST(ScpiFraming, LinesEndWithLineFeedAndCarriageReturnIsDropped)
{
    struct TCase {
        QByteArray Bytes;
        std::vector<TFramedLine> Lines;
    } cases[] = {
        {"*IDN?\n", {{"*IDN?", TFault::None}}},
        {"*IDN?\r\n:PULS1:WIDT 2E-6\n", {{"*IDN?", TFault::None}, {":PULS1:WIDT 2E-6", TFault::None}}},
        {"*IDN?", {}},                                     // no line end yet
        {"\n", {{"", TFault::Empty}}},
        {"   \r\n", {{"", TFault::Empty}}},
        {"  *IDN?  \n", {{"*IDN?", TFault::None}}},
        {"*ID\rN?\n", {{"*ID\rN?", TFault::BadByte}}},    // a CR inside the line
        {"*IDN?\t\n", {{"*IDN?\t", TFault::BadByte}}},
        {QByteArray("A\0B\n", 4), {{QByteArray("A\0B", 3), TFault::BadByte}}},
        {"\xc3\xa9?\n", {{"\xc3\xa9?", TFault::BadByte}}},
        {"\x7f\n", {{"\x7f", TFault::BadByte}}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Frame(c.Bytes), c.Lines) << c.Bytes.toStdString();
        EXPECT_EQ(Frame(c.Bytes, 1), c.Lines) << "byte by byte: " << c.Bytes.toStdString();
    }
}

TEST(ScpiFraming, LineLengthLimitIsFourKibibytesWithoutTerminator)
{
    const QByteArray longest(kMaxLineLength, 'A');
    for (int piece : {0, 1, 1000}) {
        EXPECT_EQ(Frame(longest + "\n", piece), (std::vector<TFramedLine>{{longest, TFault::None}}));
        EXPECT_EQ(Frame(longest + "\r\n", piece), (std::vector<TFramedLine>{{longest, TFault::None}}));
        EXPECT_EQ(Frame(longest + "B\n*IDN?\n", piece),
                  (std::vector<TFramedLine>{{"", TFault::TooLong}, {"*IDN?", TFault::None}}));
        EXPECT_EQ(Frame(longest + "\r\r\n", piece), (std::vector<TFramedLine>{{"", TFault::TooLong}}));
    }
}

TEST(ScpiFraming, AnEndlessLineIsNotKept)
{
    TLineFramer framer;
    const QByteArray chunk(64 * 1024, 'x');
    for (int i = 0; i < 64; ++i)
        framer.Append(chunk);
    EXPECT_LE(framer.Partial(), kMaxLineLength + 1);
    EXPECT_EQ(framer.Ready(), 0);
    framer.Append("\n*OPC?\n");
    EXPECT_EQ(framer.Next()->Fault, TFault::TooLong);
    EXPECT_EQ(framer.Next()->Text, "*OPC?");
}

TEST(ScpiSession, QueriesGetOneReplyAndSetCommandsNone)
{
    TScpiSession session;
    const TExchange e = Talk(session, "*IDN?\n:PULS1:WIDT 2E-6\n:PULS1:WIDT?\n:puls1:stat?\n",
                             {"BNC,6404,1,2-3", "ok", "0.000002000", "1"});
    EXPECT_EQ(e.Carried, (std::vector<QByteArray>{"*IDN?", ":PULS1:WIDT 2E-6", ":PULS1:WIDT?", ":puls1:stat?"}));
    EXPECT_EQ(e.Replies, (std::vector<QByteArray>{"BNC,6404,1,2-3", "0.000002000", "1"}));
    EXPECT_EQ(session.Errors().Count(), 0);
}

TEST(ScpiSession, ErrorsAreQueuedAndReadBackOldestFirst)
{
    TScpiSession session;
    const TExchange e = Talk(session,
                             ":PULS1:WIDT 99\n:FOO 1\n\n" + QByteArray(kMaxLineLength + 1, 'A') +
                                 "\n*I\x01\n:PULS1:WIDT?\nSYST:ERR?\n:SYSTem:ERRor:NEXT?\nsyst:err?\nsyst:err?\n"
                                 ":syst:err?\nSYST:ERR?\nSYST:ERR?\n",
                             {"ERR: out of range", "?UNKNOWN FOO", "1.0E-6"});
    EXPECT_EQ(e.Carried, (std::vector<QByteArray>{":PULS1:WIDT 99", ":FOO 1", ":PULS1:WIDT?"}));
    EXPECT_EQ(e.Replies, (std::vector<QByteArray>{
                             "1.0E-6",
                             R"(-200,"Execution error; ERR: out of range")",
                             R"(-113,"Undefined header; ?UNKNOWN FOO")",
                             R"(-102,"Syntax error; empty line")",
                             R"(-363,"Input buffer overrun; a line holds at most 4096 bytes")",
                             R"(-101,"Invalid character; only printable ASCII is accepted")",
                             R"(0,"No error")",
                             R"(0,"No error")",
                         }));
}

TEST(ScpiSession, ClearEmptiesTheQueueAndOpcAnswersOne)
{
    TScpiSession session;
    const TExchange e = Talk(session, ":FOO\n:BAR\n*CLS\nSYST:ERR?\n*OPC?\n*CLS 1\nSYST:ERR?\n", {"?", "?"});
    EXPECT_EQ(e.Carried.size(), 2u);
    EXPECT_EQ(e.Replies,
              (std::vector<QByteArray>{R"(0,"No error")", "1", R"(-108,"Parameter not allowed")"}));
}

TEST(ScpiSession, TheQueueOverflowsIntoItsLastEntry)
{
    TScpiSession session;
    QByteArray lines;
    for (int i = 0; i < kErrorQueueLength + 5; ++i)
        lines += "\n";
    Talk(session, lines);
    EXPECT_EQ(session.Errors().Count(), kErrorQueueLength);
    for (int i = 0; i < kErrorQueueLength - 1; ++i)
        EXPECT_EQ(session.Errors().Pop().Code, ecSyntaxError);
    EXPECT_EQ(session.Errors().Pop().Format(), R"(-350,"Queue overflow")");
    EXPECT_EQ(session.Errors().Pop().Code, ecNoError);
}

TEST(ScpiSession, AQueryWithoutAnswerGetsAnEmptyLineAndAnError)
{
    TScpiSession session;
    const TExchange e = Talk(session, "*IDN?\n:PULS1:STAT ON\nSYST:ERR?\nSYST:ERR?\n", {"", ""});
    EXPECT_EQ(e.Replies, (std::vector<QByteArray>{"", R"(-240,"Hardware error; the generator did not answer")",
                                                  R"(-240,"Hardware error; the generator did not answer")"}));
}

TEST(ScpiSession, QuotesAndControlsInAnswersStayOnOneLine)
{
    TScpiSession session;
    const TExchange e = Talk(session, ":X?\nSYST:ERR?\n", {QStringLiteral("ERR: \"a\"\x01" "b?")});
    EXPECT_EQ(e.Replies, (std::vector<QByteArray>{"ERR: \"a\" b?", R"(-113,"Undefined header; ERR: ""a"" b?")"}));
}

TEST(ScpiSession, LineModeRepliesToEveryLineWithTheGeneratorsOwnAnswer)
{
    TScpiSession session(true);
    const TExchange e = Talk(session, ":PULS1:WIDT 2E-6\nSYST:ERR?\n*OPC?\n\n*CLS\n", {"ok", "?", "?", "ok"});
    EXPECT_EQ(e.Carried, (std::vector<QByteArray>{":PULS1:WIDT 2E-6", "SYST:ERR?", "*OPC?", "*CLS"}));
    EXPECT_EQ(e.Replies, (std::vector<QByteArray>{"ok", "?", "?", R"(-102,"Syntax error; empty line")", "ok"}));
}

TEST(ScpiSession, QueryDetectionLooksAtTheHeaderOnly)
{
    const std::pair<const char*, bool> cases[] = {
        {"*IDN?", true},  {":PULS1:WIDT?", true}, {"SYST:ERR? ", true}, {":PULS1:WIDT 2E-6", false},
        {":X 1?", false}, {"*RCL 3", false},      {":X? 1", true},      {"?", true},
    };
    for (const auto& [line, query] : cases)
        EXPECT_EQ(IsQuery(line), query) << line;
}

TEST(RemoteAddress, ListenAddressesAndNetworks)
{
    const std::pair<const char*, std::optional<TListenAddress>> listens[] = {
        {"5025", TListenAddress{QHostAddress::LocalHost, 5025}},
        {"0", TListenAddress{QHostAddress::LocalHost, 0}},
        {"0.0.0.0:6000", TListenAddress{QHostAddress(QStringLiteral("0.0.0.0")), 6000}},
        {"192.168.1.7:5025", TListenAddress{QHostAddress(QStringLiteral("192.168.1.7")), 5025}},
        {"[::1]:5025", TListenAddress{QHostAddress::LocalHostIPv6, 5025}},
        {"::1:5025", std::nullopt},
        {"65536", std::nullopt},
        {"", std::nullopt},
        {"host:5025", std::nullopt},
        {"127.0.0.1", std::nullopt},
        {"127.0.0.1:", std::nullopt},
        {"-1", std::nullopt},
    };
    for (const auto& [text, expected] : listens)
        EXPECT_EQ(ParseListenAddress(QString::fromLatin1(text)), expected) << text;

    const QList<TNetwork> allowed{*ParseNetwork(QStringLiteral("192.168.1.0/24")),
                                  *ParseNetwork(QStringLiteral("127.0.0.1"))};
    EXPECT_FALSE(ParseNetwork(QStringLiteral("192.168.1.0/33")));
    EXPECT_FALSE(ParseNetwork(QStringLiteral("lab")));
    const std::pair<const char*, bool> peers[] = {
        {"192.168.1.200", true}, {"192.168.2.1", false}, {"127.0.0.1", true},
        {"::ffff:127.0.0.1", true}, {"127.0.0.2", false}, {"::1", false},
    };
    for (const auto& [peer, ok] : peers)
        EXPECT_EQ(Allowed(allowed, QHostAddress(QString::fromLatin1(peer))), ok) << peer;
    EXPECT_TRUE(Allowed({}, QHostAddress(QStringLiteral("10.1.2.3"))));
    EXPECT_EQ(EndpointText(QHostAddress(QStringLiteral("::ffff:127.0.0.1")), 80), QStringLiteral("127.0.0.1:80"));
    EXPECT_EQ(EndpointText(QHostAddress::LocalHostIPv6, 80), QStringLiteral("[::1]:80"));
}
