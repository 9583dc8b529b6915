// One client's TCP connection, on the socket the system accepted. It keeps
// sending after the client has ended its own sending (a half-close, as
// `nc -N` or shutdown(SHUT_WR) do): the lines received before are still
// carried out and answered, and only then the connection is closed. Bytes
// are taken from the system only when asked for, so a client whose lines
// wait is held back by the system's own buffers.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

class QSocketNotifier;
class QTimer;

namespace remote {

class TConnection : public QObject {
    Q_OBJECT
public:
    // Takes over Descriptor (a connected TCP socket).
    explicit TConnection(qintptr descriptor, QObject* parent = nullptr);
    ~TConnection() override;

    const QHostAddress& PeerAddress() const { return FPeerAddress; }
    quint16 PeerPort() const { return FPeerPort; }

    // At most Max bytes received; empty when none are there yet (ReadyRead
    // then tells when some are) or when the client's sending has ended.
    QByteArray Read(qint64 max);
    // The client has ended its sending and every byte of it has been read.
    bool InputEnded() const { return FInputEnded; }
    // False once the connection has failed or is closing.
    bool Usable() const { return FDescriptor >= 0 && !FClosing; }

    // Sends, keeping what the system does not take yet.
    void Write(const QByteArray& bytes);
    qint64 BytesToWrite() const { return FOutput.size(); }

    // Ends the connection once everything written has gone out: the end of
    // the server's sending first, so that the client reads all of it, then
    // the socket closes when the client closes its side (or after a while).
    void CloseAfterWriting();
    // Closes at once; what was not sent yet is dropped.
    void Abort();

signals:
    void ReadyRead();
    // The client ended its sending, or the connection failed.
    void InputFinished();
    // The socket is closed.
    void Closed();

private:
    void Readable();
    void Flush();
    void Fail();
    void Linger();
    void CloseNow();

    qintptr FDescriptor = -1;
    QHostAddress FPeerAddress;
    quint16 FPeerPort = 0;
    QSocketNotifier* FReadNotifier = nullptr;
    QSocketNotifier* FWriteNotifier = nullptr;
    QTimer* FLingerTimer = nullptr;
    QByteArray FOutput;
    bool FInputEnded = false;
    bool FClosing = false;
};

}  // namespace remote
