// A query's round trip through the network server against the same query
// made directly on the serial line, in one run against one simulated 6404+
// paced at line rate (jt6400-sim, a process of its own): the direct exchange
// through the command channel, and a socket client's query through the
// server, the line owner and the same command channel. Passes alternate so
// that both see the same machine. Target: server / direct <= 1.10.
#include "BenchClock.h"
#include "SimProcess.h"
#include "comm/Communication.h"
#include "comm/LineOwner.h"
#include "remote/ChannelLine.h"
#include "remote/ScpiServer.h"
#include "serial/JTComPort.h"
#include "support/ScriptedDialogs.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kQuery = ":PULS0:PER";
const char* const kAnswer = "0.001000000000";

struct TStats {
    std::vector<double> Wall;
    bool Ok = true;
    double Mean() const
    {
        double sum = 0;
        for (double w : Wall)
            sum += w;
        return Wall.empty() ? 0 : sum / static_cast<double>(Wall.size());
    }
    double Quantile(double q) const
    {
        std::vector<double> sorted = Wall;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, static_cast<size_t>(q * sorted.size()))];
    }
};

// A blocking socket client: Count queries, each timed from its write to its
// whole reply line.
void ClientQueries(quint16 port, int count, TStats& stats)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        stats.Ok = false;
        ::close(fd);
        return;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const std::string line = std::string(kQuery) + "?\n";
    for (int i = 0; i < count && stats.Ok; ++i) {
        const double t0 = WallMs();
        if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
            stats.Ok = false;
            break;
        }
        std::string reply;
        char c = 0;
        while (::read(fd, &c, 1) == 1 && c != '\n')
            reply += c;
        stats.Wall.push_back(WallMs() - t0);
        if (reply != kAnswer)
            stats.Ok = false;
    }
    ::close(fd);
}

}  // namespace

const char kUsage[] =
    "Usage: bench_remote [--count N]\n"
    "\n"
    "Times a query's round trip through the network server against the same\n"
    "query made directly on the serial line, in alternating passes against one\n"
    "simulated 6404+ (jt6400-sim beside this program), and prints both.\n"
    "Target: server / direct <= 1.10.\n"
    "\n"
    "  --count N   queries of each kind in all (default 1000, at least 10)\n"
    "  --help      this text\n";

int main(int argc, char** argv)
{
    int count = 1000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--count") == 0 && i + 1 < argc) {
            count = std::max(10, std::atoi(argv[++i]));
            continue;
        }
        std::fprintf(stderr, "bench_remote: unknown option %s\n\n%s", argv[i], kUsage);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const int passes = 5;
    const int perPass = count / passes;

    QTemporaryDir ports;
    qputenv("JT6400_PORT_DIR", ports.path().toLocal8Bit());
    TSimProcess sim(ports.path());

    TScriptedDialogs dialogs;
    TJTComPort port(nullptr, &dialogs);
    port.SetPort(3);
    port.SetBaud(115200);
    port.SetEndOfResponse(QByteArray(1, '\r'));
    port.SetShowErrors(false);
    port.SetResponseTime(kAnswerTimeMs);
    TCommunication comm(port, dialogs);
    if (!port.Open()) {
        std::fprintf(stderr, "bench_remote: the simulator's port does not open\n");
        return 1;
    }
    comm.SendCommand(QStringLiteral(":SYST:COMM:USB:ECH OFF"));
    comm.ReadResponse();  // the echo's own line, if the generator sent one

    TStats direct;
    TStats served;
    remote::TChannelLine* linePtr = nullptr;
    TLineOwner* ownerPtr = nullptr;
    for (int pass = 0; pass < passes; ++pass) {
        // Direct: the command channel on the serial line, on this thread.
        for (int i = 0; i < perPass; ++i) {
            const double t0 = WallMs();
            const QString answer = comm.QueryDevice(QString::fromLatin1(kQuery));
            direct.Wall.push_back(WallMs() - t0);
            if (answer != QLatin1String(kAnswer))
                direct.Ok = false;
        }
        // Through the server: a client on a thread of its own, the server on
        // this thread's event loop, the exchanges on the line owner's thread.
        {
            remote::TChannelLine line(
                [&ownerPtr](remote::TChannelLine::TJob job, remote::TChannelLine::TDropped dropped) {
                    ownerPtr->Post(std::move(job), std::move(dropped));
                });
            linePtr = &line;
            TLineOwner owner;
            ownerPtr = &owner;
            owner.Start(comm);
            remote::TScpiServer server(line);
            remote::TServerOptions options;
            options.Listen.Port = 0;
            if (!server.Start(options)) {
                std::fprintf(stderr, "bench_remote: %s\n", qPrintable(server.ErrorText()));
                return 1;
            }
            QEventLoop loop;
            std::thread client([&] {
                ClientQueries(server.Port(), perPass, served);
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            });
            loop.exec();
            client.join();
            server.Stop();
            owner.Stop();
            owner.Join();
        }
    }
    Q_UNUSED(linePtr);
    port.Close();

    const double ratio = direct.Mean() > 0 ? served.Mean() / direct.Mean() : 0;
    const bool ok = direct.Ok && served.Ok;
    std::printf("Network server: %s? round trip against jt6400-sim paced at 115200 baud, %d queries each, "
                "%d passes in turns\n\n",
                kQuery, perPass * passes, passes);
    std::printf("%-34s %10s %10s %10s\n", "path", "mean ms", "p50 ms", "p95 ms");
    std::printf("%-34s %10.3f %10.3f %10.3f\n", "serial line, command channel", direct.Mean(), direct.Quantile(0.5),
                direct.Quantile(0.95));
    std::printf("%-34s %10.3f %10.3f %10.3f\n", "socket client -> server -> line", served.Mean(),
                served.Quantile(0.5), served.Quantile(0.95));
    std::printf("\nserver / direct (mean): %.3f   target <= 1.10   %s%s\n", ratio, ratio <= 1.10 ? "met" : "MISSED",
                ok ? "" : "   (FAILED: a wrong or missing answer)");
    return ok ? 0 : 1;
}
