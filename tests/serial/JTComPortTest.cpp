#include "serial/JTComPort.h"
#include "serial/PortList.h"
#include "support/PtyTestSupport.h"
#include "support/ScriptedDialogs.h"

#include <functional>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QByteArray CR("\r");

TEST(EndOfResponse, Decoding)
{
    struct Case {
        QByteArray text, raw;
    };
    const Case cases[] = {
        {"#13#10", "\r\n"},
        {"OK", "OK"},
        {"abc#13", "abc\r"},
        {"#", ""},
        {"#13abc", "#13abc"},
        {"##13", "##13"},
        {"#65#66", "AB"},
        {"", ""},
        {"#-5", "#-5"},
        {"x#13#", "x\r"},
        {"#300", ","},
        {"\r", "\r"},
        // The low byte of codes of any length: leading zeros, 2^64 + 13.
        {"#0000000000000000000013", "\r"},
        {"#18446744073709551629#10", "\r\n"},
    };
    for (const auto& c : cases) {
        TJTComPort port;
        port.SetEndOfResponse(c.text);
        EXPECT_EQ(port.EndOfResponse(), c.text);
        EXPECT_EQ(port.EndOfResponseRaw(), c.raw) << c.text.toStdString();
    }
}

TEST(ComPortDefaults, FreshComponent)
{
    TJTComPort port;
    EXPECT_FALSE(port.AllowEvents());
    EXPECT_EQ(port.Baud(), 9600);
    EXPECT_EQ(port.Handshaking(), THandshake::hsNone);
    EXPECT_EQ(port.Parity(), TParity::parNone);
    EXPECT_EQ(port.ResponseTime(), 1000u);
    EXPECT_EQ(port.Port(), 1);
    EXPECT_TRUE(port.ShowErrors());
    EXPECT_FALSE(port.InUse());
    EXPECT_FALSE(port.TimedOut());
    EXPECT_FALSE(port.Opened());
    EXPECT_FALSE(port.State());
    EXPECT_EQ(port.InCount(), 0);
    EXPECT_TRUE(port.EndOfResponseRaw().isEmpty());
    EXPECT_EQ(port.Version(), "2.0.2");
    EXPECT_TRUE(TJTComPort::OpenErrorText(3, false) == "Error opening COM3: ");
    EXPECT_TRUE(TJTComPort::OpenErrorText(3, true).contains("dialout"));
    EXPECT_TRUE(TJTComPort::OpenErrorText(3, true).startsWith("Error opening COM3: \n"));
}

// A port component on COM3 of a fresh port folder, linked to a pty.
class ComPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.Link(3, pty.SlavePath());
        port = std::make_unique<TJTComPort>(nullptr, &dialogs);
        port->SetPort(3);
        port->SetEndOfResponse("#13");
    }
    void TearDown() override { pty.Join(); }

    TPtyPair pty;
    TPortFolder folder;
    TScriptedDialogs dialogs;
    std::unique_ptr<TJTComPort> port;
};

TEST_F(ComPortTest, OpenWriteCloseReopen)
{
    ASSERT_TRUE(port->Open());
    EXPECT_TRUE(port->Opened());
    EXPECT_TRUE(port->State());
    EXPECT_TRUE(port->Write(":PULS0:STAT ON\r\n"));
    EXPECT_EQ(pty.Receive(16), ":PULS0:STAT ON\r\n");
    EXPECT_TRUE(port->Write(""));
    port->Close();
    EXPECT_FALSE(port->Opened());
    port->Close();  // always safe
    // Write opens on demand.
    EXPECT_TRUE(port->Write("X"));
    EXPECT_TRUE(port->Opened());
    // Open on an open port closes it first and opens it again.
    EXPECT_TRUE(port->Open());
    EXPECT_TRUE(port->WriteRaw("YZ", 2));
    EXPECT_EQ(pty.Receive(3), "XYZ");
    EXPECT_TRUE(dialogs.Shown.isEmpty());
}

// udev's links in a folder of /dev point upwards relatively
// (/dev/jt6400/COM3 -> ../ttyUSB0); such a folder works as JT6400_PORT_DIR.
TEST_F(ComPortTest, OpensThroughARelativeLinkAsUdevMakesThem)
{
    const QString relative = QDir(folder.Path()).relativeFilePath(pty.SlavePath());
    ASSERT_TRUE(relative.startsWith(QLatin1String("../")));
    folder.Link(3, relative);
    ASSERT_EQ(QFile::symLinkTarget(QDir(folder.Path()).filePath("COM3")), pty.SlavePath());
    EXPECT_EQ(PortFolderEntries(folder.Path()).value(0).Name, pty.SlavePath());
    EXPECT_EQ(port->GetValidSerialPorts(), QList<int>{3});
    ASSERT_TRUE(port->Open());
    EXPECT_TRUE(port->Write("X"));
    EXPECT_EQ(pty.Receive(1), "X");
}

TEST_F(ComPortTest, LineSettingChangesReopenOnlyWhenOpen)
{
    port->SetBaud(115200);
    EXPECT_FALSE(port->Opened());
    ASSERT_TRUE(port->Open());
    for (auto hs : {THandshake::hsHardware, THandshake::hsAssertAll, THandshake::hsNone}) {
        port->SetHandshaking(hs);
        EXPECT_TRUE(port->Opened());
    }
    port->SetParity(TParity::parOdd);
    port->SetBaud(9600);
    EXPECT_TRUE(port->Opened());
    EXPECT_EQ(port->Parity(), TParity::parOdd);
    EXPECT_EQ(port->Baud(), 9600);
    EXPECT_TRUE(port->Write("ok"));
    EXPECT_EQ(pty.Receive(2), "ok");
}

TEST_F(ComPortTest, ChangingPortWhileOpenMovesToTheNewDevice)
{
    TPtyPair other;
    folder.Link(4, other.SlavePath());
    ASSERT_TRUE(port->Open());
    port->SetPort(3);  // same number: nothing happens
    EXPECT_TRUE(port->Opened());
    port->SetPort(4);
    EXPECT_TRUE(port->Opened());
    EXPECT_TRUE(port->Write("to4"));
    EXPECT_EQ(other.Receive(3), "to4");
    EXPECT_TRUE(pty.Drain().isEmpty());
}

TEST_F(ComPortTest, OpenIsExclusive)
{
    ASSERT_TRUE(port->Open());
    TScriptedDialogs secondDialogs;
    TJTComPort second(nullptr, &secondDialogs);
    second.SetPort(3);
    second.SetShowErrors(false);
    EXPECT_FALSE(second.Open());
    EXPECT_TRUE(secondDialogs.Shown.isEmpty());
    EXPECT_FALSE(second.Write("x"));
    EXPECT_TRUE(second.Read().isEmpty());

    // With errors shown: Retry tries again, Abort ends the attempts.
    second.SetShowErrors(true);
    secondDialogs.Answers = {TMsgButton::mbRetry, TMsgButton::mbAbort};
    EXPECT_FALSE(second.Open());
    EXPECT_EQ(secondDialogs.Texts(), (QStringList{"Error opening COM3: ", "Error opening COM3: "}));
    EXPECT_EQ(secondDialogs.Shown[0].Buttons, mbAbortRetry);

    // Free again once the first holder lets go.
    port->Close();
    secondDialogs.Shown.clear();
    EXPECT_TRUE(second.Open());
    EXPECT_TRUE(secondDialogs.Shown.isEmpty());
}

TEST_F(ComPortTest, MissingOrVanishedDeviceEndsClosed)
{
    port->SetShowErrors(false);
    port->SetPort(9);
    EXPECT_FALSE(port->Open());
    EXPECT_TRUE(port->Read().isEmpty());

    port->SetPort(3);
    ASSERT_TRUE(port->Open());
    pty.CloseAll();
    folder.Unlink(3);
    EXPECT_FALSE(port->Open());
    EXPECT_FALSE(port->Opened());
    EXPECT_TRUE(dialogs.Shown.isEmpty());

    port->SetShowErrors(true);
    EXPECT_FALSE(port->Open());
    EXPECT_EQ(dialogs.Texts(), QStringList{"Error opening COM3: "});
}

TEST_F(ComPortTest, ReadStopsAtMarkerAndLeavesLateBytes)
{
    ASSERT_TRUE(port->Open());
    pty.Send("R1\r");
    pty.SendWhenTaken("\n");
    EXPECT_EQ(port->Read(), "R1\r");
    EXPECT_FALSE(port->TimedOut());
    pty.Join();
    // The late LF waits in the queue for the next exchange.
    for (int i = 0; i < 200 && port->InCount() == 0; ++i)
        QThread::msleep(5);
    EXPECT_EQ(port->InCount(), 1);
    port->Flush();
    EXPECT_EQ(port->InCount(), 0);
}

TEST_F(ComPortTest, ReadWaitsForMarkerAcrossChunks)
{
    ASSERT_TRUE(port->Open());
    pty.Send("JT,64");
    pty.SendWhenTaken("04+,1234\r");
    EXPECT_EQ(port->Read(), "JT,6404+,1234\r");
}

TEST_F(ComPortTest, TwoQueuedResponsesComeBackTogether)
{
    ASSERT_TRUE(port->Open());
    pty.Send("A\rB\r");
    for (int i = 0; i < 200 && port->InCount() < 4; ++i)
        QThread::msleep(5);
    EXPECT_EQ(port->Read(), "A\rB\r");
}

TEST_F(ComPortTest, MultiCharacterMarker)
{
    port->SetEndOfResponse("#13#10");
    ASSERT_TRUE(port->Open());
    pty.Send("A\r");
    pty.SendWhenTaken("B\r\nC");
    EXPECT_EQ(port->Read(), "A\rB\r\nC");
}

TEST_F(ComPortTest, WithoutMarkerReadReturnsWhatIsWaiting)
{
    port->SetEndOfResponse("");
    port->SetResponseTime(60000);
    ASSERT_TRUE(port->Open());
    EXPECT_TRUE(port->Read().isEmpty());
    pty.Send("xyz");
    for (int i = 0; i < 200 && port->InCount() < 3; ++i)
        QThread::msleep(5);
    EXPECT_EQ(port->Read(), "xyz");
    EXPECT_FALSE(port->InUse());
}

TEST_F(ComPortTest, TimeoutWithoutEventsOrErrors)
{
    port->SetResponseTime(100);
    port->SetShowErrors(false);
    int timeouts = 0;
    port->SetOnTimeout([&](TJTComPort*) { ++timeouts; });
    ASSERT_TRUE(port->Open());
    pty.Send("partial");
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(port->Read(), "partial");
    EXPECT_GE(t.elapsed(), 100);
    EXPECT_TRUE(port->TimedOut());
    EXPECT_FALSE(port->InUse());
    EXPECT_EQ(timeouts, 0);  // events are off
    EXPECT_TRUE(dialogs.Shown.isEmpty());
    // The next read clears TimedOut when its answer comes.
    pty.Send("ok\r");
    EXPECT_EQ(port->Read(), "ok\r");
    EXPECT_FALSE(port->TimedOut());
}

TEST_F(ComPortTest, TimeoutWithEventsFiresHandlerThenRetryBox)
{
    port->SetResponseTime(100);
    port->SetAllowEvents(true);
    QList<TJTComPort*> senders;
    port->SetOnTimeout([&](TJTComPort* sender) { senders << sender; });
    bool timerRan = false;
    QTimer::singleShot(20, [&] { timerRan = true; });
    dialogs.Answers = {TMsgButton::mbRetry, TMsgButton::mbAbort};
    ASSERT_TRUE(port->Open());
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(port->Read().isEmpty());
    EXPECT_GE(t.elapsed(), 200);  // Retry waited a second response time
    EXPECT_FALSE(timerRan);       // waiting never runs the caller's event loop
    EXPECT_EQ(senders, (QList<TJTComPort*>{port.get(), port.get()}));
    EXPECT_EQ(dialogs.Texts(), (QStringList{"Timeout waiting for response.", "Timeout waiting for response."}));
    EXPECT_EQ(dialogs.Shown[0].Buttons, mbAbortRetry);
    EXPECT_TRUE(port->TimedOut());
}

TEST_F(ComPortTest, RetryCanStillReceiveTheAnswer)
{
    // The answer comes after the first wait has run out, while the box asks.
    struct TLateAnswer : TScriptedDialogs {
        std::function<void()> OnShow;
        TMsgButton DoMessageDlg(const QString& text, const QString& caption, TMsgButtons buttons,
                                TMsgKind kind) override
        {
            OnShow();
            return TScriptedDialogs::DoMessageDlg(text, caption, buttons, kind);
        }
    } lateDialogs;
    lateDialogs.OnShow = [&] { pty.Send("late\r"); };
    port->SetDialogs(&lateDialogs);
    auto& dialogs = lateDialogs;
    port->SetResponseTime(100);
    dialogs.Answers = {TMsgButton::mbRetry};
    ASSERT_TRUE(port->Open());
    EXPECT_EQ(port->Read(), "late\r");
    EXPECT_FALSE(port->TimedOut());
    EXPECT_EQ(dialogs.Shown.size(), 1);
}

// The timeout handler runs while the read still holds the port: a read made
// from it is refused, and the outer read goes on.
TEST_F(ComPortTest, ReadFromInsideAReadIsRefused)
{
    port->SetAllowEvents(true);
    port->SetResponseTime(50);
    ASSERT_TRUE(port->Open());
    QByteArray nested = "unset";
    bool nestedInUse = false;
    qint64 nestedRaw = -1;
    port->SetOnTimeout([&](TJTComPort*) {
        nestedInUse = port->InUse();
        nested = port->Read();
        char buf[8];
        nestedRaw = port->ReadRaw(buf, sizeof buf);
    });
    dialogs.Answers = {TMsgButton::mbAbort};
    pty.Send("part");
    EXPECT_EQ(port->Read(), "part");
    EXPECT_TRUE(nestedInUse);
    EXPECT_TRUE(nested.isEmpty());
    EXPECT_EQ(nestedRaw, 0);
    EXPECT_EQ(dialogs.Texts(), (QStringList{"Port is in use -- operation aborted", "Port is in use -- operation aborted",
                                            "Timeout waiting for response."}));
    EXPECT_FALSE(port->InUse());
}

// Nothing the event loop would do, here destroying the component, can happen
// while a read waits: it happens once the read has returned.
TEST_F(ComPortTest, ReadNeverRunsTheEventLoop)
{
    port->SetResponseTime(5000);
    port->SetAllowEvents(true);
    ASSERT_TRUE(port->Open());
    QTimer::singleShot(10, [&] { port.reset(); });
    pty.SendLater("outer\r", 50);
    EXPECT_EQ(port->Read(), "outer\r");
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return port == nullptr; }, 5000));
}

TEST_F(ComPortTest, ReadRawTakesWaitingBytesUpToBufferSize)
{
    ASSERT_TRUE(port->Open());
    pty.Send("0123456789");
    for (int i = 0; i < 200 && port->InCount() < 10; ++i)
        QThread::msleep(5);
    char buf[4];
    EXPECT_EQ(port->ReadRaw(buf, sizeof buf), 4);
    EXPECT_EQ(QByteArray(buf, 4), "0123");
    EXPECT_EQ(port->InCount(), 6);
    QByteArray big(32, '\0');
    EXPECT_EQ(port->ReadRaw(big.data(), big.size()), 6);
    EXPECT_EQ(big.left(6), "456789");
    EXPECT_FALSE(port->InUse());
}

TEST_F(ComPortTest, FlushDiscardsWaitingInput)
{
    ASSERT_TRUE(port->Open());
    pty.Send("stale\r");
    for (int i = 0; i < 200 && port->InCount() < 6; ++i)
        QThread::msleep(5);
    port->Flush();
    EXPECT_EQ(port->InCount(), 0);
    pty.Send("fresh\r");
    EXPECT_EQ(port->Read(), "fresh\r");
}

}  // namespace
