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
