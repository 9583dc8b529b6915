#include "comm/CommTestSupport.h"
#include "serial/JTComPort.h"
#include "model/ProgramState.h"

#include "PtyServer.h"
#include "support/SerialHolder.h"
#include "support/SimTrace.h"
#include "support/SimulatedGenerator.h"

#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using jt6400sim::Generator;
using jt6400sim::GeneratorOptions;
using jt6400sim::PtyServer;
using jt6400sim::ServerOptions;

class DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        port = std::make_unique<TJTComPort>(nullptr, &dialogs);
        comm = std::make_unique<TCommunication>(*port, dialogs, &terminal, &app);
    }

    // A simulated generator of Model on COM<n>.
    PtyServer& Generator(int n, const std::string& model, ServerOptions options = {},
                         const std::string& firmware = "2.1.0")
    {
        GeneratorOptions g;
        g.identity.model = model;
        g.identity.firmware = firmware;
        servers.push_back(ServeGenerator(folder.Path(), n, jt6400sim::Generator(g), options));
        return *servers.back();
    }
    // The scan; its result kept as the program keeps it.
    bool FindDevice()
    {
        const TScanResult scan = comm->FindDevice();
        state.SetGenerator(scan.Identity);
        return scan.Found;
    }
    PtyServer& Silent(int n)
    {
        ServerOptions o;
        o.silent = true;
        return Generator(n, "6404+", o);
    }

    TPortFolder folder;
    std::vector<std::unique_ptr<PtyServer>> servers;
    TScriptedDialogs dialogs;
    TRecordingTerminal terminal;
    TRecordingApp app;
    TProgramState state;
    std::unique_ptr<TJTComPort> port;
    std::unique_ptr<TCommunication> comm;
};

TEST_F(DiscoveryTest, PassesDeadLinkAndSilentPortAndConnectsToPlusModel)
{
    folder.Link(1, "/nonexistent/ttyUSB9");
    PtyServer& silent = Silent(2);
    PtyServer& plus = Generator(4, "6404+");
    terminal.AddLine("old", TLineKind::lkCommand);

    ASSERT_TRUE(FindDevice());
    EXPECT_TRUE(port->Opened());
    EXPECT_EQ(port->Port(), 4);
    EXPECT_TRUE(state.PlusOption);
    EXPECT_FALSE(state.HighResolution);
    EXPECT_EQ(state.DeviceIdentity.Model, "6404+");
    EXPECT_EQ(state.DeviceIdentity.Manufacturer, "JT");
    EXPECT_EQ(state.DeviceIdentity.SerialNumber, 1234);
    EXPECT_EQ(state.DeviceIdentity.FirmwareVersionParts, (std::array<int32_t, 3>{2, 1, 0}));
    // The scan's traffic is cleared from the terminal; nothing was shown.
    EXPECT_TRUE(terminal.Lines.isEmpty());
    EXPECT_EQ(terminal.Clears, 1);
    EXPECT_TRUE(dialogs.Shown.isEmpty());
    // Scan settings stay in force.
    EXPECT_EQ(port->Baud(), 115200);
    EXPECT_EQ(port->EndOfResponseRaw(), "\r");
    EXPECT_EQ(port->ResponseTime(), 100u);
    EXPECT_FALSE(port->ShowErrors());
    EXPECT_FALSE(port->AllowEvents());
    // The silent port heard the whole sequence; the generator turned its echo off.
    EXPECT_EQ(silent.linesReceived(), 3);
    EXPECT_FALSE(plus.withGenerator([](jt6400sim::Generator& g) { return g.echo(); }));
    EXPECT_EQ(plus.linesReceived(), 4);
    // The channel works on the found port.
    port->SetResponseTime(2000);
    EXPECT_EQ(comm->QueryDevice("*IDN"), "JT,6404+,1234,2.1.0-3.0.7");
}

TEST_F(DiscoveryTest, FirstOfTwoGeneratorsWinsAndTheSecondIsNeverOpened)
{
    Generator(3, "6402");
    PtyServer& second = Generator(5, "6424");
    ASSERT_TRUE(FindDevice());
    EXPECT_EQ(port->Port(), 3);
    EXPECT_EQ(state.DeviceIdentity.Model, "6402");
    EXPECT_FALSE(state.PlusOption);
    EXPECT_FALSE(state.HighResolution);
    EXPECT_EQ(second.linesReceived(), 0);
}

struct ModelFlags {
    const char* model;
    bool plus, high;
};

TEST_F(DiscoveryTest, FlagsForEverySupportedModel)
{
    const ModelFlags rows[] = {{"6402", false, false}, {"6404", false, false}, {"6402+", true, false},
                               {"6404+", true, false}, {"6422", false, true},  {"6424", false, true}};
    int n = 10;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.model);
        folder.Unlink(n - 1);
        Generator(n, r.model);
        if (n > 10)
            servers[servers.size() - 2]->stop();
        state = TProgramState{};
        ASSERT_TRUE(FindDevice());
        EXPECT_EQ(port->Port(), n);
        EXPECT_EQ(state.PlusOption, r.plus);
        EXPECT_EQ(state.HighResolution, r.high);
        port->Close();
        ++n;
    }
}

TEST_F(DiscoveryTest, UnsupportedModelsAndBadVersionsArePassedOver)
{
    PtyServer& other = Generator(2, "6406");
    Generator(3, " 6404");             // a leading blank is not a supported model
    Generator(4, "6424", {}, "1.00");  // version part that does not convert
    Generator(6, "6422");
    ASSERT_TRUE(FindDevice());
    EXPECT_EQ(port->Port(), 6);
    EXPECT_TRUE(state.HighResolution);
    EXPECT_EQ(other.linesReceived(), 4);
    // The passed-over ports were closed again.
    TJTComPort probe;
    probe.SetShowErrors(false);
    for (int n : {2, 3, 4}) {
        probe.SetPort(n);
        EXPECT_TRUE(probe.Open()) << n;
    }
}

// The generator found is shown with its own identity only: a passed-over
// port's serial number and versions must not stay behind when the found
// generator's serial number does not convert.
TEST_F(DiscoveryTest, APassedOverPortLeavesNothingOfItsIdentity)
{
    Generator(4, "6424", {}, "1.00");
    GeneratorOptions g;
    g.identity.model = "6404+";
    g.identity.serial = "A17";
    servers.push_back(ServeGenerator(folder.Path(), 5, jt6400sim::Generator(g)));

    ASSERT_TRUE(FindDevice());
    EXPECT_EQ(port->Port(), 5);
    TDeviceIdentity expected;
    expected.Manufacturer = "JT";
    expected.Model = "6404+";
    EXPECT_EQ(state.DeviceIdentity, expected);
    EXPECT_TRUE(state.PlusOption);
    EXPECT_FALSE(state.HighResolution);
}

TEST_F(DiscoveryTest, NothingSupportedFound)
{
    Generator(2, "6406");
    Generator(4, "6424", {}, "1.00");
    EXPECT_FALSE(FindDevice());
    EXPECT_FALSE(port->Opened());
    EXPECT_EQ(port->Port(), 4);
    EXPECT_EQ(state.DeviceIdentity.Model, "6424");  // the last identification parsed
    EXPECT_TRUE(dialogs.Shown.isEmpty());
    EXPECT_EQ(terminal.Clears, 0);
}

TEST_F(DiscoveryTest, SilentPortCostsItsWaitAndThreeTimeouts)
{
    Silent(7);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(FindDevice());
    EXPECT_GE(t.elapsed(), 400);
    EXPECT_TRUE(dialogs.Shown.isEmpty());
    EXPECT_EQ(state.DeviceIdentity, TDeviceIdentity{});  // no identification was parsed
}

TEST_F(DiscoveryTest, NoPortsAtAll)
{
    EXPECT_FALSE(FindDevice());
    EXPECT_EQ(dialogs.Texts(), QStringList{"No available ports."});
    EXPECT_FALSE(port->Opened());
}

TEST_F(DiscoveryTest, MoreThanHundredPortsFailsEvenWhenFound)
{
    for (int n = 1; n <= 100; ++n)
        folder.Link(n, "/nonexistent/dev");
    Generator(101, "6404");
    EXPECT_FALSE(FindDevice());
    EXPECT_TRUE(port->Opened());  // the port found stays open
    EXPECT_EQ(port->Port(), 101);
}

TEST_F(DiscoveryTest, LogOfAQuerySessionWithTheSimulator)
{
    Generator(3, "6404+");
    ASSERT_TRUE(FindDevice());
    QTemporaryDir dir;
    comm->Log().SetFolder(dir.path());
    comm->Log().FixNameParts("lab", QDateTime::currentDateTime());
    port->SetResponseTime(2000);
    comm->ToggleLoggingState();
    EXPECT_EQ(comm->QueryInteger(":PULS0:STAT"), 0);
    EXPECT_EQ(comm->QueryFloat(":PULS0:PER"), 0.001);
    EXPECT_EQ(comm->QueryInteger(":PULS0:MOD"), 0);  // a keyword: does not convert
    EXPECT_FALSE(comm->SendCommand(":PULS0:STAT ON").isEmpty());
    comm->ToggleLoggingState();
    const QStringList lines = ReadLogLines(comm->Log().FilePath());
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines[0].startsWith("JT6400 Communication Log File "));
    EXPECT_TRUE(LinesMatch(lines.mid(1), {
                                             "Sent    ({T}): :PULS0:STAT?",
                                             "Received({T}): 0",
                                             "Sent    ({T}): :PULS0:PER?",
                                             "Received({T}): 0.001000000000",
                                             "Sent    ({T}): :PULS0:MOD?",
                                             "Received({T}): NORM",
                                             "Exception Error ({T}",
                                             "Sent    ({T}): :PULS0:STAT ON",
                                             "Received({T}): ok",
                                         }));
}

// A generator that another program holds is passed by: pyserial's exclusive
// open, or the same device reached through an earlier link. Nothing is sent
// to it, and the search goes on to the next generator.
TEST_F(DiscoveryTest, AGeneratorHeldByAnotherProgramIsPassedBy)
{
    PtyServer& held = Generator(2, "6404+");
    const QString device = QFileInfo(QDir(folder.Path()).filePath("COM2")).canonicalFilePath();
    folder.Link(3, device);  // the same device once more
    PtyServer& free = Generator(5, "6402");
    THolder pyserial("pyserial", device);
    ASSERT_EQ(pyserial.Answer(), "held");
    ASSERT_TRUE(FindDevice());
    EXPECT_EQ(port->Port(), 5);
    EXPECT_TRUE(ReceivedLines(held.trace()).isEmpty());
    EXPECT_FALSE(ReceivedLines(free.trace()).isEmpty());
    EXPECT_TRUE(dialogs.Shown.isEmpty());
}

}  // namespace
