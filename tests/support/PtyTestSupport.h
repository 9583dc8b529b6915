// Test support: pseudo-terminal pairs standing in for serial devices, and a
// port folder (JT6400_PORT_DIR) of COM<n> links to them.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <limits>
#include <stdexcept>
#include <thread>

// The master side plays the device; the slave side is the port the
// component opens. The slave stays open here too, so the component closing
// it does not hang up the master, and it is raw from the start.
class TPtyPair {
public:
    TPtyPair()
    {
        char name[256] = {};
        if (::openpty(&FMaster, &FSlave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        termios t{};
        ::tcgetattr(FSlave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(FSlave, TCSANOW, &t);
        FPath = QString::fromLocal8Bit(name);
    }
    ~TPtyPair() { CloseAll(); }
    TPtyPair(const TPtyPair&) = delete;
    TPtyPair& operator=(const TPtyPair&) = delete;

    const QString& SlavePath() const { return FPath; }
    int Master() const { return FMaster; }

    void Send(const QByteArray& data) const
    {
        if (::write(FMaster, data.constData(), static_cast<size_t>(data.size())) != data.size())
            throw std::runtime_error("pty write failed");
    }
    void SendLater(const QByteArray& data, int ms)
    {
        Join();
        FWriter = std::thread([this, data, ms] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            Send(data);
        });
    }
    // Sends Data from another thread once the port has taken everything sent
    // before it (the device's input queue is empty), so that Data arrives as
    // a chunk of its own after that, however busy the machine is.
    // What was sent before must be in the device's queue first: a
    // pseudo-terminal hands written bytes on a little later, and nothing
    // reads them while the caller is here.
    void SendWhenTaken(const QByteArray& data)
    {
        Join();
        WaitForQueue([](int queued) { return queued > 0; });
        FWriter = std::thread([this, data] {
            WaitForQueue([](int queued) { return queued == 0; });
            Send(data);
        });
    }
    template <typename TCondition>
    void WaitForQueue(TCondition condition) const
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        int queued = 0;
        while (::ioctl(FSlave, FIONREAD, &queued) == 0 && !condition(queued) && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void Join()
    {
        if (FWriter.joinable())
            FWriter.join();
    }

    // What the component wrote, gathered until Count bytes arrived or
    // TimeoutMs passed without more.
    QByteArray Receive(qsizetype count, int timeoutMs = 2000) const
    {
        QByteArray got;
        while (got.size() < count) {
            pollfd p{FMaster, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN))
                break;
            char buf[512];
            const ssize_t n = ::read(FMaster, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, n);
        }
        return got;
    }
    // Bytes written so far, without waiting.
    QByteArray Drain() const { return Receive(std::numeric_limits<qsizetype>::max(), 0); }

    // The device disappears: both sides closed.
    void CloseAll()
    {
        Join();
        if (FMaster >= 0)
            ::close(FMaster);
        if (FSlave >= 0)
            ::close(FSlave);
        FMaster = FSlave = -1;
    }

private:
    int FMaster = -1;
    int FSlave = -1;
    QString FPath;
    std::thread FWriter;
};

// A temporary port folder, named by JT6400_PORT_DIR while it lives.
class TPortFolder {
public:
    TPortFolder()
    {
        if (!FDir.isValid())
            throw std::runtime_error("no temporary folder");
        qputenv("JT6400_PORT_DIR", FDir.path().toLocal8Bit());
    }
    ~TPortFolder() { qunsetenv("JT6400_PORT_DIR"); }

    QString Path() const { return FDir.path(); }
    void Link(int port, const QString& target) const
    {
        const QString link = QDir(FDir.path()).filePath(QStringLiteral("COM%1").arg(port));
        QFile::remove(link);
        if (!QFile::link(target, link))
            throw std::runtime_error("cannot create link");
    }
    void Unlink(int port) const { QFile::remove(QDir(FDir.path()).filePath(QStringLiteral("COM%1").arg(port))); }

private:
    QTemporaryDir FDir;
};
