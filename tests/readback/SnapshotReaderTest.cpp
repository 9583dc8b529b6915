// The read-back without a window: a program with QCoreApplication only, not
// linked to Qt Widgets, finds a simulated generator of each model over a
// pseudo-terminal, reads it into a settings snapshot, and gets the settings
// lines the panel's own read-back of the same generator leaves.
#ifdef QT_WIDGETS_LIB
#error "the snapshot reader must work without the widget toolkit"
#endif

#include "comm/Communication.h"
#include "support/ScriptedDialogs.h"
#include "serial/JTComPort.h"
#include "model/ProgramState.h"
#include "support/PtyTestSupport.h"
#include "support/SimTrace.h"
#include "readback/SnapshotCases.h"
#include "readback/SnapshotReader.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>

namespace {

// What the panel's read-back of the generator leaves in its SettingsList.
QStringList PanelLines(const std::string& model, bool muxGate)
{
    QProcess panel;
    QStringList args{QString::fromStdString(model)};
    if (!muxGate)
        args << QStringLiteral("--no-muxgate");
    panel.start(QStringLiteral(PANEL_SNAPSHOT_LINES), args);
    const bool finished = panel.waitForFinished(120000);
    EXPECT_TRUE(finished && panel.exitStatus() == QProcess::NormalExit && panel.exitCode() == 0)
        << panel.readAllStandardError().toStdString();
    return QString::fromLatin1(panel.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A simulated generator on COM3 of a port folder, found by discovery as the
// panel finds it; the command channel to it needs no window.
class THeadlessGenerator {
public:
    THeadlessGenerator(const std::string& model, bool muxGate)
    {
        jt6400sim::Generator g(SnapshotGenerator(model, muxGate));
        g.setSettings(VariedSettings(g.model()));
        Settings = g.settings();
        Server = std::make_unique<jt6400sim::PtyServer>(
            std::move(g), SnapshotServer(QDir(Folder.Path()).filePath(QStringLiteral("COM3")).toStdString()));
        Server->start();
        const TScanResult scan = Comm.FindDevice();
        if (!scan.Found)
            throw std::runtime_error("discovery did not find the simulated generator");
        State.SetGenerator(scan.Identity);
        // The panel's response time after start-up.
        Port.SetResponseTime(2000);
        Mark = Server->trace().size();
    }
    ~THeadlessGenerator() { Server->stop(); }

    QStringList Received() const { return ReceivedLines(Server->trace(), Mark); }

    TPortFolder Folder;
    jt6400sim::Settings Settings;
    std::unique_ptr<jt6400sim::PtyServer> Server;
    TProgramState State;
    TScriptedDialogs Dialogs;
    TJTComPort Port{nullptr, &Dialogs};
    TCommunication Comm{Port, Dialogs};
    std::size_t Mark = 0;
};

using TCase = std::tuple<const char*, bool>;

class SnapshotReaderPerModel : public ::testing::TestWithParam<TCase> {};

TEST_P(SnapshotReaderPerModel, SameLinesAsThePanelAndTheRecordsFilled)
{
    const std::string model = std::get<0>(GetParam());
    const bool muxGate = std::get<1>(GetParam());
    const QStringList panel = PanelLines(model, muxGate);
    ASSERT_GT(panel.size(), 5);

    THeadlessGenerator generator(model, muxGate);
    // Identity and variant flags as discovery left them; a value that an
    // unknown keyword answer must leave alone.
    TSettingsSnapshot snapshot = generator.State;
    snapshot.ChannelSettings[1].Polarity = TChannelPolarity::Normal;
    TSnapshotReader reader(generator.Comm);
    ASSERT_TRUE(reader.Read(snapshot));

    // Line by line as the panel wrote them, the time stamp aside.
    EXPECT_EQ(snapshot.SettingsList.mid(1), panel.mid(1));

    // The records hold what the generator holds.
    const jt6400sim::ModelInfo info = jt6400sim::modelInfo(model);
    EXPECT_EQ(snapshot.DeviceIdentity.Model.toStdString(), model);
    EXPECT_EQ(snapshot.ChannelCount, info.ChannelCount);
    EXPECT_EQ(snapshot.StandardChannelCount(), info.StandardChannelCount);
    EXPECT_EQ(snapshot.MuxGateSupported, muxGate);
    const jt6400sim::SystemSettings& sys = generator.Settings.system;
    EXPECT_DOUBLE_EQ(snapshot.SystemSettings.Period, sys.Period);
    EXPECT_EQ(snapshot.SystemSettings.DutyOnCount, sys.DutyOnCount);
    EXPECT_EQ(IndexOf(snapshot.SystemSettings.SystemMode), sys.SystemMode);
    EXPECT_DOUBLE_EQ(snapshot.SystemSettings.TriggerLevel, sys.TriggerLevel);
    EXPECT_EQ(snapshot.SystemSettings.CycleCount, info.hasPlusFeatures() ? sys.CycleCount : 0);
    for (int n = 1; n <= info.ChannelCount; ++n) {
        SCOPED_TRACE(n);
        const TChannelSettings& r = snapshot.ChannelSettings[n];
        const jt6400sim::ChannelSettings& g = generator.Settings.channels[static_cast<std::size_t>(n - 1)];
        EXPECT_DOUBLE_EQ(r.Delay, g.Delay);
        EXPECT_DOUBLE_EQ(r.Width, g.Width);
        EXPECT_EQ(IndexOf(r.Mode), g.Mode);
        EXPECT_EQ(r.SyncSource, g.SyncSource);
        EXPECT_EQ(IndexOf(r.Polarity), n == 1 ? 1 : g.Polarity);     // unknown keyword: kept
        EXPECT_EQ(r.BurstCount, n == 2 ? 0 : g.BurstCount);  // no number: 0
        EXPECT_EQ(IndexOf(r.GateMode), g.GateMode);
        const bool standard = n <= info.StandardChannelCount;
        EXPECT_DOUBLE_EQ(r.Amplitude, standard ? g.Amplitude : 0);
        EXPECT_EQ(r.MuxMask, standard ? g.MuxMask : 0);
        EXPECT_EQ(IndexOf(r.MuxGate), standard && muxGate ? g.MuxGate : 0);
    }
    for (int n = info.ChannelCount + 1; n <= kMaxChannel; ++n)
        EXPECT_EQ(snapshot.ChannelSettings[n], TChannelSettings{});
}

INSTANTIATE_TEST_SUITE_P(Models, SnapshotReaderPerModel,
                         ::testing::Combine(::testing::ValuesIn(kSnapshotModels), ::testing::Bool()),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param);
                             for (char& ch : name)
                                 if (ch == '+')
                                     ch = 'P';
                             return "Model" + name + (std::get<1>(info.param) ? "" : "WithoutMuxGate");
                         });

// The hook the reader asks after every answer ends the read-back at once:
// no further query.
TEST(SnapshotReaderHook, FalseAfterAnAnswerEndsTheReadBack)
{
    THeadlessGenerator generator("6404+", true);
    int answers = 0;
    TSnapshotReader reader(generator.Comm, [&answers] { return ++answers < 5; });
    TSettingsSnapshot snapshot = generator.State;
    EXPECT_FALSE(reader.Read(snapshot));
    EXPECT_EQ(generator.Received(), (QStringList{":PULS0:EXTP:STAT?", ":PULS0:EXTP:AUT?", ":PULS0:EXTP:NCOU?",
                                                 ":PULS0:COUN:STAT?", ":PULS0:COUN:SOUR?"}));
    // The answer that came with the ending is not stored.
    EXPECT_EQ(snapshot.SystemSettings.ShotCountSource, 0);
    EXPECT_EQ(snapshot.SettingsList.size(), 5 + 4);
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
