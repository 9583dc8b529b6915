// The simulator over a real pseudo-terminal, driven by a plain POSIX client.
#include "sim/PtyClient.h"
#include "PtyServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include <sys/stat.h>

using namespace jt6400sim;
using simtest::PtyClient;
using namespace std::chrono_literals;

namespace {

std::string tempDir()
{
    auto dir =
        std::filesystem::temp_directory_path() / ("jt6400sim-pty-" + std::to_string(::getpid()) + "-" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

GeneratorOptions noEcho()
{
    GeneratorOptions o;
    o.echo = false;
    return o;
}

bool pathExists(const std::string& p)
{
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

}  // namespace

TEST(PtyServer, AnswersQueriesAndSetsOverThePseudoTerminal)
{
    PtyServer server{Generator(noEcho())};
    server.start();
    ASSERT_EQ(server.devicePath().rfind("/dev/", 0), 0u) << server.devicePath();
    PtyClient client(server.devicePath());
    ASSERT_TRUE(client.isOpen());

    EXPECT_EQ(client.exchange("*IDN?"), "JT,6404+,1234,2.1.0-3.0.7");
    EXPECT_EQ(client.exchange(":PULS3:DEL 0.000000100000"), "ok");
    EXPECT_EQ(client.exchange(":PULS3:DEL?"), "0.000000100000");
    EXPECT_NE(client.exchange(":NOPE?").find('?'), std::string::npos);
    EXPECT_EQ(client.exchange(""), "ERR: empty line") << "an empty line gets an answer too";
    // LF alone ends a line as well; a CR inside a line stays part of it.
    client.write(":PULS0:PER?\n");
    EXPECT_EQ(client.readUntilCR(), "0.001000000000\r");
    EXPECT_NE(client.exchange(":PULS0:PER?\r:X").find('?'), std::string::npos);

    const double delay = server.withGenerator([](Generator& g) { return g.settings().channels[2].Delay; });
    EXPECT_DOUBLE_EQ(delay, 1e-7);
}

TEST(PtyServer, EchoesEachLineUntilEchoIsSwitchedOff)
{
    PtyServer server(Generator{});
    server.start();
    PtyClient client(server.devicePath());

    client.write("*IDN?\r\n");
    EXPECT_EQ(client.readUntilCR(), "*IDN?\r");
    EXPECT_EQ(client.readUntilCR(), "\nJT,6404+,1234,2.1.0-3.0.7\r");

    // The line that switches echo off was received with echo on, so it is
    // echoed; from then on only answers come back.
    client.write(":SYST:COMM:USB:ECH OFF\r\n");
    EXPECT_EQ(client.readUntilCR(), ":SYST:COMM:USB:ECH OFF\r");
    EXPECT_EQ(client.readUntilCR(), "\nok\r");
    EXPECT_EQ(client.exchange("*IDN?"), "JT,6404+,1234,2.1.0-3.0.7");

    EXPECT_EQ(client.exchange(":SYST:COMM:BLUE:ECH ON"), "ok");
    client.write(":PULS0:STAT?\r\n");
    EXPECT_EQ(client.readUntilCR(), ":PULS0:STAT?\r");
    EXPECT_EQ(client.readUntilCR(), "\n0\r");
}

TEST(PtyServer, SurvivesTheClientClosingAndReopening)
{
    const std::string dir = tempDir();
    ServerOptions o;
    o.linkPath = dir + "/COM3";
    PtyServer server{Generator(noEcho()), o};
    server.start();
    const std::string idn = "JT,6404+,1234,2.1.0-3.0.7\r";
    for (int round = 0; round < 3; ++round) {
        PtyClient client(o.linkPath);
        ASSERT_TRUE(client.isOpen()) << "round " << round;
        // The answer left behind by the previous round may still be on its way.
        client.write("*IDN?\r\n");
        std::string answer;
        for (int i = 0; i < 3 && answer != idn; ++i)
            answer = client.readUntilCR();
        EXPECT_EQ(answer, idn) << "round " << round;
        client.write(":PULS0:PER?\r\n");  // closed before the answer is read
    }
    PtyClient client(o.linkPath);
    client.write("*IDN?\r\n");
    std::string answer;
    for (int i = 0; i < 3 && answer != idn; ++i)
        answer = client.readUntilCR();
    EXPECT_EQ(answer, idn);
    EXPECT_EQ(server.linesReceived(), 7);
}

TEST(PtyServer, LinkPointsToTheDeviceAndIsRemovedOnStop)
{
    const std::string dir = tempDir();
    ServerOptions o;
    o.linkPath = dir + "/ports/COM7";
    {
        PtyServer server{Generator(noEcho()), o};
        server.start();
        EXPECT_EQ(std::filesystem::read_symlink(o.linkPath).string(), server.devicePath());
        server.stop();
        EXPECT_FALSE(pathExists(o.linkPath));
    }
    // A stale link from an earlier run is replaced; a plain file is not touched.
    std::filesystem::create_symlink("/dev/null", o.linkPath);
    {
        PtyServer server{Generator(noEcho()), o};
        server.start();
        EXPECT_EQ(std::filesystem::read_symlink(o.linkPath).string(), server.devicePath());
    }
    std::ofstream(o.linkPath) << "keep";
    PtyServer server{Generator(noEcho()), o};
    EXPECT_THROW(server.start(), std::runtime_error);
    EXPECT_TRUE(std::filesystem::is_regular_file(o.linkPath));
}

TEST(PtyServer, LatencyDelaysEveryAnswer)
{
    ServerOptions o;
    o.latencyMs = 150;
    PtyServer server{Generator(noEcho()), o};
    server.start();
    PtyClient client(server.devicePath());
    for (const char* line : {"*IDN?", ":PULS0:PER 0.002"}) {
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.exchange(line).empty());
        EXPECT_GE(std::chrono::steady_clock::now() - t0, 150ms) << line;
    }
}

TEST(PtyServer, PacingIsNeverFasterThanTheLine)
{
    GeneratorOptions g = noEcho();
    g.identity.manufacturer = std::string(200, 'M');
    ServerOptions o;
    o.pace = true;
    PtyServer server(Generator(g), o);
    server.start();
    PtyClient client(server.devicePath());

    struct Case {
        std::string line;
        std::size_t answerBytes;
    };
    const std::vector<Case> cases = {
        {"*IDN?", 200 + std::string(",6404+,1234,2.1.0-3.0.7\r").size()},                 // long answer
        {":" + std::string(300, 'Q') + "?", std::string("?UNKNOWN :").size() + 300 + 2},  // long line
    };
    for (const Case& c : cases) {
        const auto t0 = std::chrono::steady_clock::now();
        client.write(c.line + "\r\n");
        const std::string answer = client.readUntilCR();
        const auto elapsed = std::chrono::steady_clock::now() - t0;
        ASSERT_EQ(answer.size(), c.answerBytes);
        const auto lineTime = PtyServer::kByteTime * static_cast<long>(c.line.size() + 2 + c.answerBytes);
        EXPECT_GE(elapsed, lineTime) << c.line.substr(0, 10);
    }
}

TEST(PtyServer, SilentServerNeverAnswersButStillListens)
{
    ServerOptions o;
    o.silent = true;
    PtyServer server(Generator{}, o);  // echo on: even the echo stays off the line
    server.start();
    PtyClient client(server.devicePath());
    client.write("*IDN?\r\n:PULS0:PER 0.002\r\n");
    EXPECT_EQ(client.readFor(300ms), "");
    EXPECT_EQ(server.linesReceived(), 2);
    EXPECT_DOUBLE_EQ(server.withGenerator([](Generator& g) { return g.settings().system.Period; }), 0.002);
}

TEST(PtyServer, StopsAnsweringAfterNLines)
{
    ServerOptions o;
    o.stopAfter = 2;
    PtyServer server{Generator(noEcho()), o};
    server.start();
    PtyClient client(server.devicePath());
    EXPECT_EQ(client.exchange(":PULS0:STAT?"), "0");
    EXPECT_EQ(client.exchange("*ERS?"), "0");
    client.write("*IDN?\r\n");
    EXPECT_EQ(client.readFor(300ms), "");
    EXPECT_EQ(server.linesReceived(), 3);
    // Resumed, it answers the next line again (the line it kept quiet on
    // stays unanswered).
    server.resume();
    EXPECT_EQ(client.exchange(":PULS0:STAT?"), "0");
}

TEST(PtyServer, VanishesAfterNLinesAndOnRequest)
{
    const std::string dir = tempDir();
    for (bool onRequest : {false, true}) {
        SCOPED_TRACE(onRequest ? "on request" : "after N lines");
        ServerOptions o;
        o.linkPath = dir + "/COM4";
        if (!onRequest)
            o.vanishAfter = 2;
        PtyServer server{Generator(noEcho()), o};
        server.start();
        PtyClient client(o.linkPath);
        EXPECT_EQ(client.exchange(":PULS0:STAT?"), "0");
        if (onRequest) {
            server.vanish();
        } else {
            EXPECT_EQ(client.exchange("*IDN?"), "JT,6404+,1234,2.1.0-3.0.7") << "line N is still answered";
            for (int i = 0; i < 500 && !server.vanished(); ++i)
                std::this_thread::sleep_for(10ms);
        }
        EXPECT_TRUE(server.vanished());
        EXPECT_FALSE(pathExists(o.linkPath));
        // The client sees the line drop: a hang-up or an error, never an answer.
        client.write("*IDN?\r\n");
        pollfd p{client.fd(), POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 2000), 1);
        EXPECT_NE(p.revents & (POLLHUP | POLLERR), 0);
    }
}

TEST(PtyServer, TraceRecordsEveryLineAndAnswer)
{
    const std::string dir = tempDir();
    ServerOptions o;
    o.traceFile = dir + "/trace.txt";
    o.stopAfter = 2;
    PtyServer server{Generator(noEcho()), o};
    server.start();
    PtyClient client(server.devicePath());
    EXPECT_EQ(client.exchange("*IDN?"), "JT,6404+,1234,2.1.0-3.0.7");
    EXPECT_EQ(client.exchange(std::string("X\x01Y\tZ?")), "?UNKNOWN :X.Y");
    client.write(":PULS0:STAT?\r\n");  // past the limit: received, not answered
    for (int i = 0; i < 500 && server.linesReceived() < 3; ++i)
        std::this_thread::sleep_for(10ms);

    std::vector<std::string> fileLines;
    {
        std::ifstream f(o.traceFile);
        for (std::string l; std::getline(f, l);)
            fileLines.push_back(l);
    }
    EXPECT_EQ(fileLines, server.trace()) << "the file is flushed line by line";

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"RX", "*IDN?"},        {"TX", "JT,6404+,1234,2.1.0-3.0.7"}, {"RX", "X\\x01Y\tZ?"}, {"TX", "?UNKNOWN :X.Y"},
        {"RX", ":PULS0:STAT?"},
    };
    ASSERT_EQ(fileLines.size(), expected.size());
    const std::regex stamp(R"(^([01]\d|2[0-3]):[0-5]\d:[0-5]\d\.\d{3} (RX|TX) (.*)$)");
    for (std::size_t i = 0; i < expected.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(fileLines[i], m, stamp)) << fileLines[i];
        EXPECT_EQ(m[2].str(), expected[i].first);
        EXPECT_EQ(m[3].str(), expected[i].second);
    }
}

TEST(PtyServer, TraceLineEscapesControlCharacters)
{
    const auto when = std::chrono::system_clock::now();
    const std::string line = PtyServer::traceLine(when, "TX", std::string("a\tb\r\n\x1b\x7f", 7));
    EXPECT_EQ(line.substr(12), " TX a\tb\\x0D\\x0A\\x1B\\x7F");
}

// Each spoiled answer is followed by a plain *IDN? exchange: everything before
// the identity's answer is what the spoiled line produced on the wire.
TEST(PtyServer, AnswerRulesSpoilOnlyTheMatchingAnswers)
{
    const std::string period = "0.001000000000";
    const std::string idn = "JT,6404+,1234,2.1.0-3.0.7\r";
    struct Case {
        const char* rule;
        std::string wire;
    };
    const Case cases[] = {
        {"garbage@:PULS0:PER?", "\x81#\xFE%;~\x7F\r"},
        {"nul@:PULS0:PER?", std::string(1, '\0') + period + std::string(1, '\0') + "\r"},
        {"nocr@:PULS0:PER?", period},
        {"crlf@:PULS0:PER?", period + "\r\n"},
        {"long=40@:PULS0:PER?", period + std::string(40 - period.size(), ' ') + "\r"},
        {"double@:PULS0:PER?", period + "\r" + period + "\r"},
        {"slow=1@:PULS0:PER?", period + "\r"},
    };
    for (const Case& c : cases) {
        ServerOptions o;
        AnswerRule rule;
        ASSERT_EQ(parseAnswerRule(c.rule, rule), "") << c.rule;
        o.answerRules.push_back(rule);
        PtyServer server{Generator(noEcho()), o};
        server.start();
        PtyClient client(server.devicePath());
        client.write(":PULS0:PER?\r\n*IDN?\r\n");
        std::string got;
        while (got.size() < idn.size() || got.compare(got.size() - idn.size(), idn.size(), idn) != 0) {
            const std::string more = client.readUntilCR();
            if (more.empty())
                break;
            got += more;
        }
        ASSERT_GE(got.size(), idn.size()) << c.rule;
        EXPECT_EQ(got.substr(0, got.size() - idn.size()), c.wire) << c.rule;
    }
}

TEST(PtyServer, AnswerRuleCountAndSlowDelay)
{
    ServerOptions o;
    AnswerRule rule;
    ASSERT_EQ(parseAnswerRule("slow=200@:PULS0:PER?#1", rule), "");
    EXPECT_EQ(rule.fault, AnswerFault::Slow);
    EXPECT_EQ(rule.param, 200);
    EXPECT_EQ(rule.count, 1);
    o.answerRules.push_back(rule);
    ASSERT_EQ(parseAnswerRule("double@:PULS0:PER?#1", rule), "");
    o.answerRules.push_back(rule);
    PtyServer server{Generator(noEcho()), o};
    server.start();
    PtyClient client(server.devicePath());
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(client.exchange(":PULS0:PER?"), "0.001000000000");
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 200ms);
    // The slow rule is used up, so the second rule takes the next match, and
    // after that the answers are plain again.
    client.write(":PULS0:PER?\r\n*IDN?\r\n");
    EXPECT_EQ(client.readUntilCR(), "0.001000000000\r");
    EXPECT_EQ(client.readUntilCR(), "0.001000000000\r");
    EXPECT_EQ(client.readUntilCR(), "JT,6404+,1234,2.1.0-3.0.7\r");
    EXPECT_EQ(client.exchange(":PULS0:PER?"), "0.001000000000");
    const auto trace = server.trace();
    ASSERT_GE(trace.size(), 4u);
    EXPECT_NE(trace[3].find("TX 0.001000000000\\x0D0.001000000000"), std::string::npos) << trace[3];
}

TEST(PtyServer, StopRuleSilencesFromItsLineOnUntilResumed)
{
    ServerOptions o;
    AnswerRule rule;
    ASSERT_EQ(parseAnswerRule("stop@:PULS1:DEL 0.5", rule), "");
    o.answerRules.push_back(rule);
    PtyServer server{Generator(noEcho()), o};
    server.start();
    PtyClient client(server.devicePath());
    EXPECT_EQ(client.exchange(":PULS1:DEL 0.25"), "ok");
    client.write(":PULS1:DEL 0.5\r\n:PULS1:DEL?\r\n");
    EXPECT_EQ(client.readFor(300ms), "");
    server.resume();
    EXPECT_EQ(client.exchange(":PULS1:DEL?"), "0.500000000000") << "the silent line was still carried out";
}

TEST(PtyServer, RefuseRuleLeavesTheSettingAndAnswersWithAnError)
{
    ServerOptions o;
    AnswerRule rule;
    ASSERT_EQ(parseAnswerRule("refuse@:PULS1:DEL ", rule), "");
    o.answerRules.push_back(rule);
    PtyServer server{Generator(noEcho()), o};
    server.start();
    PtyClient client(server.devicePath());
    EXPECT_EQ(client.exchange(":PULS1:DEL 0.25"), "ERR: refused");
    EXPECT_EQ(client.exchange(":PULS1:DEL?"), "0.000000000000") << "a refused line changes nothing";
    EXPECT_EQ(client.exchange(":PULS1:WIDT 0.5"), "ok");
    EXPECT_EQ(client.exchange(":PULS1:WIDT?"), "0.500000000000");
}

TEST(PtyServer, AnswerRuleTextsThatAreRefused)
{
    for (const char* bad :
         {"", "bogus", "long", "slow=x", "nocr=5", "stop=1", "double#", "double#-1", "refuse=1", "garbage@X#y"}) {
        AnswerRule rule;
        EXPECT_NE(parseAnswerRule(bad, rule), "") << bad;
    }
}
