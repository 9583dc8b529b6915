// The network server in the panel: off unless the command line (--remote)
// or the Remote Access window turns it on. Its lines are jobs for the line
// owner, like the window's edits; connections and refusals go to the traffic
// log, and the window shows where it listens, the clients and their last
// commands. Nothing of it is remembered for the next start: a panel that
// opened a network port by itself would surprise its user.
#pragma once

#include "app/CommandLine.h"
#include "remote/ChannelLine.h"
#include "remote/ScpiServer.h"

#include <QObject>

#include <functional>

class TMainForm;
class TRemoteAccessForm;

class TRemoteAccess : public QObject {
    Q_OBJECT
public:
    // Post queues a job for the line owner. The object outlives the line
    // owner's thread (its answers are delivered here). Tools > Remote Access
    // of the main window shows its window.
    TRemoteAccess(const jt::TCommandLineOptions& options, TMainForm* mainWindow, remote::TChannelLine::TPost post);
    ~TRemoteAccess() override;

    // Starts the server when the command line asked for it; false (with the
    // reason on standard error and in the window) when it cannot listen.
    bool StartFromCommandLine();

    remote::TScpiServer& Server() { return FServer; }
    TRemoteAccessForm& Form() { return *FForm; }

signals:
    // A network client's line was carried out on the generator.
    void LineCarried(const QString& client, const QString& line, const QString& answer);

private:
    bool Start(const remote::TListenAddress& listen);
    void ShowClients();

    jt::TCommandLineOptions FOptions;
    remote::TChannelLine FLine;
    remote::TScpiServer FServer;
    TRemoteAccessForm* FForm;  // a window of the main window's
};
