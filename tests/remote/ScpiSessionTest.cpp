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
        TAction action = session.Handle(*line);
        while (action.Kind == TAction::TKind::Carry) {
            out.Carried.push_back(action.Text);
            const QString answer = next < answers.size() ? answers[next++] : QStringLiteral("ok");
            action = session.Answered(action, answer);
        }
        if (action.Kind == TAction::TKind::Reply)
            out.Replies.push_back(action.Text);
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
        {"*IDN?\t\n", {{"*IDN?", TFault::None}}},          // a tab is white space
        {"\t*ESE\t16 \n", {{"*ESE\t16", TFault::None}}},
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
                             R"(-222,"Data out of range; ERR: out of range")",
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
    EXPECT_EQ(e.Replies, (std::vector<QByteArray>{"ok", "?", "?", "ERR: empty line", "ok"}));
}

TEST(ScpiSession, LineModeAnswersItsOwnFramingErrorsAsTheGeneratorDoes)
{
    TScpiSession session(true);
    const TExchange e = Talk(session, QByteArray(kMaxLineLength + 1, 'A') + "\n*I\x01\n \n");
    EXPECT_TRUE(e.Carried.empty());
    EXPECT_EQ(e.Replies, (std::vector<QByteArray>{"ERR: line too long (at most 4096 bytes)",
                                                  "ERR: invalid character", "ERR: empty line"}));
}

TEST(ScpiSession, CompoundLinesAreCarriedOutInOrderWithOneReplyLine)
{
    struct TCase {
        QByteArray Line;
        std::vector<QString> Answers;
        std::vector<QByteArray> Carried;
        std::vector<QByteArray> Replies;
    } cases[] = {
        {":PULS1:WIDT 1e-6;:PULS1:WIDT?\n", {"ok", "0.000001000000"},
         {":PULS1:WIDT 1e-6", ":PULS1:WIDT?"}, {"0.000001000000"}},
        {"*IDN?;*OPC?\n", {"JT,6404,1,2-3"}, {"*IDN?"}, {"JT,6404,1,2-3;1"}},
        {"*OPC?;*IDN?;SYST:ERR?\n", {"JT,6404,1,2-3"}, {"*IDN?"}, {R"(1;JT,6404,1,2-3;0,"No error")"}},
        // Blanks and tabs around the commands; a ";" before the line's end.
        {" :PULS1:STAT ON\t;\t:PULS2:STAT OFF ;\n", {}, {":PULS1:STAT ON", ":PULS2:STAT OFF"}, {}},
        // A ";" inside a quoted string does not split the line.
        {":X \"a;b\";:Y 'c;d';:Z?\n", {"ok", "ok", "1"}, {":X \"a;b\"", ":Y 'c;d'", ":Z?"}, {"1"}},
        // Every command stands alone: a header without ":" is sent as it is.
        {":PULS1:WIDT 1e-6;WIDT?\n", {"ok", "?UNKNOWN :WIDT?"}, {":PULS1:WIDT 1e-6", "WIDT?"}, {"?UNKNOWN :WIDT?"}},
        // A command the generator does not know ends the line; a refused
        // value does not.
        {":FOO 1;:PULS1:WIDT?\n", {"?UNKNOWN :FOO"}, {":FOO 1"}, {}},
        {":PULS1:WIDT 99;:PULS1:WIDT?\n", {"ERR: out of range", "1E-6"}, {":PULS1:WIDT 99", ":PULS1:WIDT?"},
         {"1E-6"}},
        // An empty command between two others is a syntax error.
        {"*OPC?;;*OPC?\n", {}, {}, {"1"}},
    };
    for (const TCase& c : cases) {
        TScpiSession session;
        const TExchange e = Talk(session, c.Line, c.Answers);
        EXPECT_EQ(e.Carried, c.Carried) << c.Line.toStdString();
        EXPECT_EQ(e.Replies, c.Replies) << c.Line.toStdString();
    }
    TScpiSession session;
    EXPECT_EQ(Talk(session, "*OPC?;;*OPC?\nSYST:ERR?\n").Replies,
              (std::vector<QByteArray>{"1", R"(-102,"Syntax error; empty command")"}));
}

TEST(ScpiSession, CommonCommandsAndTheStatusModelOfTheConnection)
{
    TScpiSession session;
    // Nothing happened yet; the registers are empty.
    EXPECT_EQ(Talk(session, "*STB?\n*ESR?;*ESE?;*SRE?\n").Replies, (std::vector<QByteArray>{"0", "0;0;0"}));
    // A refused value: the execution-error bit, and the error queue bit in
    // the status byte; the summary bit once the event is enabled; a service
    // request when that is enabled too (bit 6 of the enable register never
    // sticks).
    Talk(session, ":PULS1:WIDT 99\n", {"ERR: out of range"});
    EXPECT_EQ(Talk(session, "*STB?\n*ESE 16;*STB?\n*SRE 100;*SRE?\n*STB?\n").Replies,
              (std::vector<QByteArray>{"4", "36", "36", "100"}));
    // An earlier reply of the line waiting: the message-available bit.
    EXPECT_EQ(Talk(session, "*OPC?;*STB?\n").Replies, (std::vector<QByteArray>{"1;116"}));
    EXPECT_EQ(Talk(session, "SYST:ERR:COUN?;:SYSTem:ERRor:COUNt?\n").Replies, (std::vector<QByteArray>{"1;1"}));
    // Reading the event status register clears it; *CLS clears it and the
    // queue; *OPC sets the operation-complete bit.
    EXPECT_EQ(Talk(session, "*ESR?;*ESR?\n").Replies, (std::vector<QByteArray>{"16;0"}));
    EXPECT_EQ(Talk(session, "*CLS;*STB?;*OPC;*WAI;*ESR?\n").Replies, (std::vector<QByteArray>{"0;1"}));
    // Values of the enable registers: out of range, not a number, missing;
    // a parameter where none belongs ends the line.
    EXPECT_EQ(Talk(session, "*ESE 256\n*ESE ON\n*SRE\n*ESE?\nSYST:ERR:ALL?\nSYST:ERR:ALL?\n").Replies,
              (std::vector<QByteArray>{
                  "16",
                  R"(-222,"Data out of range; a number from 0 to 255 is expected",)"
                  R"(-104,"Data type error; a number from 0 to 255 is expected",-109,"Missing parameter")",
                  R"(0,"No error")"}));
    EXPECT_EQ(Talk(session, "*ESR?;*ESE 32.4;*ESE?;SYST:VERS?;*TST? 1;*OPC?\n").Replies,
              (std::vector<QByteArray>{"48;32;1999.0"}));
    EXPECT_EQ(Talk(session, "SYST:ERR?\n").Replies, (std::vector<QByteArray>{R"(-108,"Parameter not allowed")"}));
}

TEST(ScpiSession, SelfTestOptionsAndResetGoToTheGeneratorAsTheirOwnQueries)
{
    struct TCase {
        QByteArray Line;
        std::vector<QString> Answers;
        std::vector<QByteArray> Carried;
        std::vector<QByteArray> Replies;
    } cases[] = {
        {"*TST?\n", {"BNC,6404,1234,2.1.0-3.0.7"}, {"*IDN?"}, {"0"}},
        {"*TST?\n", {""}, {"*IDN?"}, {"1"}},
        {"*TST?\n", {"?"}, {"*IDN?"}, {"1"}},
        {"*OPT?\n", {"BNC,6404+,1234,2.1.0-3.0.7"}, {"*IDN?"}, {"PLUS"}},
        {"*OPT?\n", {"BNC,6404,1234,2.1.0-3.0.7"}, {"*IDN?"}, {"0"}},
        {"*RST;*OPC?\n", {"ok"}, {":PULS0:STAT OFF"}, {"1"}},
        // *IDN?, *SAV and *RCL are the generator's.
        {"*IDN?;*SAV 2;*RCL 2\n", {"BNC,6404,1,2-3", "ok", "ok"}, {"*IDN?", "*SAV 2", "*RCL 2"}, {"BNC,6404,1,2-3"}},
    };
    for (const TCase& c : cases) {
        TScpiSession session;
        const TExchange e = Talk(session, c.Line, c.Answers);
        EXPECT_EQ(e.Carried, c.Carried) << c.Line.toStdString();
        EXPECT_EQ(e.Replies, c.Replies) << c.Line.toStdString();
    }
}

TEST(ScpiSession, WhileOneConnectionHoldsTheLockTheOthersMayOnlyAsk)
{
    TLock lock;
    TScpiSession a;
    TScpiSession b;
    a.SetLock(&lock);
    b.SetLock(&lock);
    EXPECT_EQ(Talk(a, "SYST:LOCK:REQ?;:SYSTem:LOCK:REQuest?\n").Replies, (std::vector<QByteArray>{"1;1"}));
    EXPECT_EQ(Talk(b, "SYST:LOCK:REQ?\n").Replies, (std::vector<QByteArray>{"0"}));
    // B's set commands (and *RST, *RCL) are refused; its queries and its own
    // status commands are not.
    const TExchange e = Talk(b, ":PULS1:WIDT 1E-6\n*RST\n*RCL 1\n:PULS1:WIDT?;*ESE 16;*ESE?\n", {"0.000002"});
    EXPECT_EQ(e.Carried, (std::vector<QByteArray>{":PULS1:WIDT?"}));
    EXPECT_EQ(e.Replies, (std::vector<QByteArray>{"0.000002;16"}));
    EXPECT_EQ(Talk(b, "SYST:ERR:ALL?\n").Replies,
              (std::vector<QByteArray>{R"(-203,"Command protected; another connection holds the lock",)"
                                       R"(-203,"Command protected; another connection holds the lock",)"
                                       R"(-203,"Command protected; another connection holds the lock")"}));
    EXPECT_EQ(Talk(a, ":PULS1:WIDT 1E-6\n").Carried, (std::vector<QByteArray>{":PULS1:WIDT 1E-6"}));
    // Released, or ended with its connection: the lock is free again.
    Talk(a, "SYST:LOCK:REL\n");
    EXPECT_EQ(Talk(b, "SYST:LOCK:REQ?\n").Replies, (std::vector<QByteArray>{"1"}));
    {
        TScpiSession c;
        c.SetLock(&lock);
        Talk(b, "SYST:LOCK:REL\n");
        EXPECT_EQ(Talk(c, "SYST:LOCK:REQ?\n").Replies, (std::vector<QByteArray>{"1"}));
        EXPECT_EQ(Talk(a, "SYST:LOCK:REQ?\n").Replies, (std::vector<QByteArray>{"0"}));
    }
    EXPECT_EQ(lock.Holder, nullptr);
    EXPECT_EQ(Talk(a, "SYST:LOCK:REQ?\n").Replies, (std::vector<QByteArray>{"1"}));
}

TEST(ScpiSession, GeneratorErrorsGetTheirScpiCodesAndKeepTheGeneratorsWords)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {":PULS1:WIDT 99", "ERR: out of range", R"(-222,"Data out of range; ERR: out of range")"},
        {":PULS1:WIDT abc", "ERR: malformed value", R"(-104,"Data type error; ERR: malformed value")"},
        {":PULS0:BCO 1.5", "ERR: malformed value", R"(-224,"Illegal parameter value; ERR: malformed value")"},
        {":PULS1:STAT 2", "ERR: malformed value", R"(-224,"Illegal parameter value; ERR: malformed value")"},
        {":PULS1:POL SIDEWAYS", "ERR: unknown keyword", R"(-224,"Illegal parameter value; ERR: unknown keyword")"},
        {":PULS1:WIDT", "ERR: missing value", R"(-109,"Missing parameter; ERR: missing value")"},
        {":PULS1:WIDT? 1", "ERR: a query takes no value",
         R"(-108,"Parameter not allowed; ERR: a query takes no value")"},
        {":PULS1:NOSUCH 1", "?UNKNOWN :PULS1:NOSUCH", R"(-113,"Undefined header; ?UNKNOWN :PULS1:NOSUCH")"},
        {":PULS0:COUN:COUN 5", "ERR: read-only value", R"(-200,"Execution error; ERR: read-only value")"},
    };
    for (const auto& [command, answer, error] : cases) {
        EXPECT_EQ(GeneratorError(QString::fromLatin1(answer), command).Format(), error) << command;
        TScpiSession session;
        EXPECT_EQ(Talk(session, QByteArray(command) + "\nSYST:ERR?\n", {QString::fromLatin1(answer)}).Replies.back(),
                  error);
    }
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
        {"localhost:5025", TListenAddress{QHostAddress::LocalHost, 5025}},
        {"LocalHost:0", TListenAddress{QHostAddress::LocalHost, 0}},
        {"[::]:5025", TListenAddress{QHostAddress::Any, 5025}},
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
