#include "remote/Connection.h"

#include <QSocketNotifier>
#include <QTimer>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace remote {

namespace {

// How long a closing connection waits for its last bytes to go out and for
// the client to close its side.
constexpr int kLingerMs = 2000;

#ifdef Q_OS_WIN
using TNative = SOCKET;
constexpr int kNoSignal = 0;
constexpr int kEndSending = SD_SEND;
bool WouldBlock()
{
    return WSAGetLastError() == WSAEWOULDBLOCK;
}
void CloseSocket(TNative s)
{
    ::closesocket(s);
}
void MakeNonBlocking(TNative s)
{
    u_long on = 1;
    ::ioctlsocket(s, FIONBIO, &on);
}
#else
using TNative = int;
#ifdef MSG_NOSIGNAL
constexpr int kNoSignal = MSG_NOSIGNAL;
#else
constexpr int kNoSignal = 0;
#endif
constexpr int kEndSending = SHUT_WR;
bool WouldBlock()
{
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}
void CloseSocket(TNative s)
{
    ::close(s);
}
void MakeNonBlocking(TNative s)
{
    ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL) | O_NONBLOCK);
}
#endif

TNative Native(qintptr descriptor)
{
    return static_cast<TNative>(descriptor);
}

}  // namespace

TConnection::TConnection(qintptr descriptor, QObject* parent) : QObject(parent), FDescriptor(descriptor)
{
    const TNative s = Native(descriptor);
    MakeNonBlocking(s);
    const int on = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    // A client that vanished without closing (its machine off, its cable
    // out) is found by the system's keepalive probes: after a minute of
    // silence, every 10 s, given up after 6 unanswered probes.
    ::setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
#ifdef TCP_KEEPIDLE
    const int idle = 60;
    const int interval = 10;
    const int probes = 6;
    ::setsockopt(s, IPPROTO_TCP, TCP_KEEPIDLE, reinterpret_cast<const char*>(&idle), sizeof idle);
    ::setsockopt(s, IPPROTO_TCP, TCP_KEEPINTVL, reinterpret_cast<const char*>(&interval), sizeof interval);
    ::setsockopt(s, IPPROTO_TCP, TCP_KEEPCNT, reinterpret_cast<const char*>(&probes), sizeof probes);
#endif
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(s, reinterpret_cast<sockaddr*>(&peer), &length) == 0) {
        FPeerAddress = QHostAddress(reinterpret_cast<const sockaddr*>(&peer));
        FPeerPort = peer.ss_family == AF_INET6 ? ntohs(reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_port)
                                               : ntohs(reinterpret_cast<const sockaddr_in*>(&peer)->sin_port);
    }
    FReadNotifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    FWriteNotifier = new QSocketNotifier(descriptor, QSocketNotifier::Write, this);
    FWriteNotifier->setEnabled(false);
    connect(FReadNotifier, &QSocketNotifier::activated, this, &TConnection::Readable);
    connect(FWriteNotifier, &QSocketNotifier::activated, this, &TConnection::Flush);
}

TConnection::~TConnection()
{
    if (FDescriptor >= 0)
        CloseSocket(Native(FDescriptor));
}

void TConnection::Readable()
{
    if (FDescriptor < 0)
        return;
    if (!FClosing) {
        // Read asks again for the notice once it finds nothing more.
        FReadNotifier->setEnabled(false);
        emit ReadyRead();
        return;
    }
    // Closing: what the client still sends is dropped until it closes.
    char scrap[4096];
    while (true) {
        const auto n = ::recv(Native(FDescriptor), scrap, sizeof scrap, 0);
        if (n > 0)
            continue;
        if (n < 0 && WouldBlock())
            return;
        CloseNow();
        return;
    }
}

QByteArray TConnection::Read(qint64 max)
{
    if (FDescriptor < 0 || FInputEnded || FClosing)
        return {};
    QByteArray bytes(max, Qt::Uninitialized);
    const auto n = ::recv(Native(FDescriptor), bytes.data(), static_cast<int>(max), 0);
    if (n > 0) {
        bytes.truncate(n);
        return bytes;
    }
    if (n == 0) {
        FInputEnded = true;
        FReadNotifier->setEnabled(false);
    } else if (WouldBlock()) {
        FReadNotifier->setEnabled(true);
    } else {
        Fail();
    }
    return {};
}

void TConnection::Write(const QByteArray& bytes)
{
    if (FDescriptor < 0 || FClosing)
        return;
    FOutput += bytes;
    Flush();
}

void TConnection::Flush()
{
    while (FDescriptor >= 0 && !FOutput.isEmpty()) {
        const auto n = ::send(Native(FDescriptor), FOutput.constData(), static_cast<int>(FOutput.size()), kNoSignal);
        if (n > 0) {
            FOutput.remove(0, n);
            continue;
        }
        if (n < 0 && WouldBlock()) {
            FWriteNotifier->setEnabled(true);
            return;
        }
        Fail();
        return;
    }
    if (FDescriptor < 0)
        return;
    FWriteNotifier->setEnabled(false);
    if (FClosing)
        Linger();
}

void TConnection::CloseAfterWriting()
{
    if (FDescriptor < 0 || FClosing)
        return;
    FClosing = true;
    FReadNotifier->setEnabled(false);
    FLingerTimer = new QTimer(this);
    FLingerTimer->setSingleShot(true);
    connect(FLingerTimer, &QTimer::timeout, this, &TConnection::CloseNow);
    FLingerTimer->start(kLingerMs);
    if (FOutput.isEmpty())
        Linger();
    else
        Flush();
}

void TConnection::Linger()
{
    // The end of the server's sending goes after its last bytes; closing the
    // socket at once could instead reset the connection while the client
    // still has unread bytes of it, when the client had sent more.
    ::shutdown(Native(FDescriptor), kEndSending);
    FReadNotifier->setEnabled(true);
}

void TConnection::Abort()
{
    FOutput.clear();
    CloseNow();
}

void TConnection::Fail()
{
    FInputEnded = true;
    FOutput.clear();
    CloseNow();
}

void TConnection::CloseNow()
{
    if (FDescriptor < 0)
        return;
    FReadNotifier->setEnabled(false);
    FWriteNotifier->setEnabled(false);
    if (FLingerTimer)
        FLingerTimer->stop();
    CloseSocket(Native(FDescriptor));
    FDescriptor = -1;
    FInputEnded = true;
    emit Closed();
    deleteLater();
}

}  // namespace remote
