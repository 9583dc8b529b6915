#include "app/RemoteAccess.h"

#include "window/MainForm.h"
#include "window/RemoteAccessForm.h"


#include <cstdio>

TRemoteAccess::TRemoteAccess(const jt::TCommandLineOptions& options, TMainForm* mainWindow,
                             remote::TChannelLine::TPost post)
    : FOptions(options), FLine(std::move(post)), FServer(FLine), FForm(new TRemoteAccessForm(mainWindow))
{
    QObject::connect(mainWindow, &TMainForm::RemoteAccessRequested, FForm, [form = FForm] {
        form->show();
        form->raise();
        form->activateWindow();
    });
    connect(FForm, &TRemoteAccessForm::TurnOn, this, [this](const QString& address, int port) {
        remote::TListenAddress listen;
        if (!listen.Address.setAddress(address)) {
            FForm->ShowOff(QStringLiteral("\"%1\" is no IP address").arg(address));
            return;
        }
        listen.Port = static_cast<quint16>(port);
        Start(listen);
    });
    connect(FForm, &TRemoteAccessForm::TurnOff, this, [this] {
        FServer.Stop();
        FLine.Note(QStringLiteral("stopped listening"));
        FForm->ShowOff();
    });
    connect(&FServer, &remote::TScpiServer::ClientConnected, this, [this](const QString& client) {
        FLine.Note(QStringLiteral("%1 connected").arg(client));
        ShowClients();
    });
    connect(&FServer, &remote::TScpiServer::ClientClosed, this, [this](const QString& client, const QString& why) {
        FLine.Note(QStringLiteral("%1 closed: %2").arg(client, why));
        ShowClients();
    });
    connect(&FServer, &remote::TScpiServer::ClientRefused, this, [this](const QString& client, const QString& why) {
        FLine.Note(QStringLiteral("%1 refused: %2").arg(client, why));
    });
    connect(&FServer, &remote::TScpiServer::LineCarried, this,
            [this](const QString& client, const QString& line, const QString& answer) {
                FForm->AddCommand(client, line, answer);
                emit LineCarried(client, line, answer);
            });
}

TRemoteAccess::~TRemoteAccess() = default;

bool TRemoteAccess::Start(const remote::TListenAddress& listen)
{
    remote::TServerOptions options;
    options.Listen = listen;
    options.LineMode = FOptions.RemoteLineMode;
    for (const std::string& network : FOptions.RemoteAllow)
        options.Allowed << *remote::ParseNetwork(QString::fromStdString(network));
    if (!FServer.Start(options)) {
        FForm->ShowOff(FServer.ErrorText());
        return false;
    }
    FLine.Note(QStringLiteral("listening on %1").arg(FServer.Endpoint()));
    FForm->SetAddress(remote::ClientAddress(listen.Address).toString(), FServer.Port());
    FForm->ShowListening(FServer.Endpoint());
    return true;
}

bool TRemoteAccess::StartFromCommandLine()
{
    if (FOptions.Remote.empty())
        return true;
    const auto listen = remote::ParseListenAddress(QString::fromStdString(FOptions.Remote));
    if (!listen || !Start(*listen)) {
        std::fprintf(stderr, "jt6400: %s\n", qPrintable(FServer.ErrorText()));
        return false;
    }
    std::fprintf(stdout, "jt6400: serving the generator at %s\n", qPrintable(FServer.Endpoint()));
    std::fflush(stdout);
    return true;
}

void TRemoteAccess::ShowClients()
{
    FForm->SetClients(FServer.Clients());
}
