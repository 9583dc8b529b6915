// The panel's server, composed as the panel composes it: the Remote Access
// window turns it on, a socket client's lines go as jobs through the line
// owner and the command channel to a simulated generator on a
// pseudo-terminal, the command terminal shows them marked with the client,
// the traffic log notes the connection, and the window lists the client and
// its last commands.
#include "app/RemoteAccess.h"
#include "comm/Communication.h"
#include "comm/LineOwner.h"
#include "serial/JTComPort.h"
#include "support/LineWait.h"
#include "support/PtyTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/SimulatedGenerator.h"
#include "window/MainForm.h"
#include "window/RemoteAccessForm.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWidget>

#include <future>
#include <mutex>
#include <vector>

namespace {

// The command terminal, as lines.
struct TTerminalLines : ITerminal {
    std::mutex Mutex;
    QStringList Lines;
    void AddLine(const QString& text, TLineKind) override
    {
        std::lock_guard lock(Mutex);
        Lines << text;
    }
    void Clear() override {}
    QStringList Copy()
    {
        std::lock_guard lock(Mutex);
        return Lines;
    }
};

QString ReadLine(QTcpSocket& socket)
{
    if (!WaitUntil([&] { return socket.canReadLine(); }))
        return QStringLiteral("(no reply)");
    return QString::fromLatin1(socket.readLine()).chopped(1);
}

}  // namespace

TEST(RemoteAccess, TheWindowTurnsTheServerOnAndShowsClientsAndCommands)
{
    TPortFolder folder;
    jt6400sim::GeneratorOptions g;
    g.echo = false;
    const auto sim = ServeGenerator(folder.Path(), 1, jt6400sim::Generator(g));

    TScriptedDialogs dialogs;
    TTerminalLines terminal;
    TJTComPort port(nullptr, &dialogs);
    port.SetPort(1);
    port.SetEndOfResponse(QByteArray(1, '\r'));
    port.SetResponseTime(kAnswerTimeMs);
    TCommunication channel(port, dialogs, &terminal);
    QTemporaryDir logDir;
    channel.Log().SetFilePath(logDir.filePath(QStringLiteral("log.txt")));
    channel.ToggleLoggingState();
    ASSERT_TRUE(port.Open());

    TMainForm mainWindow;
    jt::TCommandLineOptions options;
    TLineOwner* owner = nullptr;
    TRemoteAccess remote(options, &mainWindow, [&owner](TLineOwner::TJob job, TLineOwner::TDropped dropped) {
        owner->Post(std::move(job), std::move(dropped));
    });
    TLineOwner line;
    owner = &line;
    line.Start(channel);

    TRemoteAccessForm& form = remote.Form();
    mainWindow.RemoteAccessAction->trigger();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.StateLbl->text(), QStringLiteral("Off"));
    EXPECT_FALSE(form.WarningLbl->isVisibleTo(&form));
    form.AddressEdit->setText(QStringLiteral("0.0.0.0"));
    EXPECT_TRUE(form.WarningLbl->isVisibleTo(&form));
    form.AddressEdit->setText(QStringLiteral("127.0.0.1"));
    // A port that another program holds: the window says why it stays off.
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
    form.PortEdit->setValue(holder.serverPort());
    form.OnBox->click();
    EXPECT_FALSE(form.OnBox->isChecked());
    EXPECT_TRUE(form.StateLbl->text().startsWith(
        QStringLiteral("Off: cannot listen on 127.0.0.1:%1").arg(holder.serverPort())))
        << form.StateLbl->text().toStdString();
    EXPECT_FALSE(remote.Server().Listening());

    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 free = probe.serverPort();
    probe.close();
    form.PortEdit->setValue(free);
    form.OnBox->click();
    ASSERT_TRUE(remote.Server().Listening()) << form.StateLbl->text().toStdString();
    EXPECT_EQ(form.StateLbl->text(), QStringLiteral("Listening on 127.0.0.1:%1").arg(free));
    EXPECT_FALSE(form.AddressEdit->isEnabled());

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, free);
    ASSERT_TRUE(WaitUntil([&] { return form.ClientList->count() == 1; }));
    const QString name = form.ClientList->item(0)->text();
    EXPECT_EQ(name, QStringLiteral("127.0.0.1:%1").arg(client.localPort()));

    client.write(":PULS1:WIDT 2E-6\n:PULS1:WIDT?\n");
    EXPECT_EQ(ReadLine(client), QStringLiteral("0.000002000000"));
    ASSERT_TRUE(WaitUntil([&] { return form.CommandList->count() == 2; }));
    EXPECT_EQ(form.CommandList->item(0)->text(), QStringLiteral("[%1] :PULS1:WIDT 2E-6  ->  ok").arg(name));
    EXPECT_EQ(form.CommandList->item(1)->text(), QStringLiteral("[%1] :PULS1:WIDT?  ->  0.000002000000").arg(name));
    // The terminal shows each remote command marked with its client, and the
    // generator's reply, as for a terminal command.
    const QStringList lines = terminal.Copy();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(") [%1] :PULS1:WIDT 2E-6").arg(name))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(") ok"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(") [%1] :PULS1:WIDT?").arg(name))) << lines[2].toStdString();

    // The client that holds the lock is marked in the list.
    client.write("SYST:LOCK:REQ?\n");
    EXPECT_EQ(ReadLine(client), QStringLiteral("1"));
    ASSERT_TRUE(WaitUntil([&] { return form.ClientList->item(0)->text() == name + QStringLiteral(" (holds the lock)"); }));

    // A second client, closed from the window: it gets a last line.
    QTcpSocket other;
    other.connectToHost(QHostAddress::LocalHost, free);
    ASSERT_TRUE(WaitUntil([&] { return form.ClientList->count() == 2; }));
    ASSERT_TRUE(WaitUntil([&] { return other.state() == QAbstractSocket::ConnectedState; }));
    EXPECT_FALSE(form.DisconnectBtn->isEnabled());
    const QString otherName = QStringLiteral("127.0.0.1:%1").arg(other.localPort());
    form.ClientList->setCurrentItem(form.ClientList->findItems(otherName, Qt::MatchExactly).value(0));
    ASSERT_TRUE(form.DisconnectBtn->isEnabled());
    form.DisconnectBtn->click();
    EXPECT_EQ(ReadLine(other), QStringLiteral("Closed: disconnected from the panel"));
    ASSERT_TRUE(WaitUntil([&] { return other.state() == QAbstractSocket::UnconnectedState; }));
    ASSERT_TRUE(WaitUntil([&] { return form.ClientList->count() == 1; }));
    EXPECT_EQ(form.ClientList->item(0)->text(), name + QStringLiteral(" (holds the lock)"));

    client.disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return form.ClientList->count() == 0; }));
    form.OnBox->click();
    EXPECT_FALSE(remote.Server().Listening());
    EXPECT_EQ(form.StateLbl->text(), QStringLiteral("Off"));

    ASSERT_TRUE(WaitUntil([&] { return line.Idle(); }));
    line.Stop();
    line.Join();
    channel.Log().Close();
    QFile log(logDir.filePath(QStringLiteral("log.txt")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(log.readAll());
    for (const QString& note : {QStringLiteral("listening on 127.0.0.1:%1").arg(free),
                                QStringLiteral("%1 connected").arg(name),
                                QStringLiteral("%1 closed: disconnected").arg(name), QStringLiteral("stopped listening")})
        EXPECT_TRUE(text.contains(QStringLiteral("): ") + note)) << note.toStdString() << "\n" << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("): :PULS1:WIDT 2E-6\r\n")));
}

// A network client's line that the line owner drops as it ends (waiting when
// it stops, or handed over after) is still answered, once, as dropped: the
// server never waits for an answer that cannot come.
TEST(RemoteAccess, LinesDroppedWhenTheLineEndsAreAnsweredAsDropped)
{
    TScriptedDialogs dialogs;
    TJTComPort port(nullptr, &dialogs);
    TCommunication channel(port, dialogs);
    TLineOwner* owner = nullptr;
    remote::TChannelLine carrier([&owner](remote::TChannelLine::TJob job, remote::TChannelLine::TDropped dropped) {
        owner->Post(std::move(job), std::move(dropped));
    });
    TLineOwner line;
    owner = &line;
    // A job under way, waiting for an answer of the window's thread that
    // comes only as the line ends.
    std::promise<void> started;
    line.Post([&](TCommunication&) {
        started.set_value();
        line.Ask<int>([] { return 1; }, 0);
    });
    line.Start(channel);
    started.get_future().wait();

    std::vector<remote::TCarried> answers;
    const auto carry = [&] {
        carrier.Carry({QStringLiteral("127.0.0.1:5000"), ":PULS1:WIDT?", true, nullptr},
                      [&](const remote::TCarried& carried) { answers.push_back(carried); });
    };
    carry();
    line.Stop();
    carry();
    line.Join();
    ASSERT_TRUE(WaitUntil([&] { return answers.size() == 2; }));
    for (const remote::TCarried& carried : answers) {
        EXPECT_TRUE(carried.Dropped);
        EXPECT_FALSE(carried.Sent);
        EXPECT_FALSE(carried.Lost);
    }
    EXPECT_FALSE(port.Opened());
}
