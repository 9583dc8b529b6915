// jt6400-cli serve: the generator on the network without a window. The
// generator is found as for every command; then the line owner carries the
// network clients' lines, and the program waits for clients until it is
// ended (SIGINT, SIGTERM, SIGHUP) or the generator stops answering.
#include "cli/Cli.h"

#include "comm/LineOwner.h"
#include "remote/ChannelLine.h"
#include "remote/ScpiServer.h"
#include "serial/PortList.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace jtcli {

namespace {

#ifdef Q_OS_UNIX
// A signal only writes a byte; the event loop reads it and ends.
int gSignalPipe[2] = {-1, -1};
void OnEndSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(gSignalPipe[1], &byte, 1);
}
#endif

}  // namespace

TExitCode TCli::Serve()
{
    remote::TServerOptions options;
    if (!FOptions.Arguments.isEmpty())
        options.Listen = *remote::ParseListenAddress(FOptions.Arguments[0]);
    for (const QString& network : FOptions.Allow)
        options.Allowed << *remote::ParseNetwork(network);
    options.LineMode = FOptions.LineMode;

    if (const TExitCode code = Connect(); code != TExitCode::ecDone)
        return code;

    // The answers of the line's jobs are delivered to Line, so it outlives
    // the line owner's thread.
    TLineOwner* owner = nullptr;
    remote::TChannelLine line([&owner](remote::TChannelLine::TJob job, remote::TChannelLine::TDropped dropped) {
        owner->Post(std::move(job), std::move(dropped));
    });
    TLineOwner lineOwner;
    owner = &lineOwner;
    lineOwner.Start(FComm);

    remote::TScpiServer server(line);
    QObject::connect(&server, &remote::TScpiServer::ClientConnected, [&](const QString& client) {
        Out(QStringLiteral("%1 connected").arg(client));
        line.Note(QStringLiteral("%1 connected").arg(client));
    });
    QObject::connect(&server, &remote::TScpiServer::ClientClosed, [&](const QString& client, const QString& why) {
        Out(QStringLiteral("%1 closed: %2").arg(client, why));
        line.Note(QStringLiteral("%1 closed: %2").arg(client, why));
    });
    QObject::connect(&server, &remote::TScpiServer::ClientRefused, [&](const QString& client, const QString& why) {
        Out(QStringLiteral("%1 refused: %2").arg(client, why));
        line.Note(QStringLiteral("%1 refused: %2").arg(client, why));
    });
    TExitCode result = TExitCode::ecDone;
    // Serving ends once the clients are closed and the traffic log's last
    // lines, jobs too, are written.
    const auto end = [&server, &lineOwner](int code) {
        server.Stop();
        if (lineOwner.Idle())
            QCoreApplication::exit(code);
        else
            QObject::connect(&lineOwner, &TLineOwner::BecameIdle, &lineOwner, [code] { QCoreApplication::exit(code); },
                             Qt::SingleShotConnection);
    };
    QObject::connect(&server, &remote::TScpiServer::LineLost, [&] {
        Err(QStringLiteral("the generator on %1 stopped answering.").arg(PortName()));
        result = TExitCode::ecUnavailable;
        end(1);
    });
    if (!server.Start(options)) {
        Err(server.ErrorText() + QLatin1Char('.'));
        lineOwner.Stop();
        lineOwner.Join();
        return TExitCode::ecUnavailable;
    }
    line.Note(QStringLiteral("listening on %1").arg(server.Endpoint()));

#ifdef Q_OS_UNIX
    constexpr int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction before[std::size(kEndSignals)] {};
    std::unique_ptr<QSocketNotifier> endNotifier;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) == 0) {
        endNotifier = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
        QObject::connect(endNotifier.get(), &QSocketNotifier::activated, [&end] { end(0); });
        struct sigaction action {};
        action.sa_handler = OnEndSignal;
        ::sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kEndSignals); ++i)
            ::sigaction(kEndSignals[i], &action, &before[i]);
    }
#endif
    Out(QStringLiteral("serving the %1 on %2 at %3")
            .arg(FState.DeviceIdentity.Model, PortName(), server.Endpoint()));
    QCoreApplication::exec();
    lineOwner.Stop();
    lineOwner.Join();
#ifdef Q_OS_UNIX
    if (endNotifier)
        for (std::size_t i = 0; i < std::size(kEndSignals); ++i)
            ::sigaction(kEndSignals[i], &before[i], nullptr);
    endNotifier.reset();
    ::close(gSignalPipe[0]);
    ::close(gSignalPipe[1]);
#endif
    return result;
}

}  // namespace jtcli
