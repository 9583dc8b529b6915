// The SCPI socket server: SCPI text over plain TCP, a line of commands
// separated by ";", one reply line for a line with queries (every line in
// line mode). Each client's commands are carried to the generator in its
// order, at most one command of a client at a time, so that commands of
// different clients take turns on the line. At most eight clients at once; an
// allow-list of client networks; a client that does not read its replies is
// closed once they pile up; a client that ends its sending still gets the
// replies to every complete line it sent before.
#pragma once

#include "remote/Address.h"
#include "remote/RemoteLine.h"
#include "remote/ScpiSession.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <vector>

class QTcpServer;

namespace remote {

class TConnection;

struct TServerOptions {
    TListenAddress Listen;
    QList<TNetwork> Allowed;  // empty: every client
    bool LineMode = false;
    int MaxClients = 8;
    // Replies that a client has not read, beyond what the system buffers.
    qint64 MaxUnreadReplies = 64 * 1024;
    // A client that sends nothing for this long is closed; 0: never.
    int IdleSeconds = 600;
};

class TScpiServer : public QObject {
    Q_OBJECT
public:
    explicit TScpiServer(IRemoteLine& line, QObject* parent = nullptr);
    ~TScpiServer() override;

    // Listens; false with ErrorText() when the address cannot be had.
    bool Start(const TServerOptions& options);
    // Stops listening and closes every client.
    void Stop();
    // While paused the server listens but takes no client: they wait in the
    // system's queue of connections until it goes on.
    void PauseAccepting();
    void ResumeAccepting();
    bool Listening() const;
    const QString& ErrorText() const { return FError; }
    const TServerOptions& Options() const { return FOptions; }
    // Where it listens, "127.0.0.1:5025"; empty while it does not.
    QString Endpoint() const;
    quint16 Port() const;
    QStringList Clients() const;
    // The client that holds the lock (SYST:LOCK:REQ?); empty when none does.
    QString LockHolder() const;

    // Closes the connection of Client (as Clients names it) with a last line.
    void Disconnect(const QString& client);

    // The generator stopped answering: every client gets an error line and
    // is closed. The server goes on listening.
    void GeneratorLost();

signals:
    void ListeningChanged(bool listening);
    void ClientConnected(const QString& client);
    void ClientRefused(const QString& client, const QString& reason);
    void ClientClosed(const QString& client, const QString& reason);
    // The generator stopped answering a client's line (every client has
    // been closed).
    void LineLost();
    // A line of Client was carried out on the line.
    void LineCarried(const QString& client, const QString& line, const QString& answer);
    // Another client (empty: none) holds the lock now.
    void LockHolderChanged(const QString& client);

private:
    struct TClient;
    void Accept(qintptr descriptor);
    void Refuse(TConnection* socket, const QString& reason);
    void Pump(TClient* client);
    void Perform(TClient* client, const TAction& action);
    void Reply(TClient* client, const QByteArray& line);
    void Close(TClient* client, const QString& reason, const QByteArray& lastLine = {}, bool graceful = true);
    void Done(QPointer<QObject> token, const TRemoteLine& line, const TAction& action, const TCarried& carried);
    void NoteLock();

    IRemoteLine& FLine;
    QTcpServer* FServer = nullptr;
    TServerOptions FOptions;
    QString FError;
    std::vector<TClient*> FClients;
    TLock FLock;
    QString FLockHolder;
};

}  // namespace remote
