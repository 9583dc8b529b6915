#include "remote/ScpiServer.h"

#include "remote/Connection.h"

#include <QTcpServer>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace remote {

namespace {
// How many bytes are taken from a socket at a time.
constexpr qint64 kReadChunk = 16 * 1024;
// Lines that the server answers itself, handled in one go before other
// clients get their turn.
constexpr int kLinesPerTurn = 256;

// Hands over each accepted socket as it is, without a QTcpSocket around it.
class TListener : public QTcpServer {
public:
    std::function<void(qintptr)> Incoming;

protected:
    void incomingConnection(qintptr descriptor) override { Incoming(descriptor); }
};

}  // namespace

struct TScpiServer::TClient : QObject {
    TConnection* Socket = nullptr;
    QString Name;
    TScpiSession Session;
    bool Busy = false;
    bool Scheduled = false;
    QTimer* Idle = nullptr;
    std::shared_ptr<std::atomic<bool>> Wanted = std::make_shared<std::atomic<bool>>(true);
    explicit TClient(bool lineMode) : Session(lineMode) {}
};

TScpiServer::TScpiServer(IRemoteLine& line, QObject* parent) : QObject(parent), FLine(line) {}

TScpiServer::~TScpiServer()
{
    for (TClient* client : FClients) {
        client->Wanted->store(false);
        client->Session.SetLock(nullptr);
    }
}

bool TScpiServer::Start(const TServerOptions& options)
{
    Stop();
    FOptions = options;
    FError.clear();
    auto* listener = new TListener;
    FServer = listener;
    FServer->setParent(this);
    // The server takes every connection at once and decides itself, so that a
    // refused client is told why instead of waiting in the system's backlog.
    listener->Incoming = [this](qintptr descriptor) { Accept(descriptor); };
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

void TScpiServer::PauseAccepting()
{
    if (FServer)
        FServer->pauseAccepting();
}

void TScpiServer::ResumeAccepting()
{
    if (FServer)
        FServer->resumeAccepting();
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

QString TScpiServer::LockHolder() const
{
    return FLockHolder;
}

void TScpiServer::NoteLock()
{
    QString holder;
    for (const TClient* client : FClients) {
        if (client->Session.HoldsLock())
            holder = client->Name;
    }
    if (holder == FLockHolder)
        return;
    FLockHolder = holder;
    emit LockHolderChanged(holder);
}

QStringList TScpiServer::Clients() const
{
    QStringList names;
    for (const TClient* client : FClients)
        names << client->Name;
    return names;
}

void TScpiServer::Refuse(TConnection* socket, const QString& reason)
{
    emit ClientRefused(EndpointText(socket->PeerAddress(), socket->PeerPort()), reason);
    socket->Write(QByteArrayLiteral("Refused: ") + reason.toLatin1() + '\n');
    socket->CloseAfterWriting();
}

void TScpiServer::Accept(qintptr descriptor)
{
    // The connection closes and deletes itself; until then the server owns it.
    auto* socket = new TConnection(descriptor, this);
    if (!Allowed(FOptions.Allowed, socket->PeerAddress())) {
        Refuse(socket, QStringLiteral("%1 is not on the allow-list of this generator")
                           .arg(ClientAddress(socket->PeerAddress()).toString()));
        return;
    }
    if (static_cast<int>(FClients.size()) >= FOptions.MaxClients) {
        Refuse(socket, QStringLiteral("too many clients (at most %1 at once)").arg(FOptions.MaxClients));
        return;
    }
    auto* client = new TClient(FOptions.LineMode);
    client->setParent(this);
    client->Session.SetLock(&FLock);
    client->Socket = socket;
    client->Name = EndpointText(socket->PeerAddress(), socket->PeerPort());
    FClients.push_back(client);
    if (FOptions.IdleSeconds > 0) {
        client->Idle = new QTimer(client);
        client->Idle->setSingleShot(true);
        client->Idle->setInterval(std::chrono::seconds(FOptions.IdleSeconds));
        connect(client->Idle, &QTimer::timeout, client, [this, client] {
            // A line still on its way to the generator is no silence.
            if (client->Busy) {
                client->Idle->start();
                return;
            }
            const QString why = QStringLiteral("idle for more than %1 s").arg(FOptions.IdleSeconds);
            Close(client, why, QByteArrayLiteral("Closed: ") + why.toLatin1());
        });
        client->Idle->start();
    }
    connect(socket, &TConnection::ReadyRead, client, [this, client] { Pump(client); });
    connect(socket, &TConnection::Closed, client, [this, client] { Close(client, QStringLiteral("disconnected")); });
    emit ClientConnected(client->Name);
    Pump(client);
}

void TScpiServer::Pump(TClient* client)
{
    int handled = 0;
    while (!client->Busy && client->Socket) {
        TLineFramer& input = client->Session.Input();
        if (input.Ready() == 0) {
            const QByteArray bytes = client->Socket->Read(kReadChunk);
            if (!bytes.isEmpty()) {
                if (client->Idle)
                    client->Idle->start();
                input.Append(bytes);
                continue;
            }
            // Once the client has ended its sending and every complete line
            // it sent is carried out and answered, the connection ends; an
            // unfinished last line is dropped.
            if (client->Socket && client->Socket->InputEnded())
                Close(client, QStringLiteral("disconnected"));
            return;
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
        Perform(client, client->Session.Handle(*input.Next()));
    }
}

void TScpiServer::Perform(TClient* client, const TAction& action)
{
    NoteLock();
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
    Perform(client, client->Session.Answered(action, carried.Answer));
    if (client->Socket && !client->Busy)
        Pump(client);
}

void TScpiServer::Reply(TClient* client, const QByteArray& line)
{
    if (!client->Socket)
        return;
    client->Socket->Write(line + '\n');
    if (client->Socket && client->Socket->BytesToWrite() > FOptions.MaxUnreadReplies)
        Close(client, QStringLiteral("its replies were not read"), {}, false);
}

void TScpiServer::Close(TClient* client, const QString& reason, const QByteArray& lastLine, bool graceful)
{
    const auto it = std::find(FClients.begin(), FClients.end(), client);
    if (it == FClients.end())
        return;
    FClients.erase(it);
    client->Wanted->store(false);
    // A lock ends with its connection.
    if (client->Session.HoldsLock())
        FLock.Holder = nullptr;
    client->Session.SetLock(nullptr);
    TConnection* socket = client->Socket;
    client->Socket = nullptr;
    socket->disconnect(client);
    // What was written goes out before the connection closes, the last
    // line too; a client that does not read is not waited for.
    if (!lastLine.isEmpty())
        socket->Write(lastLine + '\n');
    if (graceful)
        socket->CloseAfterWriting();
    else
        socket->Abort();
    emit ClientClosed(client->Name, reason);
    NoteLock();
    client->deleteLater();
}

void TScpiServer::Disconnect(const QString& name)
{
    for (TClient* client : FClients) {
        if (client->Name == name) {
            Close(client, QStringLiteral("disconnected from the panel"),
                  QByteArrayLiteral("Closed: disconnected from the panel"));
            return;
        }
    }
}

void TScpiServer::GeneratorLost()
{
    const QByteArray line =
        TScpiError{ecHardwareError, QStringLiteral("Hardware error; the generator stopped answering")}.Format();
    while (!FClients.empty())
        Close(FClients.front(), QStringLiteral("the generator stopped answering"), line);
}

}  // namespace remote
