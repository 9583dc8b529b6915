#include "remote/ScpiServer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace remote {

namespace {
// How many bytes are taken from a socket at a time, and how many a socket
// keeps unread before the system holds the client back.
constexpr qint64 kReadChunk = 16 * 1024;
constexpr qint64 kSocketReadBuffer = 64 * 1024;
// Lines that the server answers itself, handled in one go before other
// clients get their turn.
constexpr int kLinesPerTurn = 256;
}  // namespace

struct TScpiServer::TClient : QObject {
    QTcpSocket* Socket = nullptr;
    QString Name;
    TScpiSession Session;
    bool Busy = false;
    bool Scheduled = false;
    std::shared_ptr<std::atomic<bool>> Wanted = std::make_shared<std::atomic<bool>>(true);
    explicit TClient(bool lineMode) : Session(lineMode) {}
};

TScpiServer::TScpiServer(IRemoteLine& line, QObject* parent) : QObject(parent), FLine(line) {}

TScpiServer::~TScpiServer()
{
    for (TClient* client : FClients)
        client->Wanted->store(false);
}

bool TScpiServer::Start(const TServerOptions& options)
{
    Stop();
    FOptions = options;
    FError.clear();
    FServer = new QTcpServer(this);
    // The server takes every connection at once and decides itself, so that a
    // refused client is told why instead of waiting in the system's backlog.
    FServer->setMaxPendingConnections(64);
    connect(FServer, &QTcpServer::newConnection, this, &TScpiServer::Accept);
    if (!FServer->listen(options.Listen.Address, options.Listen.Port)) {
        FError = QStringLiteral("cannot listen on %1: %2")
                     .arg(EndpointText(options.Listen.Address, options.Listen.Port), FServer->errorString());
        delete FServer;
        FServer = nullptr;
        return false;
    }
    emit ListeningChanged(true);
    return true;
}

void TScpiServer::Stop()
{
    const bool was = FServer != nullptr;
    while (!FClients.empty())
        Close(FClients.front(), QStringLiteral("server stopped"));
    if (FServer) {
        FServer->close();
        FServer->deleteLater();
        FServer = nullptr;
    }
    if (was)
        emit ListeningChanged(false);
}

bool TScpiServer::Listening() const
{
    return FServer && FServer->isListening();
}

QString TScpiServer::Endpoint() const
{
    return Listening() ? EndpointText(FServer->serverAddress(), FServer->serverPort()) : QString();
}

quint16 TScpiServer::Port() const
{
    return Listening() ? FServer->serverPort() : 0;
}

QStringList TScpiServer::Clients() const
{
    QStringList names;
    for (const TClient* client : FClients)
        names << client->Name;
    return names;
}

namespace {

// Writes a last line and closes the connection once it has gone out; a
// client that does not take it is not waited for long.
void SayLastAndClose(QTcpSocket* socket, const QByteArray& line)
{
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->write(line + '\n');
    socket->flush();
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
    else
        QTimer::singleShot(2000, socket, [socket] { socket->abort(); });
}

}  // namespace

void TScpiServer::Refuse(QTcpSocket* socket, const QString& reason)
{
    emit ClientRefused(EndpointText(socket->peerAddress(), socket->peerPort()), reason);
    SayLastAndClose(socket, QByteArrayLiteral("Refused: ") + reason.toLatin1());
}

void TScpiServer::Accept()
{
    while (FServer && FServer->hasPendingConnections()) {
        QTcpSocket* socket = FServer->nextPendingConnection();
        socket->setParent(this);
        if (!Allowed(FOptions.Allowed, socket->peerAddress())) {
            Refuse(socket, QStringLiteral("%1 is not on the allow-list of this generator")
                               .arg(ClientAddress(socket->peerAddress()).toString()));
            continue;
        }
        if (static_cast<int>(FClients.size()) >= FOptions.MaxClients) {
            Refuse(socket, QStringLiteral("too many clients (at most %1 at once)").arg(FOptions.MaxClients));
            continue;
        }
        auto* client = new TClient(FOptions.LineMode);
        client->setParent(this);
        client->Socket = socket;
        client->Name = EndpointText(socket->peerAddress(), socket->peerPort());
        socket->setParent(client);
        socket->setReadBufferSize(kSocketReadBuffer);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        FClients.push_back(client);
        connect(socket, &QTcpSocket::readyRead, client, [this, client] { Pump(client); });
        connect(socket, &QTcpSocket::disconnected, client,
                [this, client] { Close(client, QStringLiteral("disconnected")); });
        emit ClientConnected(client->Name);
        Pump(client);
    }
}

void TScpiServer::Pump(TClient* client)
{
    int handled = 0;
    while (!client->Busy && client->Socket) {
        TLineFramer& input = client->Session.Input();
        if (input.Ready() == 0) {
            if (client->Socket->bytesAvailable() <= 0)
                return;
            input.Append(client->Socket->read(kReadChunk));
            continue;
        }
        if (++handled > kLinesPerTurn) {
            if (!client->Scheduled) {
                client->Scheduled = true;
                QTimer::singleShot(0, client, [this, client] {
                    client->Scheduled = false;
                    Pump(client);
                });
            }
            return;
        }
        const TAction action = client->Session.Handle(*input.Next());
        switch (action.Kind) {
            case TAction::TKind::None:
                break;
            case TAction::TKind::Reply:
                Reply(client, action.Text);
                break;
            case TAction::TKind::Carry: {
                client->Busy = true;
                TRemoteLine line{client->Name, action.Text, action.Query, client->Wanted};
                QPointer<QObject> token(client);
                QPointer<TScpiServer> self(this);
                FLine.Carry(line, [self, token, line, action](const TCarried& carried) {
                    if (self)
                        self->Done(token, line, action, carried);
                });
                break;
            }
        }
    }
}

void TScpiServer::Done(QPointer<QObject> token, const TRemoteLine& line, const TAction& action,
                       const TCarried& carried)
{
    auto* client = static_cast<TClient*>(token.data());
    if (carried.Dropped) {
        // The line has ended: the program is going, and so is the client.
        if (client && client->Socket)
            Close(client, QStringLiteral("the line to the generator has ended"));
        return;
    }
    if (carried.Sent)
        emit LineCarried(line.Client, QString::fromLatin1(line.Text), carried.Answer);
    if (carried.Lost) {
        GeneratorLost();
        emit LineLost();
        return;
    }
    if (!client || !client->Socket)
        return;  // the client has gone; its answer is dropped
    client->Busy = false;
    if (const auto reply = client->Session.Answered(action, carried.Answer))
        Reply(client, *reply);
    if (client->Socket)
        Pump(client);
}

void TScpiServer::Reply(TClient* client, const QByteArray& line)
{
    if (!client->Socket)
        return;
    client->Socket->write(line + '\n');
    if (client->Socket->bytesToWrite() > FOptions.MaxUnreadReplies)
        Close(client, QStringLiteral("its replies were not read"));
}

void TScpiServer::Close(TClient* client, const QString& reason, const QByteArray& lastLine)
{
    const auto it = std::find(FClients.begin(), FClients.end(), client);
    if (it == FClients.end())
        return;
    FClients.erase(it);
    client->Wanted->store(false);
    QTcpSocket* socket = client->Socket;
    client->Socket = nullptr;
    socket->disconnect(client);
    if (!lastLine.isEmpty() && socket->state() == QAbstractSocket::ConnectedState) {
        // The last line is written out before the connection closes; the
        // socket outlives its client record until then.
        socket->setParent(this);
        SayLastAndClose(socket, lastLine);
    } else {
        socket->abort();
    }
    emit ClientClosed(client->Name, reason);
    client->deleteLater();
}

void TScpiServer::GeneratorLost()
{
    const QByteArray line =
        TScpiError{ecHardwareError, QStringLiteral("Hardware error; the generator stopped answering")}.Format();
    while (!FClients.empty())
        Close(FClients.front(), QStringLiteral("the generator stopped answering"), line);
}

}  // namespace remote
