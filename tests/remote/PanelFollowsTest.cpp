// The whole panel with its server on: lab scripts written with PyVISA change
// settings over the network while the panel polls, and the window, the
// settings snapshot and the timing diagram follow; the generator gets every
// command once.
#include "remote/ScpiServer.h"
#include "app/RemoteAccess.h"
#include "readback/SettingsLines.h"
#include "settings/PanelFixture.h"
#include "timing/TimingWindow.h"
#include "widgets/PlusSpinEdit.h"
#include "window/RemoteAccessForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QFile>
#include <QTest>

#include <algorithm>

namespace {

// Runs a Python script with PyVISA as the lab's client of the server at
// Port; the script's output, or its errors when it failed.
struct TVisaScript {
    QProcess Process;
    void Start(quint16 port, const QString& body)
    {
        const QString script = QStringLiteral(
                                   "import sys, pyvisa\n"
                                   "rm = pyvisa.ResourceManager('@py')\n"
                                   "inst = rm.open_resource('TCPIP::127.0.0.1::%1::SOCKET', read_termination='\\n', "
                                   "write_termination='\\n')\n"
                                   "inst.timeout = 60000\n")
                                   .arg(port) +
                               body + QStringLiteral("inst.close()\nrm.close()\n");
        Process.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script});
    }
    bool Finished() const { return Process.state() == QProcess::NotRunning; }
    QString Output() { return QString::fromUtf8(Process.readAllStandardOutput()); }
    QString Errors() { return QString::fromUtf8(Process.readAllStandardError()); }
};

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class PanelFollows : public Panel {
protected:
    quint16 Serve()
    {
        // As a user turns it on: Tools > Remote Access, a port, On.
        const quint16 port = FreePort();
        form().RemoteAccessAction->trigger();
        TRemoteAccessForm& remote = program->Remote().Form();
        remote.AddressEdit->setText(QStringLiteral("127.0.0.1"));
        remote.PortEdit->setValue(port);
        remote.OnBox->click();
        EXPECT_TRUE(program->Remote().Server().Listening()) << remote.StateLbl->text().toStdString();
        return port;
    }
    int Count(const QString& line) { return int(Received().count(line)); }
};

}  // namespace

TEST_F(PanelFollows, AScriptsWidthAndModeReachWindowSnapshotAndDiagram)
{
    Connect("6404+");
    TTimingWindow& diagram = program->TimingWindow();
    form().TimingDiagramAction->trigger();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&diagram));
    program->StatusPoll().Start();  // the panel polls meanwhile
    const quint16 port = Serve();

    TVisaScript script;
    script.Start(port, QStringLiteral("inst.write(':PULS1:WIDT 2E-6')\n"
                                      "inst.write(':PULS2:CMOD BURS')\n"
                                      "print(inst.query('*OPC?'))\n"
                                      "print(inst.query(':PULS1:WIDT?'))\n"));
    ASSERT_TRUE(WaitUntil([&] { return script.Finished(); })) << script.Errors().toStdString();
    ASSERT_EQ(script.Process.exitCode(), 0) << script.Errors().toStdString();
    EXPECT_EQ(script.Output(), QStringLiteral("1\n0.000002000000\n"));

    // The widgets, the snapshot and the diagram show both, without a read-back.
    TPlusSpinEdit* width = form().ChannelControls.ChWidthAdj[1];
    QComboBox* mode = form().ChannelControls.ChModeSel[2];
    ASSERT_TRUE(WaitUntil([&] { return width->Value() == 2e-6 && mode->currentText() == QStringLiteral("Burst"); }, 10000))
        << width->Value() << " " << mode->currentText().toStdString();
    EXPECT_EQ(state().ChannelSettings[1].Width, 2e-6);
    EXPECT_TRUE(state().SettingsList.contains(SettingsRealLine(QStringLiteral(":PULS1:WIDT"), 2e-6)))
        << state().SettingsList.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(state().SettingsList.contains(QStringLiteral(":PULS2:CMOD BURS")));
    ASSERT_TRUE(WaitUntil([&] {
        const TTrace* a = diagram.View->Diagram().Find(QStringLiteral("Ch A"));
        const TTrace* b = diagram.View->Diagram().Find(QStringLiteral("Ch B"));
        return a && b && !a->Pulses.empty() && qAbs(a->Pulses[0].Stop - a->Pulses[0].Start - 2e-6) < 1e-12 &&
               b->Detail.contains(QStringLiteral("Burst"));
    }));
    EXPECT_EQ(Count(QStringLiteral("*RCL 0")), 0);

    // A later Refresh finds the same values; each command reached the
    // generator once and nothing of the panel's went back.
    program->StatusPoll().Stop();
    ASSERT_TRUE(Settle());
    form().RefreshAction->trigger();
    app().Queue().ProcessTasks();
    ASSERT_TRUE(WaitUntil([&] { return app().Line().Idle() && !program->ReadBack().Running(); }));
    EXPECT_EQ(width->Value(), 2e-6);
    EXPECT_EQ(mode->currentText(), QStringLiteral("Burst"));
    EXPECT_EQ(Count(QStringLiteral(":PULS1:WIDT 2E-6")), 1);
    EXPECT_EQ(Count(QStringLiteral(":PULS2:CMOD BURS")), 1);
    for (const QString& line : Received())
        EXPECT_FALSE(line.startsWith(QStringLiteral(":PULS1:WIDT ")) && line != QStringLiteral(":PULS1:WIDT 2E-6"))
            << line.toStdString();
}

// Four scripts at once, each setting and reading back the delay of its own
// channel 250 times, while the panel polls and the user edits a width: every
// command reaches the generator once and in its client's order, and every
// reply is the client's own.
TEST_F(PanelFollows, FourScriptsAtOnceWhileThePanelPollsAndTheUserEdits)
{
    Connect("6404+");
    program->StatusPoll().Start();
    const quint16 port = Serve();
    constexpr int kRounds = 125;  // a set command and a query each
    std::vector<std::unique_ptr<TVisaScript>> scripts;
    for (int n = 1; n <= 4; ++n) {
        scripts.push_back(std::make_unique<TVisaScript>());
        scripts.back()->Start(port, QStringLiteral("wrong = 0\n"
                                                   "for i in range(1, %1 + 1):\n"
                                                   "    inst.write(':PULS%2:DEL %dE-9' % i)\n"
                                                   "    if inst.query(':PULS%2:DEL?') != '%.12f' % (i * 1e-9):\n"
                                                   "        wrong += 1\n"
                                                   "print(inst.query('*OPC?'), wrong)\n")
                                        .arg(kRounds)
                                        .arg(n));
    }
    ASSERT_TRUE(WaitUntil([&] { return Received().count(QStringLiteral(":PULS1:DEL 20E-9")) > 0; }));
    form().ChannelControls.ChWidthAdj[4]->setValue(3e-6);
    for (auto& script : scripts) {
        ASSERT_TRUE(WaitUntil([&] { return script->Finished(); })) << script->Errors().toStdString();
        EXPECT_EQ(script->Process.exitCode(), 0) << script->Errors().toStdString();
        EXPECT_EQ(script->Output(), QStringLiteral("1 0\n"));
    }
    program->StatusPoll().Stop();
    ASSERT_TRUE(SettleQueue());

    const QStringList received = Received();
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        QStringList expected, sets;
        for (int i = 1; i <= kRounds; ++i)
            expected << QStringLiteral(":PULS%1:DEL %2E-9").arg(n).arg(i);
        for (const QString& line : received)
            if (line.startsWith(QStringLiteral(":PULS%1:DEL ").arg(n)))
                sets << line;
        EXPECT_EQ(sets, expected);
    }
    EXPECT_EQ(received.filter(QStringLiteral(":PULS4:WIDT ")).size(), 1);
    EXPECT_GT(received.count(QStringLiteral(":PULS0:STAT?")), 0);
    EXPECT_EQ(state().ChannelSettings[4].Width, 3e-6);
    EXPECT_DOUBLE_EQ(state().ChannelSettings[1].Delay, kRounds * 1e-9);
    EXPECT_DOUBLE_EQ(form().ChannelControls.ChDelayAdj[3]->Value(), kRounds * 1e-9);
}

// Four scripts stream set commands, twenty at a time, so that some client's
// line is always waiting for the line: the status poll still takes its turn
// every second behind them, and is not held off until the scripts are done.
TEST_F(PanelFollows, ThePollKeepsItsCadenceUnderFourStreamingClients)
{
    Connect("6404+");
    program->StatusPoll().Start();
    const quint16 port = Serve();
    QTemporaryDir work;
    const QString stop = work.filePath(QStringLiteral("stop"));
    std::vector<std::unique_ptr<TVisaScript>> scripts;
    for (int n = 1; n <= 4; ++n) {
        scripts.push_back(std::make_unique<TVisaScript>());
        scripts.back()->Start(port, QStringLiteral("import os\n"
                                                   "while not os.path.exists('%1'):\n"
                                                   "    for i in range(1, 21):\n"
                                                   "        inst.write(':PULS%2:DEL %dE-9' % i)\n"
                                                   "    inst.query('*OPC?')\n"
                                                   "print(inst.query('*OPC?'))\n")
                                        .arg(stop)
                                        .arg(n));
    }
    // Three poll rounds after every client's first line has reached the
    // generator; a poll that waited for the clients would see none of them.
    const auto pollsUnderLoad = [&] {
        const QStringList received = Received();
        qsizetype start = 0;
        for (int n = 1; n <= 4; ++n) {
            const qsizetype first = received.indexOf(QRegularExpression(QStringLiteral(":PULS%1:DEL .*").arg(n)));
            if (first < 0)
                return 0;
            start = std::max(start, first);
        }
        return int(received.mid(start).count(QStringLiteral(":PULS0:STAT?")));
    };
    const auto aScriptEnded = [&] {
        return std::any_of(scripts.begin(), scripts.end(), [](const auto& s) { return s->Finished(); });
    };
    const bool polled = WaitUntil([&] { return pollsUnderLoad() >= 3 || aScriptEnded(); }, 60000) && !aScriptEnded();
    QFile(stop).open(QIODevice::WriteOnly);
    for (auto& script : scripts) {
        ASSERT_TRUE(WaitUntil([&] { return script->Finished(); })) << script->Errors().toStdString();
        EXPECT_EQ(script->Output(), QStringLiteral("1\n")) << script->Errors().toStdString();
    }
    EXPECT_TRUE(polled) << pollsUnderLoad() << " poll rounds while the clients streamed";
    program->StatusPoll().Stop();
    ASSERT_TRUE(SettleQueue());
}

// A script sets a channel that this model lacks: the generator refuses it,
// and the panel neither reads it back nor keeps a line of it, while a set on
// the model's last channel is followed as usual.
TEST_F(PanelFollows, ASetOnAChannelTheModelLacksIsNotFollowed)
{
    Connect("6404");
    const quint16 port = Serve();
    TVisaScript script;
    script.Start(port, QStringLiteral("inst.write(':PULS8:WIDT 1E-6')\n"
                                      "inst.write(':PULS4:WIDT 2E-6')\n"
                                      "print(inst.query('*OPC?'))\n"));
    ASSERT_TRUE(WaitUntil([&] { return script.Finished(); })) << script.Errors().toStdString();
    EXPECT_EQ(script.Output(), QStringLiteral("1\n")) << script.Errors().toStdString();
    ASSERT_TRUE(WaitUntil([&] { return state().ChannelSettings[4].Width == 2e-6; }));
    ASSERT_TRUE(SettleQueue());
    const QStringList received = Received().mid(sentBefore);
    EXPECT_EQ(received.count(QStringLiteral(":PULS8:WIDT 1E-6")), 1);
    EXPECT_EQ(received.count(QStringLiteral(":PULS4:WIDT?")), 1);
    EXPECT_TRUE(received.filter(QStringLiteral(":PULS8:WIDT?")).isEmpty()) << received.join('|').toStdString();
    EXPECT_TRUE(state().SettingsList.filter(QStringLiteral(":PULS8:")).isEmpty())
        << state().SettingsList.join('|').toStdString();
}
