// Serves a Generator on a pseudo-terminal: the slave side is the "serial
// port" a client opens; a thread of its own reads lines from the master side
// and writes the answers, with optional faults (latency, line-rate pacing,
// silence, stopping, vanishing) and a traffic trace.
#pragma once

#include "Generator.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string_view>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace jt6400sim {

// Ways to spoil the answer to a received line, for fault tests.
enum class AnswerFault {
    Garbage,  // the answer is replaced by bytes that are no text of the language
    Nul,      // NUL bytes before and after the answer
    NoCr,     // the answer goes out without its CR
    CrLf,     // the answer ends with CR LF instead of CR
    Long,     // the answer is padded with blanks to `param` characters before its CR
    Double,   // the answer goes out twice, each with its CR
    Slow,     // the answer leaves `param` ms later than it would otherwise
    Stop,     // no answer, and none to any later line until resume()
    Refuse,   // the line is not carried out; the answer is "ERR: refused"
};

struct AnswerRule {
    AnswerFault fault = AnswerFault::Garbage;
    std::string match;  // received lines that start with this text; empty: every line
    long param = 0;     // Long: line length in characters; Slow: extra delay in ms
    long count = -1;    // >= 0: only the first `count` matching lines; -1: all of them
};

// Parses "KIND[=N][@PREFIX][#COUNT]" (KIND: garbage, nul, nocr, crlf, long,
// double, slow, stop, refuse), e.g. "slow=1800@:PULS0:PER?#1". Returns an empty text on
// success, otherwise the reason.
std::string parseAnswerRule(std::string_view text, AnswerRule& rule);

struct ServerOptions {
    std::string linkPath;                 // if set: a symlink to the slave device, removed on stop/vanish
    int latencyMs = 0;                    // delay between the end of a received line and its answer
    bool pace = false;                    // every byte takes kByteTime on the line, both ways
    bool silent = false;                  // never writes anything (no echo, no answers)
    long stopAfter = -1;                  // >= 0: answers the first N lines, then writes nothing more
    long vanishAfter = -1;                // >= 0: vanishes right after answering line N
    std::string traceFile;                // if set: traffic trace, one line per received line / answer
    std::vector<AnswerRule> answerRules;  // the first rule that matches a line spoils its answer
};

class PtyServer {
public:
    // One byte of 8N1 at 115200 baud: start bit, 8 data bits, stop bit.
    static constexpr std::chrono::nanoseconds kByteTime{1'000'000'000LL * 10 / 115200};

    explicit PtyServer(Generator generator, ServerOptions options = {});
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the pseudo-terminal, creates the link and starts serving. Throws
    // std::runtime_error with the reason when something cannot be set up.
    void start();
    // Stops serving, closes the pseudo-terminal and removes the link. Safe to
    // call more than once and after vanishing.
    void stop();

    // The slave device, e.g. /dev/pts/7 (empty before start).
    const std::string& devicePath() const { return slavePath_; }

    // Runs f(Generator&) under the lock the serving thread also takes.
    template <class F>
    decltype(auto) withGenerator(F&& f)
    {
        std::lock_guard<std::mutex> lock(generatorMutex_);
        return std::forward<F>(f)(generator_);
    }

    // Makes the device disappear: the pseudo-terminal is closed (clients get
    // an error or hang-up) and the link removed. Thread-safe.
    void vanish();
    bool vanished() const { return vanished_; }

    // A silent server (silent or stopped after N lines) answers again from
    // the next line on, as a generator that comes back to life. Thread-safe.
    void resume()
    {
        stopped_ = false;
        resumed_ = true;
    }

    // The traffic so far, as the lines of the trace file
    // ("HH:MM:SS.mmm RX text" / "HH:MM:SS.mmm TX text").
    std::vector<std::string> trace() const;
    long linesReceived() const { return lines_; }

    // Formats one trace line; control characters other than tab become \xNN.
    static std::string traceLine(std::chrono::system_clock::time_point when, std::string_view direction,
                                 std::string_view text);

private:
    using Clock = std::chrono::steady_clock;

    void run();
    bool processChunk(const char* data, std::size_t n, Clock::time_point readTime);
    bool handleLine(const std::string& line, Clock::time_point arrival);
    bool writeOut(std::string_view bytes);
    bool sleepUntil(Clock::time_point deadline);
    bool waitWritable(int timeoutMs);
    bool muted() const;
    void addTrace(std::string_view direction, std::string_view text);
    const AnswerRule* ruleFor(const std::string& line);
    void closeDevice();
    void wake();

    Generator generator_;
    std::mutex generatorMutex_;
    ServerOptions options_;

    int master_ = -1;
    int slave_ = -1;  // kept open so a client closing the port does not hang up the master
    int wakeRead_ = -1, wakeWrite_ = -1;
    std::string slavePath_;
    bool linkCreated_ = false;
    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> vanishRequested_{false};
    std::atomic<bool> vanished_{false};
    std::atomic<bool> resumed_{false};
    std::atomic<bool> stopped_{false};  // a stop rule matched
    std::atomic<long> lines_{0};
    std::vector<long> ruleUses_;  // matches so far, per answer rule
    std::mutex closeMutex_;

    std::string pending_;  // bytes of the line being received
    Clock::time_point rxFree_{}, txFree_{};

    mutable std::mutex traceMutex_;
    std::vector<std::string> trace_;
    std::FILE* traceFile_ = nullptr;
};

}  // namespace jt6400sim
