// A plain POSIX serial client for the simulator tests: opens a tty device in
// raw mode and exchanges bytes with it.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace simtest {

class PtyClient {
public:
    explicit PtyClient(const std::string& path)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0)
            return;
        termios t{};
        ::tcgetattr(fd_, &t);
        t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
        t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
        t.c_cflag |= CS8 | CLOCAL | CREAD;
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        ::cfsetispeed(&t, B115200);
        ::cfsetospeed(&t, B115200);
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    ~PtyClient() { close(); }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    bool write(std::string_view bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t w = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (w <= 0)
                return false;
            done += static_cast<std::size_t>(w);
        }
        return true;
    }

    // Reads up to and including the first CR; without one within `guard` the
    // bytes read so far are returned (a safety net, not a timing check).
    std::string readUntilCR(std::chrono::milliseconds guard = std::chrono::milliseconds(5000))
    {
        std::string out;
        const auto deadline = std::chrono::steady_clock::now() + guard;
        while (out.empty() || out.back() != '\r') {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            if (!(p.revents & POLLIN))
                break;
            char c;
            if (::read(fd_, &c, 1) != 1)
                break;
            out += c;
        }
        return out;
    }

    // Everything that arrives within `window` (used to show that nothing comes).
    std::string readFor(std::chrono::milliseconds window)
    {
        std::string out;
        const auto deadline = std::chrono::steady_clock::now() + window;
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0 || !(p.revents & POLLIN))
                break;
            char buf[256];
            const ssize_t got = ::read(fd_, buf, sizeof buf);
            if (got <= 0)
                break;
            out.append(buf, static_cast<std::size_t>(got));
        }
        return out;
    }

    // Sends a line with CR LF and returns the answer without its CR.
    std::string exchange(std::string_view line)
    {
        write(std::string(line) + "\r\n");
        std::string a = readUntilCR();
        if (!a.empty() && a.back() == '\r')
            a.pop_back();
        return a;
    }

private:
    int fd_ = -1;
};

}  // namespace simtest
