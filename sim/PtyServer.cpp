#include "PtyServer.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace jt6400sim {

namespace {

constexpr std::size_t kMaxLine = 65536;  // longer lines are cut (the rest is dropped)
constexpr int kWriteStallMs = 1000;      // a client that reads nothing for this long loses output
constexpr int kVanishGraceMs = 2000;     // longest wait for the last answer to be read before vanishing

std::runtime_error sysError(const std::string& what)
{
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void setCloexec(int fd)
{
    ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
}
void setNonblock(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// Raw 8N1 at 115200 baud, no flow control: CR and LF pass untouched both ways.
void makeRaw(int fd)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        throw sysError("tcgetattr");
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
#ifdef CRTSCTS
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, B115200);
    ::cfsetospeed(&t, B115200);
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        throw sysError("tcsetattr");
}

bool isOurLink(const std::string& link, const std::string& target)
{
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(link, ec)))
        return false;
    return std::filesystem::read_symlink(link, ec).string() == target && !ec;
}

}  // namespace

std::string parseAnswerRule(std::string_view text, AnswerRule& rule)
{
    AnswerRule r;
    if (const auto hash = text.rfind('#'); hash != std::string_view::npos) {
        const std::string count(text.substr(hash + 1));
        char* end = nullptr;
        r.count = std::strtol(count.c_str(), &end, 10);
        if (count.empty() || *end != '\0' || r.count < 0)
            return "count after # must be a whole number >= 0";
        text = text.substr(0, hash);
    }
    if (const auto at = text.find('@'); at != std::string_view::npos) {
        r.match = std::string(text.substr(at + 1));
        text = text.substr(0, at);
    }
    std::string_view kind = text;
    std::string param;
    if (const auto eq = text.find('='); eq != std::string_view::npos) {
        kind = text.substr(0, eq);
        param = std::string(text.substr(eq + 1));
    }
    static const std::pair<std::string_view, AnswerFault> kinds[] = {
        {"garbage", AnswerFault::Garbage}, {"nul", AnswerFault::Nul},   {"nocr", AnswerFault::NoCr},
        {"crlf", AnswerFault::CrLf},       {"long", AnswerFault::Long}, {"double", AnswerFault::Double},
        {"slow", AnswerFault::Slow},       {"stop", AnswerFault::Stop}, {"refuse", AnswerFault::Refuse}};
    bool known = false;
    for (const auto& [name, fault] : kinds) {
        if (kind == name) {
            r.fault = fault;
            known = true;
        }
    }
    if (!known)
        return "unknown answer fault '" + std::string(kind) + "'";
    const bool needsParam = r.fault == AnswerFault::Long || r.fault == AnswerFault::Slow;
    if (needsParam != !param.empty())
        return needsParam ? std::string(kind) + " needs =N" : std::string(kind) + " takes no =N";
    if (needsParam) {
        char* end = nullptr;
        r.param = std::strtol(param.c_str(), &end, 10);
        if (*end != '\0' || r.param < 0)
            return "=N must be a whole number >= 0";
    }
    rule = r;
    return {};
}

PtyServer::PtyServer(Generator generator, ServerOptions options)
    : generator_(std::move(generator)), options_(std::move(options))
{
}

PtyServer::~PtyServer()
{
    stop();
}

std::string PtyServer::traceLine(std::chrono::system_clock::time_point when, std::string_view direction,
                                 std::string_view text)
{
    const std::time_t secs = std::chrono::system_clock::to_time_t(when);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
    std::tm tm{};
    ::localtime_r(&secs, &tm);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
    std::string out = std::string(stamp) + " " + std::string(direction) + " ";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7f) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", u);
            out += esc;
        } else {
            out += c;
        }
    }
    return out;
}

void PtyServer::addTrace(std::string_view direction, std::string_view text)
{
    std::string line = traceLine(std::chrono::system_clock::now(), direction, text);
    std::lock_guard<std::mutex> lock(traceMutex_);
    if (traceFile_) {
        std::fputs(line.c_str(), traceFile_);
        std::fputc('\n', traceFile_);
        std::fflush(traceFile_);
    }
    trace_.push_back(std::move(line));
}

std::vector<std::string> PtyServer::trace() const
{
    std::lock_guard<std::mutex> lock(traceMutex_);
    return trace_;
}

void PtyServer::start()
{
    if (thread_.joinable() || master_ >= 0)
        throw std::runtime_error("server already started");
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        throw sysError("posix_openpt");
    setCloexec(master_);
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        auto e = sysError("grantpt/unlockpt");
        closeDevice();
        throw e;
    }
    const char* name = ::ptsname(master_);
    if (!name) {
        auto e = sysError("ptsname");
        closeDevice();
        throw e;
    }
    slavePath_ = name;
    slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
    if (slave_ < 0) {
        auto e = sysError("open " + slavePath_);
        closeDevice();
        throw e;
    }
    setCloexec(slave_);
    try {
        makeRaw(slave_);
    } catch (...) {
        closeDevice();
        throw;
    }
    setNonblock(master_);

    int fds[2];
    if (::pipe(fds) != 0) {
        auto e = sysError("pipe");
        closeDevice();
        throw e;
    }
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    for (int fd : fds) {
        setCloexec(fd);
        setNonblock(fd);
    }

    if (!options_.traceFile.empty()) {
        traceFile_ = std::fopen(options_.traceFile.c_str(), "w");
        if (!traceFile_) {
            auto e = sysError("open trace file " + options_.traceFile);
            closeDevice();
            throw e;
        }
    }

    if (!options_.linkPath.empty()) {
        namespace fs = std::filesystem;
        std::error_code ec;
        const fs::path link(options_.linkPath);
        if (link.has_parent_path())
            fs::create_directories(link.parent_path(), ec);
        const auto st = fs::symlink_status(link, ec);
        if (fs::is_symlink(st)) {
            fs::remove(link, ec);
        } else if (fs::exists(st)) {
            closeDevice();
            throw std::runtime_error("link path " + options_.linkPath + " exists and is not a symlink");
        }
        if (::symlink(slavePath_.c_str(), options_.linkPath.c_str()) != 0) {
            auto e = sysError("symlink " + options_.linkPath);
            closeDevice();
            throw e;
        }
        linkCreated_ = true;
    }

    thread_ = std::thread([this] { run(); });
}

void PtyServer::wake()
{
    if (wakeWrite_ >= 0) {
        const char b = 1;
        [[maybe_unused]] auto r = ::write(wakeWrite_, &b, 1);
    }
}

void PtyServer::stop()
{
    stopRequested_ = true;
    wake();
    if (thread_.joinable())
        thread_.join();
    closeDevice();
    if (wakeRead_ >= 0)
        ::close(wakeRead_);
    if (wakeWrite_ >= 0)
        ::close(wakeWrite_);
    wakeRead_ = wakeWrite_ = -1;
    std::lock_guard<std::mutex> lock(traceMutex_);
    if (traceFile_)
        std::fclose(traceFile_);
    traceFile_ = nullptr;
}

void PtyServer::vanish()
{
    vanishRequested_ = true;
    if (thread_.joinable()) {
        wake();
        if (std::this_thread::get_id() != thread_.get_id()) {
            // Wait until the serving thread has closed the device, so the caller
            // can rely on it being gone.
            thread_.join();
        }
    } else {
        closeDevice();
    }
}

void PtyServer::closeDevice()
{
    std::lock_guard<std::mutex> lock(closeMutex_);
    if (linkCreated_) {
        if (isOurLink(options_.linkPath, slavePath_))
            ::unlink(options_.linkPath.c_str());
        linkCreated_ = false;
    }
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    if (vanishRequested_ && master_ >= 0)
        vanished_ = true;
    slave_ = master_ = -1;
}

bool PtyServer::muted() const
{
    if (stopped_)
        return true;
    if (resumed_)
        return false;
    if (options_.silent)
        return true;
    return options_.stopAfter >= 0 && lines_ >= options_.stopAfter;
}

bool PtyServer::sleepUntil(Clock::time_point deadline)
{
    for (;;) {
        if (stopRequested_ || vanishRequested_)
            return false;
        const auto now = Clock::now();
        if (now >= deadline)
            return true;
        const auto remaining = deadline - now;
        if (remaining > std::chrono::milliseconds(2)) {
            // Long waits watch the wake pipe so stop() and vanish() cut them short.
            pollfd p{wakeRead_, POLLIN, 0};
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(remaining).count() - 1;
            ::poll(&p, 1, static_cast<int>(ms));
        } else {
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch()).count();
            timespec ts{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
            // steady_clock is CLOCK_MONOTONIC; an absolute deadline does not drift.
            while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
            }
        }
    }
}

bool PtyServer::waitWritable(int timeoutMs)
{
    pollfd p[2] = {{master_, POLLOUT, 0}, {wakeRead_, POLLIN, 0}};
    const int r = ::poll(p, 2, timeoutMs);
    if (r <= 0)
        return false;
    if (stopRequested_ || vanishRequested_)
        return false;
    return (p[0].revents & POLLOUT) != 0;
}

// Writes bytes to the client. With pacing each byte leaves only when the one
// before it has had its full line time; the deadlines are absolute, so sleep
// overshoot never accumulates into a faster line.
bool PtyServer::writeOut(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t chunk = bytes.size() - i;
        if (options_.pace) {
            // Back to back bytes follow the previous byte's ideal end, so a
            // late wake-up is made up by the next byte; only a line that has
            // been idle starts afresh from now.
            const auto now = Clock::now();
            const auto start = now > txFree_ + kByteTime ? now : txFree_;
            const auto end = start + kByteTime;
            if (!sleepUntil(end))
                return false;
            txFree_ = end;
            chunk = 1;
        }
        const ssize_t w = ::write(master_, bytes.data() + i, chunk);
        if (w > 0) {
            i += static_cast<std::size_t>(w);
        } else if (w < 0 && errno == EINTR) {
            continue;
        } else if (w < 0 && errno == EAGAIN) {
            // Nobody reads the port: like a real line, output is lost after a while.
            if (!waitWritable(kWriteStallMs))
                return !(stopRequested_ || vanishRequested_);
        } else {
            return true;  // the device is unusable; the read side notices
        }
    }
    return true;
}

const AnswerRule* PtyServer::ruleFor(const std::string& line)
{
    ruleUses_.resize(options_.answerRules.size());
    for (std::size_t i = 0; i < options_.answerRules.size(); ++i) {
        const AnswerRule& r = options_.answerRules[i];
        if (line.compare(0, r.match.size(), r.match) != 0)
            continue;
        if (r.count >= 0 && ruleUses_[i] >= r.count)
            continue;
        ++ruleUses_[i];
        return &r;
    }
    return nullptr;
}

bool PtyServer::handleLine(const std::string& line, Clock::time_point arrival)
{
    addTrace("RX", line);
    const bool mute = muted();
    ++lines_;
    std::string answer;
    const AnswerRule* rule = mute ? nullptr : ruleFor(line);
    if (rule && rule->fault == AnswerFault::Refuse) {
        // The generator never sees the line: nothing changes.
        answer = "ERR: refused";
        rule = nullptr;
    } else {
        std::lock_guard<std::mutex> lock(generatorMutex_);
        answer = generator_.handle(line);
    }
    if (rule && rule->fault == AnswerFault::Stop) {
        stopped_ = true;
        rule = nullptr;
    } else if (!mute) {
        int latency = options_.latencyMs;
        // What goes on the line; the trace shows it without the final CR.
        std::string wire = answer + "\r";
        if (rule) {
            switch (rule->fault) {
                case AnswerFault::Garbage:
                    wire = "\x81#\xFE%;~\x7F\r";
                    break;
                case AnswerFault::Nul:
                    wire = std::string(1, '\0') + answer + std::string(1, '\0') + "\r";
                    break;
                case AnswerFault::NoCr:
                    wire = answer;
                    break;
                case AnswerFault::CrLf:
                    wire = answer + "\r\n";
                    break;
                case AnswerFault::Long:
                    wire =
                        answer +
                        std::string(
                            static_cast<std::size_t>(std::max<long>(0, rule->param - static_cast<long>(answer.size()))),
                            ' ') +
                        "\r";
                    break;
                case AnswerFault::Double:
                    wire = answer + "\r" + answer + "\r";
                    break;
                case AnswerFault::Slow:
                    latency += static_cast<int>(rule->param);
                    break;
                case AnswerFault::Stop:
                case AnswerFault::Refuse:
                    break;
            }
        }
        if (latency > 0 && !sleepUntil(arrival + std::chrono::milliseconds(latency)))
            return false;
        if (!writeOut(wire))
            return false;
        addTrace("TX", !wire.empty() && wire.back() == '\r' ? std::string_view(wire).substr(0, wire.size() - 1)
                                                            : std::string_view(wire));
    }
    if (options_.vanishAfter >= 0 && lines_ >= options_.vanishAfter) {
        // Closing the master throws away what the client has not read yet;
        // the answer to line N was on the line before the device went, so
        // give the client a moment (at most kVanishGraceMs) to take it.
        // The pty moves written bytes to the client's queue a little later,
        // so the queue is first looked at after a short pause.
        if (!mute && sleepUntil(Clock::now() + std::chrono::milliseconds(20))) {
            const auto limit = Clock::now() + std::chrono::milliseconds(kVanishGraceMs);
            int queued = 0;
            while (::ioctl(slave_, FIONREAD, &queued) == 0 && queued > 0 && Clock::now() < limit) {
                if (!sleepUntil(Clock::now() + std::chrono::milliseconds(2)))
                    break;
            }
        }
        vanishRequested_ = true;
        return false;
    }
    return true;
}

// Echo and line splitting. With pacing, byte j of a chunk read at time t is
// taken to have arrived at max(t, end of the previous byte) + (j + 1) byte
// times, and nothing is done with it before then.
bool PtyServer::processChunk(const char* data, std::size_t n, Clock::time_point readTime)
{
    const auto rxStart = options_.pace ? std::max(readTime, rxFree_) : readTime;
    if (options_.pace)
        rxFree_ = rxStart + kByteTime * static_cast<long>(n);
    auto arrivalOf = [&](std::size_t j) {
        return options_.pace ? rxStart + kByteTime * static_cast<long>(j + 1) : readTime;
    };
    auto echoSegment = [&](std::size_t from, std::size_t to) {  // [from, to)
        if (from >= to || muted())
            return true;
        bool echo;
        {
            std::lock_guard<std::mutex> lock(generatorMutex_);
            echo = generator_.echo();
        }
        return !echo || writeOut(std::string_view(data + from, to - from));
    };

    std::size_t segment = 0;
    for (std::size_t j = 0; j < n; ++j) {
        if (data[j] != '\n')
            continue;
        const auto arrival = arrivalOf(j);
        if (!sleepUntil(arrival))
            return false;
        if (!echoSegment(segment, j + 1))
            return false;
        const std::size_t room = kMaxLine - std::min(kMaxLine, pending_.size());
        pending_.append(data + segment, std::min(room, j - segment));
        std::string line;
        line.swap(pending_);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        segment = j + 1;
        if (!handleLine(line, arrival))
            return false;
    }
    if (segment < n) {
        if (!sleepUntil(arrivalOf(n - 1)))
            return false;
        if (!echoSegment(segment, n))
            return false;
        const std::size_t room = kMaxLine - std::min(kMaxLine, pending_.size());
        pending_.append(data + segment, std::min(room, n - segment));
    }
    return true;
}

void PtyServer::run()
{
    // A generator has a processor of its own: its answers do not wait for
    // the PC's other work. Where the system allows it, the serving thread
    // runs ahead of ordinary programs, so a busy PC does not make the
    // simulated generator miss the panel's short discovery wait.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), -10);
    char buf[4096];
    while (!stopRequested_ && !vanishRequested_) {
        pollfd p[2] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        const int r = ::poll(p, 2, -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (p[1].revents) {
            char drain[64];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
            continue;  // the loop condition looks at the request flags
        }
        if (p[0].revents & POLLIN) {
            const ssize_t got = ::read(master_, buf, sizeof buf);
            if (got > 0) {
                if (!processChunk(buf, static_cast<std::size_t>(got), Clock::now()))
                    continue;
            } else if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            } else {
                pollfd w{wakeRead_, POLLIN, 0};  // no slave side at the moment: wait, don't spin
                ::poll(&w, 1, 50);
            }
        } else if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            pollfd w{wakeRead_, POLLIN, 0};
            ::poll(&w, 1, 50);
        }
    }
    if (vanishRequested_ && !stopRequested_)
        closeDevice();
}

}  // namespace jt6400sim
