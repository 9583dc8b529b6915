// jt6400-sim: a software 6400-series generator on a pseudo-terminal.
#include "Generator.h"
#include "PtyServer.h"
#include "jt6400/Version.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* kUsage =
    R"(Usage: jt6400-sim [options]

Runs a software 6400-series pulse/delay generator on a pseudo-terminal. Prints
the device path (e.g. /dev/pts/7) as one line on standard output, then serves
the command language until SIGTERM or SIGINT, or until standard input reaches
end-of-file when it is a pipe, FIFO, socket or terminal.

Identity (*IDN? answers MANUFACTURER,MODEL,SERIAL,FIRMWARE-FPGA):
  --model TEXT          model code (default 6404+); 6402, 6404, 6402+, 6404+,
                        6422 and 6424 have their own channel counts and limits,
                        any other text gives 8 channels without output stages
  --manufacturer TEXT   manufacturer field (default JT)
  --serial TEXT         serial number field (default 1234)
  --firmware X.Y.Z      firmware version (default 2.1.0)
  --fpga A.B.C[.D]      FPGA version (default 3.0.7)

Behaviour:
  --no-muxgate          the mux-gate command :PULS<n>:MUXG is unknown ("?...")
  --no-echo             start with echo off (default: echo on until
                        :SYST:COMM:USB:ECH OFF or :SYST:COMM:BLUE:ECH OFF)
  --error N             initial error code answered by *ERS? (0..3, default 0)
  --state FILE          load storage bins 1..6 from FILE (if it exists) and
                        save them there after every *SAV

Faults:
  --latency MS          answer each line MS milliseconds after it arrived
  --pace                line-rate pacing: every byte takes 86.8 us each way
  --silent              never answer (and never echo)
  --stop-after N        answer the first N lines, then go silent
  --vanish-after N      close the device (and remove the link) after answering
                        line N; SIGUSR1 does the same at any time
                        (SIGUSR2: a silent or stopped generator answers
                        again from the next line on)
  --answer KIND[=N][@PREFIX][#COUNT]
                        spoil the answers to lines that start with PREFIX
                        (all lines without @), only the first COUNT of them
                        with #; KIND is garbage, nul (NUL before and after),
                        nocr (no CR), crlf (CR LF), long=N (blanks up to N
                        characters), double (sent twice), slow=N (N ms
                        later), stop (no answer from this line on, until
                        SIGUSR2) or refuse (the line is not carried out and
                        gets "ERR: refused"); may be given more than once, the first
                        matching rule applies

Output:
  --link PATH           create PATH as a symlink to the device (e.g.
                        /tmp/ports/COM3); removed again on exit or vanish
  --trace FILE          write the traffic to FILE, one line per received line
                        and per answer: "HH:MM:SS.mmm RX text" and
                        "HH:MM:SS.mmm TX text" (control characters as \xNN)
  --help                show this text
  --version             show the program's version
)";

int wakePipe[2] = {-1, -1};
volatile std::sig_atomic_t lastSignal = 0;

void onSignal(int sig)
{
    lastSignal = sig;
    const int saved = errno;
    const char b = static_cast<char>(sig);
    [[maybe_unused]] auto r = ::write(wakePipe[1], &b, 1);
    errno = saved;
}

[[noreturn]] void usageError(const std::string& message)
{
    std::cerr << "jt6400-sim: " << message << "\nTry 'jt6400-sim --help'.\n";
    std::exit(2);
}

long parseCount(const std::string& option, const char* text)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < 0)
        usageError(option + " needs a whole number >= 0");
    return v;
}

bool watchStdin()
{
    struct stat st {};
    if (::fstat(STDIN_FILENO, &st) != 0)
        return false;
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))
        return true;
    // A terminal only while this program is its foreground job: a background
    // job must neither end on, nor be stopped by, the terminal's input.
    return S_ISCHR(st.st_mode) && ::isatty(STDIN_FILENO) && ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
}

}  // namespace

int main(int argc, char** argv)
{
    jt6400sim::GeneratorOptions gen;
    jt6400sim::ServerOptions server;
    std::string stateFile;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc)
                usageError(a + " needs a value");
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (a == "--version") {
            std::cout << "jt6400-sim " JT6400_VERSION "\n";
            return 0;
        } else if (a == "--model")
            gen.identity.model = value();
        else if (a == "--manufacturer")
            gen.identity.manufacturer = value();
        else if (a == "--serial")
            gen.identity.serial = value();
        else if (a == "--firmware")
            gen.identity.firmware = value();
        else if (a == "--fpga")
            gen.identity.fpga = value();
        else if (a == "--no-muxgate")
            gen.muxGateSupported = false;
        else if (a == "--no-echo")
            gen.echo = false;
        else if (a == "--error") {
            const long e = parseCount(a, value());
            if (e > 3)
                usageError("--error takes 0, 1, 2 or 3");
            gen.errorCode = static_cast<int>(e);
        } else if (a == "--state")
            stateFile = value();
        else if (a == "--latency")
            server.latencyMs = static_cast<int>(parseCount(a, value()));
        else if (a == "--pace")
            server.pace = true;
        else if (a == "--silent")
            server.silent = true;
        else if (a == "--stop-after")
            server.stopAfter = parseCount(a, value());
        else if (a == "--vanish-after")
            server.vanishAfter = parseCount(a, value());
        else if (a == "--answer") {
            jt6400sim::AnswerRule rule;
            const std::string err = jt6400sim::parseAnswerRule(value(), rule);
            if (!err.empty())
                usageError("--answer: " + err);
            server.answerRules.push_back(rule);
        } else if (a == "--link")
            server.linkPath = value();
        else if (a == "--trace")
            server.traceFile = value();
        else
            usageError("unknown option " + a);
    }

    jt6400sim::Generator generator(gen);
    if (!stateFile.empty()) {
        const std::string err = generator.attachStateFile(stateFile);
        if (!err.empty()) {
            std::cerr << "jt6400-sim: state file: " << err << "\n";
            return 1;
        }
    }

    // Signals only write to a pipe; the main loop below does the work. They
    // are blocked while the serving thread starts, so it never receives them.
    if (::pipe(wakePipe) != 0) {
        std::perror("jt6400-sim: pipe");
        return 1;
    }
    for (int fd : wakePipe)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(wakePipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGTTIN, SIG_IGN);  // moved to the background: reads fail instead of stopping us

    sigset_t block, old;
    sigemptyset(&block);
    for (int sig : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2, SIGHUP})
        sigaddset(&block, sig);
    ::pthread_sigmask(SIG_BLOCK, &block, &old);
    jt6400sim::PtyServer pty(std::move(generator), server);
    try {
        pty.start();
    } catch (const std::exception& e) {
        std::cerr << "jt6400-sim: " << e.what() << "\n";
        return 1;
    }
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);

    std::cout << pty.devicePath() << std::endl;

    bool stdinOpen = watchStdin();
    int exitCode = 0;
    for (;;) {
        pollfd p[2] = {{wakePipe[0], POLLIN, 0}, {stdinOpen ? STDIN_FILENO : -1, POLLIN, 0}};
        const int r = ::poll(p, 2, -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            std::perror("jt6400-sim: poll");
            exitCode = 1;
            break;
        }
        if (p[0].revents & POLLIN) {
            char sig = 0;
            if (::read(wakePipe[0], &sig, 1) == 1) {
                if (sig == SIGUSR1) {
                    pty.vanish();
                    std::cerr << "jt6400-sim: device vanished on request\n";
                    continue;
                }
                if (sig == SIGUSR2) {
                    pty.resume();
                    std::cerr << "jt6400-sim: answering again\n";
                    continue;
                }
                break;  // SIGTERM, SIGINT, SIGHUP
            }
        }
        if (p[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buf[256];
            const ssize_t got = ::read(STDIN_FILENO, buf, sizeof buf);
            if (got == 0)
                break;  // end of input: the parent is gone or closed our input
            if (got < 0 && errno != EINTR && errno != EAGAIN)
                stdinOpen = false;  // e.g. EIO in the background
        }
    }
    pty.stop();
    return exitCode;
}
