// Runs the built program as a user would.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

struct Result {
    int exitCode = -1;
    std::string output;
};

Result run(const std::string& args)
{
    Result r;
    const std::string cmd = std::string(JT6400_EXE) + " " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return r;
    std::array<char, 256> buf{};
    while (fgets(buf.data(), buf.size(), p))
        r.output += buf.data();
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace

TEST(Program, HelpAndVersionAnswerWithoutStartingTheWindow)
{
    // The informational switches answer before the toolkit looks for a screen.
    const Result help = run("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("Usage: jt6400"), std::string::npos) << help.output;

    const Result version = run("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, "jt6400 1.2.7.0\n");
}
