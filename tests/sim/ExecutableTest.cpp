// The jt6400-sim program: start-up output, the port link, signals and the end
// of standard input.
#include "sim/PtyClient.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

using simtest::PtyClient;
using namespace std::chrono_literals;

namespace {

// The simulator as a child process: its stdout is read through a pipe; its
// stdin is either a pipe we hold or /dev/null.
class SimProcess {
public:
    SimProcess(std::vector<std::string> args, bool stdinPipe)
    {
        int out[2], in[2] = {-1, -1};
        if (::pipe(out) != 0)
            return;
        if (stdinPipe && ::pipe(in) != 0)
            return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&fa, out[0]);
        if (stdinPipe) {
            posix_spawn_file_actions_adddup2(&fa, in[0], STDIN_FILENO);
            posix_spawn_file_actions_addclose(&fa, in[1]);
        } else {
            posix_spawn_file_actions_addopen(&fa, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        }
        args.insert(args.begin(), JT6400_SIM_EXE);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, JT6400_SIM_EXE, &fa, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        ::close(out[1]);
        out_ = out[0];
        if (stdinPipe) {
            ::close(in[0]);
            in_ = in[1];
        }
    }
    ~SimProcess()
    {
        if (running()) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            ::close(out_);
        closeStdin();
    }

    bool started() const { return pid_ > 0; }
    void closeStdin()
    {
        if (in_ >= 0)
            ::close(in_);
        in_ = -1;
    }
    void signal(int sig) const { ::kill(pid_, sig); }

    // First line of standard output, without the newline.
    std::string readLine()
    {
        std::string line;
        char c;
        while (true) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0)
                break;
            if (::read(out_, &c, 1) != 1 || c == '\n')
                break;
            line += c;
        }
        return line;
    }

    // Everything on standard output up to its end.
    std::string readAll()
    {
        std::string text;
        char buf[512];
        for (;;) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0)
                break;
            const ssize_t got = ::read(out_, buf, sizeof buf);
            if (got <= 0)
                break;
            text.append(buf, static_cast<std::size_t>(got));
        }
        return text;
    }

    bool running()
    {
        if (pid_ <= 0 || exited_)
            return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            status_ = status;
        }
        return !exited_;
    }

    // Waits (bounded) for the process to end and returns its exit status.
    std::optional<int> waitExit()
    {
        for (int i = 0; i < 1000 && running(); ++i)
            std::this_thread::sleep_for(10ms);
        if (!exited_ || !WIFEXITED(status_))
            return std::nullopt;
        return WEXITSTATUS(status_);
    }

private:
    pid_t pid_ = -1;
    int out_ = -1, in_ = -1;
    bool exited_ = false;
    int status_ = 0;
};

std::string tempDir()
{
    auto dir =
        std::filesystem::temp_directory_path() / ("jt6400sim-exe-" + std::to_string(::getpid()) + "-" +
                                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

bool exists(const std::string& p)
{
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

}  // namespace

TEST(SimExecutable, AnswersThroughItsLinkAndEndsWithItsInput)
{
    const std::string link = tempDir() + "/ports/COM3";
    SimProcess sim({"--link", link, "--model", "6424", "--serial", "99", "--fpga", "3.0.7.1", "--no-echo"}, true);
    ASSERT_TRUE(sim.started());
    const std::string device = sim.readLine();
    ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), device);

    {
        PtyClient client(link);
        ASSERT_TRUE(client.isOpen());
        EXPECT_EQ(client.exchange("*IDN?"), "JT,6424,99,2.1.0-3.0.7.1");
        EXPECT_EQ(client.exchange(":PULS1:DEL 0.000000000005"), "ok");
    }

    sim.closeStdin();
    EXPECT_EQ(sim.waitExit(), 0);
    EXPECT_FALSE(exists(link)) << "the link is removed on exit";
}

TEST(SimExecutable, IgnoresDevNullInputVanishesOnUsr1AndEndsOnTerm)
{
    const std::string dir = tempDir();
    const std::string link = dir + "/COM5";
    const std::string trace = dir + "/trace.txt";
    SimProcess sim({"--link", link, "--trace", trace, "--error", "2"}, false);
    ASSERT_TRUE(sim.started());
    ASSERT_FALSE(sim.readLine().empty());
    {
        PtyClient client(link);
        ASSERT_TRUE(client.isOpen());
        // Echo is on by default: the discovery commands turn it off.
        EXPECT_EQ(client.exchange(":SYST:COMM:USB:ECH OFF"), ":SYST:COMM:USB:ECH OFF");
        EXPECT_EQ(client.readUntilCR(), "\nok\r");
        EXPECT_EQ(client.exchange("*ERS?"), "2");
    }
    EXPECT_TRUE(sim.running()) << "standard input from /dev/null does not end the program";

    sim.signal(SIGUSR1);
    for (int i = 0; i < 500 && exists(link); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(exists(link));
    EXPECT_TRUE(sim.running()) << "vanishing closes the device, not the program";

    sim.signal(SIGTERM);
    EXPECT_EQ(sim.waitExit(), 0);
    EXPECT_TRUE(std::filesystem::file_size(trace) > 0);
}

TEST(SimExecutable, HelpNamesEveryOptionAndBadOptionsFail)
{
    SimProcess help({"--help"}, false);
    ASSERT_TRUE(help.started());
    const std::string text = help.readAll();
    EXPECT_EQ(help.waitExit(), 0);
    for (const char* option : {"--model", "--manufacturer", "--serial", "--firmware", "--fpga", "--no-muxgate",
                               "--no-echo", "--latency", "--pace", "--silent", "--stop-after", "--vanish-after",
                               "--error", "--trace", "--link", "--state", "--answer"})
        EXPECT_NE(text.find(option), std::string::npos) << option;

    for (std::vector<std::string> bad : {std::vector<std::string>{"--bogus"},
                                         {"--latency", "x"},
                                         {"--error", "7"},
                                         {"--model"},
                                         {"--answer", "slow@*IDN?"}}) {
        SimProcess sim(bad, false);
        EXPECT_EQ(sim.waitExit(), 2) << bad[0];
    }
}

TEST(SimExecutable, SpoilsAnswersAsToldAndAnswersAgainOnUsr2)
{
    const std::string link = tempDir() + "/COM6";
    SimProcess sim({"--link", link, "--no-echo", "--silent", "--answer", "crlf@*IDN?"}, false);
    ASSERT_TRUE(sim.started());
    ASSERT_FALSE(sim.readLine().empty());
    PtyClient client(link);
    ASSERT_TRUE(client.isOpen());
    client.write("*IDN?\r\n");
    EXPECT_EQ(client.readFor(300ms), "");

    sim.signal(SIGUSR2);
    // The signal is taken by the program's main loop; the first answer after
    // it shows that the serving thread has seen it.
    std::string answer;
    for (int i = 0; i < 50 && answer.empty(); ++i) {
        client.write("*IDN?\r\n");
        answer = client.readUntilCR(100ms);
    }
    EXPECT_EQ(answer, "JT,6404+,1234,2.1.0-3.0.7\r");
    EXPECT_EQ(client.readFor(100ms).substr(0, 1), "\n");
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.waitExit(), 0);
}
