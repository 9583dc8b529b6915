#include <gtest/gtest.h>

#include "app/CommandLine.h"

using jt::ParseCommandLine;

TEST(CommandLine, LogSwitchTakesEitherPrefixInAnyCase)
{
    struct Case {
        const char* arg;
        bool logging;
    };
    const Case cases[] = {
        {"-log", true}, {"/log", true},   {"-LOG", true},   {"/Log", true},
        {"log", false}, {"--log", false}, {"-logs", false}, {"-lo", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseCommandLine({c.arg}).Logging, c.logging) << c.arg;
}

TEST(CommandLine, StartUpSwitchesAndUnknownArguments)
{
    const auto o = ParseCommandLine({"--demo", "--pick-port", "-platform", "offscreen"});
    EXPECT_TRUE(o.Demo);
    EXPECT_TRUE(o.PickPort);
    EXPECT_FALSE(o.Logging);
    EXPECT_EQ(o.Unknown, (std::vector<std::string>{"-platform", "offscreen"}));
}

TEST(CommandLine, UsageListsEverySwitch)
{
    const std::string usage = jt::UsageText("jt6400");
    for (const char* s : {"-log", "/log", "--demo", "--pick-port", "--help", "--version", "JT6400_PORT_DIR"})
        EXPECT_NE(usage.find(s), std::string::npos) << s;
}

TEST(CommandLine, RemoteServerSwitches)
{
    struct Case {
        std::vector<std::string> args;
        std::string remote;
        std::vector<std::string> allow;
        bool lineMode;
        bool error;
    };
    const Case cases[] = {
        {{"--remote", "5025"}, "5025", {}, false, false},
        {{"--remote=0.0.0.0:6000", "--remote-line-mode"}, "0.0.0.0:6000", {}, true, false},
        {{"--remote", "[::1]:5025", "--remote-allow", "192.168.1.0/24", "--remote-allow=10.0.0.7"},
         "[::1]:5025",
         {"192.168.1.0/24", "10.0.0.7"},
         false,
         false},
        {{"--remote"}, "", {}, false, true},
        {{"--remote", "lab:5025"}, "lab:5025", {}, false, true},
        {{"--remote", "70000"}, "70000", {}, false, true},
        {{"--remote-allow", "192.168.1.0/40"}, "", {}, false, true},
        {{"--remote-allow"}, "", {}, false, true},
    };
    for (const Case& c : cases) {
        const auto o = ParseCommandLine(c.args);
        EXPECT_EQ(o.Remote, c.remote) << c.args[0];
        EXPECT_EQ(o.RemoteAllow, c.allow) << c.args[0];
        EXPECT_EQ(o.RemoteLineMode, c.lineMode) << c.args[0];
        EXPECT_EQ(!o.Error.empty(), c.error) << c.args[0];
        EXPECT_TRUE(o.Unknown.empty()) << c.args[0];
    }
    const std::string usage = jt::UsageText("jt6400");
    for (const char* s : {"--remote", "--remote-allow", "--remote-line-mode", "127.0.0.1"})
        EXPECT_NE(usage.find(s), std::string::npos) << s;
}

// A restarted panel gets this one's logging and network switches, and
// nothing that would skip its search for the generator.
TEST(CommandLine, RestartArgumentsCarryTheLogAndNetworkSwitches)
{
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> restart;
    };
    const Case cases[] = {
        {{}, {}},
        {{"/LOG", "--demo", "--pick-port"}, {"-log"}},
        {{"--remote=0.0.0.0:6000", "--remote-allow", "192.168.1.0/24", "--remote-allow=10.0.0.7", "-log",
          "--remote-line-mode"},
         {"-log", "--remote", "0.0.0.0:6000", "--remote-allow", "192.168.1.0/24", "--remote-allow", "10.0.0.7",
          "--remote-line-mode"}},
    };
    for (const Case& c : cases) {
        const auto o = ParseCommandLine(c.args);
        const std::vector<std::string> restart = jt::RestartArguments(o);
        EXPECT_EQ(restart, c.restart);
        // Read back, they ask for the same.
        const auto again = ParseCommandLine(restart);
        EXPECT_EQ(again.Logging, o.Logging);
        EXPECT_EQ(again.Remote, o.Remote);
        EXPECT_EQ(again.RemoteAllow, o.RemoteAllow);
        EXPECT_EQ(again.RemoteLineMode, o.RemoteLineMode);
    }
}
