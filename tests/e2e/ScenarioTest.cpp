// What a user does with the panel, from start to exit, against the simulator:
// everything goes through keys, clicks and menus; the checks look at the
// generator's traffic, the window and the files the panel writes.
#include "e2e/E2eSupport.h"
#include "e2e/HeldKey.h"
#include "e2e/Ui.h"
#include "jt6400/Version.h"

using namespace e2e;

namespace {

QString Caption(const QString& model, int port)
{
    return QStringLiteral("Jentrix Model %1  SW Version: " JT6400_VERSION " ComPort: %2").arg(model).arg(port);
}

// Lines received from index `from` on.
QStringList From(const QStringList& lines, qsizetype from)
{
    return lines.mid(from);
}

// Width and height from a baseline or progressive JPEG's frame header.
QSize JpegSize(const QByteArray& data)
{
    if (!data.startsWith("\xFF\xD8"))
        return {};
    for (qsizetype i = 2; i + 9 < data.size();) {
        if (static_cast<unsigned char>(data[i]) != 0xFF)
            return {};
        const auto marker = static_cast<unsigned char>(data[i + 1]);
        const int length = (static_cast<unsigned char>(data[i + 2]) << 8) | static_cast<unsigned char>(data[i + 3]);
        if (marker == 0xC0 || marker == 0xC2) {
            const int h = (static_cast<unsigned char>(data[i + 5]) << 8) | static_cast<unsigned char>(data[i + 6]);
            const int w = (static_cast<unsigned char>(data[i + 7]) << 8) | static_cast<unsigned char>(data[i + 8]);
            return {w, h};
        }
        i += 2 + length;
    }
    return {};
}

// The mean difference of two pictures' colour channels inside an area
// (0 to 255); a JPEG of quality 90 differs from its original by a few.
double MeanDifference(const QImage& a, const QImage& b, const QRect& area)
{
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            sum += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue());
        }
    return sum / (3.0 * area.width() * area.height());
}

// Pixels of the terminal's response colour (green 128) in a part of a photo.
int GreenPixels(const QImage& photo, const QRect& area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = photo.pixelColor(x, y);
            n += c.green() > 90 && c.red() < 60 && c.blue() < 60;
        }
    return n;
}

}  // namespace

// ---- Start-up per model, and exit through the File menu.

class StartUp : public Scenario, public ::testing::WithParamInterface<std::pair<const char*, int>> {};

TEST_P(StartUp, ReadsBackEveryChannelOfTheModelAndExitsWithCodeZero)
{
    const auto [model, channels] = GetParam();
    TSimulator& generator = AddSimulator(3, {"--model", model});
    StartPanel();
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());
    EXPECT_EQ(screen->Name(window), Caption(model, 3));
    const QStringList rx = generator.Received();
    EXPECT_EQ(rx.mid(0, 3), (QStringList{":SYST:COMM:USB:ECH OFF", ":SYST:COMM:BLUE:ECH OFF", "*IDN?"}));
    EXPECT_TRUE(rx.contains(QStringLiteral(":PULS%1:WIDT?").arg(channels))) << model;
    EXPECT_FALSE(rx.contains(QStringLiteral(":PULS%1:WIDT?").arg(channels + 1))) << model;

    Menu(window, {ui::kFileMenu, ui::kExit});
    ASSERT_TRUE(WaitForExit());
    EXPECT_EQ(ExitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(Models, StartUp,
                         ::testing::Values(std::pair{"6402", 2}, std::pair{"6404", 4}, std::pair{"6402+", 4},
                                           std::pair{"6404+", 8}, std::pair{"6422", 4}, std::pair{"6424", 8}),
                         [](const auto& info) {
                             std::string name = info.param.first;
                             if (name.back() == '+')
                                 name.back() = 'P';
                             return "Model" + name;
                         });

// ---- Ways to connect.

TEST_F(Scenario, DiscoveryPassesADeadLinkAndASilentGeneratorAndFindsTheLiveOne)
{
    LinkDead(1);
    TSimulator& silent = AddSimulator(2, {"--silent"});
    TSimulator& live = AddSimulator(3);
    StartPanel();
    const QString window = WaitForReady(live);
    ASSERT_FALSE(window.isEmpty());
    EXPECT_EQ(screen->Name(window), Caption("6404+", 3));
    EXPECT_FALSE(silent.Received().isEmpty()) << "the silent port was tried";
    EXPECT_FALSE(silent.Received().contains(":PULS0:PER?")) << "but never read back";
    EXPECT_TRUE(live.Received().contains(":PULS0:PER?"));
}

// In "Select Serial Port" (COM2 and COM5 listed), the user picks COM5 and
// presses OK; the panel then reads back COM5 and leaves COM2 alone.
class ManualPortChoice : public Scenario {
protected:
    void PickCom5(const QString& dialog, const TSimulator& other, const TSimulator& picked) const
    {
        screen->Focus(dialog);
        // The port list opens on a click; Down picks COM5, Enter closes the
        // list and Enter again is the dialog's OK.
        ASSERT_FALSE(ClickOpening(dialog, {73, 44}).isEmpty());
        screen->Keys({"Down", "Return", "Return"});
        const QString window = WaitForReady(picked);
        ASSERT_FALSE(window.isEmpty());
        EXPECT_TRUE(screen->Name(window).endsWith("ComPort: 5")) << screen->Name(window).toStdString();
        // The picked port was identified first, as discovery identifies each port.
        EXPECT_EQ(screen->Name(window), Caption("6424", 5));
        EXPECT_TRUE(picked.WaitForReceived(":PULS0:PER?"));
        EXPECT_TRUE(other.Received().isEmpty());
    }
};

TEST_F(ManualPortChoice, TalksToThePickedPortOnly)
{
    TSimulator& other = AddSimulator(2);
    TSimulator& picked = AddSimulator(5, {"--model", "6424", "--no-echo"});
    StartPanel({"--pick-port"});
    const QString dialog = screen->WaitForWindow(Pid(), "^Select Serial Port$");
    ASSERT_FALSE(dialog.isEmpty());
    PickCom5(dialog, other, picked);
}

// Space is held from before the panel starts until well after the dialog
// is up: neither its auto-repeats nor its release answer the dialog, which
// waits for the user's choice.
TEST_F(ManualPortChoice, SpaceHeldAtStartOpensTheChoiceUntilTheUserChooses)
{
    TSimulator& other = AddSimulator(2);
    TSimulator& picked = AddSimulator(5, {"--model", "6424", "--no-echo"});
    THeldKey space(screen->Display(), "space");
    ASSERT_TRUE(space.Down());
    // Each repeat reaches the panel as a release and a press with one time
    // stamp; the toolkit takes such a pair for a repeat only when it reads
    // both at once, and otherwise for a release and a new press. Repeats
    // every 2 ms make sure that happens while the dialog is up.
    constexpr int kIntervalMs = 2;
    const int delay = space.AutoRepeat(kIntervalMs);
    // The key is already repeating when the panel starts.
    QThread::msleep(static_cast<unsigned long>(delay + 5 * kIntervalMs));
    StartPanel();
    const QString dialog = screen->WaitForWindow(Pid(), "^Select Serial Port$");
    ASSERT_FALSE(dialog.isEmpty());
    QThread::msleep(static_cast<unsigned long>(delay + 250 * kIntervalMs));
    EXPECT_EQ(panel.state(), QProcess::Running);
    EXPECT_FALSE(screen->Windows(Pid(), "^Select Serial Port$").isEmpty());
    space.Release();
    PickCom5(dialog, other, picked);
}

TEST_F(Scenario, DemonstrationModeSendsNothing)
{
    TSimulator& generator = AddSimulator(3);
    StartPanel({"--demo"});
    ASSERT_TRUE(Answer(Pid(), {"Return"}));  // "Entering Demo Mode"
    const QString window = WaitForMainWindow(Pid());
    ASSERT_FALSE(window.isEmpty());
    EXPECT_TRUE(screen->Name(window).endsWith("ComPort: Demo")) << screen->Name(window).toStdString();
    // Past the time of the first two status polls (the launch's 500 ms and
    // two 1 s intervals after it), with room for a busy machine: still not
    // one byte on the line.
    QThread::msleep(3000);
    EXPECT_TRUE(generator.Traffic().isEmpty());
}

// ---- Edits, Run/Stop, terminal.

// The wheel turned over the channel-mode list (its text and its arrow) and
// over a spin edit while the terminal has the focus changes nothing; once
// the list has the focus, the wheel steps it and the panel sends that.
TEST_F(Scenario, TheWheelChangesOnlyTheFocusedControl)
{
    TSimulator& generator = AddSimulator(3);
    StartPanel();
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());
    const QPoint modeText(ui::kChModeArrow.x() - 60, ui::kChModeArrow.y());
    auto wheelDown = [&](const QPoint& at) {
        const TScreen::TGeometry g = screen->Geometry(window);
        screen->Xdo({"mousemove", QString::number(g.x + at.x()), QString::number(g.y + at.y()), "click", "5"});
    };

    screen->Click(window, ui::kSendEdit.x(), ui::kSendEdit.y());
    for (const QPoint& at : {modeText, ui::kChModeArrow, ui::kChDelayText})
        wheelDown(at);
    // A command typed afterwards shows that the wheel's turn has been handled.
    const int identified = generator.CountReceived("*IDN?");
    screen->Click(window, ui::kSendEdit.x(), ui::kSendEdit.y());
    screen->Type("*IDN?");
    screen->Keys({"Return"});
    ASSERT_TRUE(generator.WaitForReceived("*IDN?", identified + 1));
    for (const QString& line : generator.Received())
        EXPECT_FALSE(line.startsWith(":PULS1:CMOD ") || line.startsWith(":PULS1:DEL ")) << line.toStdString();

    screen->Click(window, modeText.x(), modeText.y());
    wheelDown(modeText);
    EXPECT_TRUE(generator.WaitForReceived(":PULS1:CMOD SING"));

    // The focused spin edit steps its selected digit (after the click, the
    // seconds) with each notch, one command a notch.
    screen->Click(window, ui::kChDelayText.x(), ui::kChDelayText.y());
    wheelDown(ui::kChDelayText);
    EXPECT_TRUE(generator.WaitForReceived(":PULS1:DEL -1.000000000000"));
    wheelDown(ui::kChDelayText);
    EXPECT_TRUE(generator.WaitForReceived(":PULS1:DEL -2.000000000000"));
    EXPECT_EQ(generator.CountReceived(":PULS1:DEL -1.000000000000"), 1);
}

TEST_F(Scenario, EveryKindOfControlSendsItsCommandOnce)
{
    TSimulator& generator = AddSimulator(3);
    StartPanel();
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());

    // Spin edit: the click puts the caret after the seconds digit; one step
    // up with the arrow key.
    screen->Click(window, ui::kChDelayText.x(), ui::kChDelayText.y());
    screen->Keys({"Up"});
    EXPECT_TRUE(generator.WaitForReceived(":PULS1:DEL 1.000000000000"));
    // Combo box: Normal → Burst from its list.
    ASSERT_FALSE(ClickOpening(window, ui::kChModeArrow).isEmpty());
    screen->Keys({"Down", "Down", "Return"});
    EXPECT_TRUE(generator.WaitForReceived(":PULS1:CMOD BURS"));
    // Check box and check-list item.
    screen->Click(window, ui::kChEnable.x(), ui::kChEnable.y());
    EXPECT_TRUE(generator.WaitForReceived(":PULS1:STAT 0"));
    screen->Click(window, ui::kChMuxB.x(), ui::kChMuxB.y());
    EXPECT_TRUE(generator.WaitForReceived(":PULS1:MUX 3"));

    // Sync source: channel B follows A; A following B then would be a
    // loop and is refused with a message.
    screen->Click(window, ui::kChTabB.x(), ui::kChTabB.y());
    ASSERT_FALSE(ClickOpening(window, ui::kChSyncArrow).isEmpty());
    screen->Keys({"Down", "Return"});  // T0 → Ch A
    EXPECT_TRUE(generator.WaitForReceived(":PULS2:SYNC CHA"));
    screen->Click(window, ui::kChTabA.x(), ui::kChTabA.y());
    ASSERT_FALSE(ClickOpening(window, ui::kChSyncArrow).isEmpty());
    screen->Keys({"Down", "Return"});  // T0 → Ch B
    ASSERT_TRUE(Answer(Pid(), {"Return"}));
    EXPECT_TRUE(WaitFor([&] { return NoBoxOf(Pid()); }));

    // A last edit shows that everything before it has gone out.
    screen->Click(window, ui::kRunStop.x(), ui::kRunStop.y());
    ASSERT_TRUE(generator.WaitForReceived(":PULS0:STAT ON"));
    const QStringList rx = generator.Received();
    for (const char* line : {":PULS1:DEL 1.000000000000", ":PULS1:CMOD BURS", ":PULS1:STAT 0", ":PULS1:MUX 3",
                             ":PULS2:SYNC CHA", ":PULS0:STAT ON"})
        EXPECT_EQ(rx.count(line), 1) << line;
    EXPECT_TRUE(rx.filter(QRegularExpression("^:PULS1:SYNC ")).isEmpty())
        << rx.filter(QRegularExpression("^:PULS1:SYNC ")).join(" | ").toStdString();
}

TEST_F(Scenario, RunStopSwitchesTheGeneratorAndTheButton)
{
    TSimulator& generator = AddSimulator(3);
    StartPanel();
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());
    const QRect button(526, 22, 90, 60);  // inside the Run/Stop button's frame
    const QImage run = screen->Photograph(window).copy(button);

    screen->Click(window, ui::kRunStop.x(), ui::kRunStop.y());
    ASSERT_TRUE(generator.WaitForReceived(":PULS0:STAT ON"));
    QImage stop;
    EXPECT_TRUE(WaitFor([&] { return (stop = screen->Photograph(window).copy(button)) != run; }));

    screen->Click(window, ui::kRunStop.x(), ui::kRunStop.y());
    ASSERT_TRUE(generator.WaitForReceived(":PULS0:STAT OFF"));
    EXPECT_TRUE(WaitFor([&] { return screen->Photograph(window).copy(button) != stop; }));
    EXPECT_EQ(generator.CountReceived(":PULS0:STAT ON"), 1);
    EXPECT_EQ(generator.CountReceived(":PULS0:STAT OFF"), 1);
}

TEST_F(Scenario, TerminalSendsTheTypedLineAndShowsTheReply)
{
    TSimulator& generator = AddSimulator(3);
    StartPanel();
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());
    EXPECT_EQ(GreenPixels(screen->Photograph(window), ui::kTerminalLines), 0) << "the read-back shows nothing there";

    screen->Click(window, ui::kSendEdit.x(), ui::kSendEdit.y());
    screen->Type(":PULS2:POL?");
    screen->Keys({"Return"});
    ASSERT_TRUE(generator.WaitForReceived(":PULS2:POL?", 2));  // the read-back asked once
    EXPECT_TRUE(WaitFor([&] { return GreenPixels(screen->Photograph(window), ui::kTerminalLines) > 20; }));
    EXPECT_EQ(generator.CountReceived(":PULS2:POL?"), 2);
}

// ---- Files: log, settings, capture; storage bins.

TEST_F(Scenario, LogFileHoldsEveryExchangeAfterDiscovery)
{
    TSimulator& generator = AddSimulator(3);
    StartPanel({"-log"});
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());
    screen->Click(window, ui::kRunStop.x(), ui::kRunStop.y());
    ASSERT_TRUE(generator.WaitForReceived(":PULS0:STAT ON"));
    Menu(window, {ui::kFileMenu, ui::kExit});
    ASSERT_TRUE(WaitForExit());
    EXPECT_EQ(ExitCode(), 0);

    const QStringList logs = QDir(folder.path()).entryList({"JT6400LogFile_*"});
    ASSERT_EQ(logs.size(), 1);
    QFile f(Path(logs.first()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.endsWith("\r\n"));
    QStringList sent, received;
    static const QRegularExpression line(R"(^(Sent    |Received)\(\d\d:\d\d:\d\d\.\d\d\d\): (.*)$)");
    for (const QByteArray& raw : text.split('\n')) {
        const auto m = line.match(QString::fromLatin1(raw).trimmed());
        if (m.hasMatch())
            (m.captured(1).startsWith("Sent") ? sent : received) << m.captured(2);
    }
    // Discovery (two echo switches, two identifications) is never logged.
    QStringList tx;
    for (const QString& l : generator.Traffic())
        if (l.startsWith("TX "))
            tx << l.mid(3);
    EXPECT_EQ(sent, From(generator.Received(), 4));
    EXPECT_EQ(received, From(tx, 4));
}

TEST_F(Scenario, StorageBinsSaveAndRecallWithAReadBack)
{
    TSimulator& generator = AddSimulator(3);
    StartPanel();
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());

    Menu(window, {ui::kStorageMenu, ui::kSaveToBin, ui::SaveBin(2)});
    ASSERT_TRUE(generator.WaitForReceived("*SAV 2"));
    Menu(window, {ui::kStorageMenu, ui::kRestoreFromBin, ui::RestoreBin(3)});
    ASSERT_TRUE(generator.WaitForReceived("*RCL 3"));
    ASSERT_TRUE(WaitFor([&] {
        const QStringList rx = generator.Received();
        return From(rx, rx.indexOf("*RCL 3")).contains(QStringLiteral(":PULS%1:WIDT?").arg(8));
    })) << "the recall is followed by a read-back";
    EXPECT_EQ(generator.CountReceived("*SAV 2"), 1);
    EXPECT_EQ(generator.CountReceived("*RCL 3"), 1);
}

TEST_F(Scenario, SettingsFileSavedAndRestoredThroughTheFileDialogs)
{
    TSimulator& generator = AddSimulator(3, {"--model", "6402"});
    StartPanel();
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());
    const QString file = Path("bench-setup.txt");

    Menu(window, {ui::kStorageMenu, ui::kSaveToFile});
    const QString save = screen->WaitForWindow(Pid(), "^Save system parameters$");
    ASSERT_FALSE(save.isEmpty());
    screen->Focus(save);
    screen->Type(file);
    screen->Keys({"Return"});
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(file).size() > 0; }));
    QFile f(file);
    ASSERT_TRUE(WaitFor([&] { return NoBoxOf(Pid()) && screen->Windows(Pid(), "^Save system").isEmpty(); }));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QStringList commands;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString l = QString::fromLatin1(raw).trimmed();
        if (!l.isEmpty() && !l.contains("//"))
            commands << l;
    }
    ASSERT_GT(commands.size(), 20);

    const qsizetype before = generator.Received().size();
    Menu(window, {ui::kStorageMenu, ui::kRestoreFromFile});
    const QString open = screen->WaitForWindow(Pid(), "^Open$");
    ASSERT_FALSE(open.isEmpty());
    screen->Focus(open);
    screen->Type(file);
    screen->Keys({"Return"});
    ASSERT_TRUE(Answer(Pid(), {"Return"}));  // "Settings loaded."
    const QStringList rx = From(generator.Received(), before);
    // Every line of the file went out once, in the file's order.
    qsizetype at = 0;
    for (const QString& c : commands) {
        at = rx.indexOf(c, at);
        ASSERT_GE(at, 0) << c.toStdString();
        EXPECT_EQ(rx.count(c), 1) << c.toStdString();
    }
}

// A name typed without an extension in the file dialogs means the ".txt"
// file of that name, when restoring and when saving.
TEST_F(Scenario, FileDialogsTakeANameTypedWithoutItsExtensionAsTxt)
{
    TSimulator& generator = AddSimulator(3, {"--model", "6402"});
    QFile file(Path("noext.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("// typed without .txt\r\n:PULS0:PER 0.0025\r\n:PULS2:WIDT 0.000003\r\n");
    file.close();
    StartPanel();
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());

    Menu(window, {ui::kStorageMenu, ui::kRestoreFromFile});
    const QString open = screen->WaitForWindow(Pid(), "^Open$");
    ASSERT_FALSE(open.isEmpty());
    screen->Focus(open);
    screen->Type("noext");
    screen->Keys({"Return"});
    ASSERT_TRUE(Answer(Pid(), {"Return"})) << "no \"Settings loaded.\"";
    EXPECT_EQ(generator.CountReceived(":PULS0:PER 0.0025"), 1);
    EXPECT_EQ(generator.CountReceived(":PULS2:WIDT 0.000003"), 1);

    ASSERT_TRUE(WaitFor([&] { return NoBoxOf(Pid()); }));
    Menu(window, {ui::kStorageMenu, ui::kSaveToFile});
    const QString save = screen->WaitForWindow(Pid(), "^Save system parameters$");
    ASSERT_FALSE(save.isEmpty());
    screen->Focus(save);
    screen->Type("saved");
    screen->Keys({"Return"});
    EXPECT_TRUE(WaitFor([&] { return QFileInfo(Path("saved.txt")).size() > 0; }));
    EXPECT_FALSE(QFileInfo::exists(Path("saved")));
}

// The capture is taken through the Tools menu; the picture shows the window
// as it is once that menu has closed, not the menu over it.
TEST_F(Scenario, CaptureWritesAJpegOfTheWindowWithoutTheMenu)
{
    TSimulator& generator = AddSimulator(3);
    StartPanel();
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());
    const TScreen::TGeometry g = screen->Geometry(window);
    const QRect frame(g.x, g.y, g.width, g.height);

    const QImage closed = screen->Photograph(window);
    const QString tools = ClickOpening(window, ui::kToolsMenu);
    ASSERT_FALSE(tools.isEmpty());
    const TScreen::TGeometry m = screen->Geometry(tools);
    // Where the menu lies, in the window's coordinates.
    const QRect menu = QRect(m.x, m.y, m.width, m.height).intersected(frame).translated(-frame.topLeft());
    ASSERT_GT(menu.width() * menu.height(), 2000);
    ASSERT_TRUE(WaitFor([&] { return MeanDifference(screen->Photograph(window), closed, menu) > 20.0; }))
        << "the menu is drawn over the window";
    screen->Click(window, ui::kCapture.x(), ui::kCapture.y());
    const QString file = Path("6400ScreenShot.jpg");
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(file).size() > 0; }));  // written whole, then renamed
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray jpeg = f.readAll();
    EXPECT_EQ(JpegSize(jpeg), QSize(g.width, g.height));

    // The window as the screen shows it now, the menu closed.
    const QImage shown = screen->Photograph(window);
    const QImage picture = QImage::fromData(jpeg, "JPG");
    ASSERT_FALSE(picture.isNull());
    EXPECT_LT(MeanDifference(picture, shown, menu), 8.0) << "the capture shows the menu";
}

// Tools > Timing Diagram opens the diagram beside the panel; a click on a
// channel's Enabled box redraws it.
TEST_F(Scenario, TimingDiagramOpensFromTheToolsMenuAndFollowsAClickInTheWindow)
{
    TSimulator& generator = AddSimulator(3);
    StartPanel();
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());
    ASSERT_FALSE(ClickOpening(window, ui::kToolsMenu).isEmpty());
    screen->Click(window, ui::kTimingDiagram.x(), ui::kTimingDiagram.y());
    const QString diagram = screen->WaitForWindow(Pid(), "^Timing Diagram$");
    ASSERT_FALSE(diagram.isEmpty());
    // Beside the panel, so that neither covers the other.
    const TScreen::TGeometry g = screen->Geometry(window);
    screen->Xdo({"windowsize", "--sync", diagram, QString::number(std::max(200, g.x - 10)), "600"});
    screen->Xdo({"windowmove", "--sync", diagram, "0", "0"});
    QImage before;
    ASSERT_TRUE(WaitFor([&] {
        const QImage shot = screen->Photograph(diagram);
        const bool settled = !before.isNull() && shot == before;
        before = shot;
        return settled;
    })) << "the diagram keeps changing";

    screen->Click(window, ui::kChEnable.x(), ui::kChEnable.y());
    EXPECT_TRUE(generator.WaitForReceived(":PULS1:STAT 0"));
    EXPECT_TRUE(WaitFor([&] { return screen->Photograph(diagram) != before; })) << "the diagram was not redrawn";
}

// ---- Restart.

TEST_F(Scenario, RestartEndsThisPanelAndANewOneFindsTheGeneratorAgain)
{
    TSimulator& generator = AddSimulator(3);
    StartPanel();
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());
    const qint64 first = Pid();
    const int identified = generator.CountReceived("*IDN?");

    Menu(window, {ui::kFileMenu, ui::kRestart});
    ASSERT_TRUE(WaitForExit());
    EXPECT_EQ(ExitCode(), 0);
    const qint64 second = WaitForRestartedPanel(first);
    ASSERT_NE(second, 0);
    EXPECT_FALSE(WaitForMainWindow(second).isEmpty()) << Situation(second, generator);
    EXPECT_GT(generator.CountReceived("*IDN?"), identified);
}

// No generator answers: "No device found. Try to reconnect?" Yes ends this
// panel and starts a new one with the same switches, which searches again
// and asks again; No there ends it.
TEST_F(Scenario, NoDeviceFoundYesStartsANewPanelThatSearchesAndAsksAgain)
{
    LinkDead(1);
    const QStringList switches{"-log", "--remote", "127.0.0.1:5999", "--remote-allow", "127.0.0.1",
                               "--remote-line-mode"};
    StartPanel(switches);
    const qint64 first = Pid();
    ASSERT_TRUE(Answer(first, {"alt+y"}, 15000)) << "no question came";
    ASSERT_TRUE(WaitForExit());
    EXPECT_EQ(ExitCode(), 0);
    const qint64 second = WaitForRestartedPanel(first);
    ASSERT_NE(second, 0) << "no new panel came";
    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(second));
    ASSERT_TRUE(commandLine.open(QIODevice::ReadOnly));
    QStringList arguments;
    for (const QByteArray& argument : commandLine.readAll().split('\0'))
        arguments << QString::fromLocal8Bit(argument);
    EXPECT_EQ(arguments.mid(1, switches.size()), switches);
    ASSERT_TRUE(Answer(second, {"alt+n"}, 15000)) << "the new panel did not ask";
    EXPECT_TRUE(WaitFor([&] { return PanelsIn(folder.path()).empty(); }));
}

// A panel started with -log that restarts itself starts the new one with
// -log too, and the new one writes its traffic to a log file.
TEST_F(Scenario, RestartKeepsTheLogSwitch)
{
    TSimulator& generator = AddSimulator(3);
    StartPanel({"-log"});
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());
    const qint64 first = Pid();

    Menu(window, {ui::kFileMenu, ui::kRestart});
    ASSERT_TRUE(WaitForExit());
    // The first panel has ended: the next run-state question is the second
    // panel's, asked once its read-back is over.
    const int polled = generator.CountReceived(":PULS0:STAT?");
    const qint64 second = WaitForRestartedPanel(first);
    ASSERT_NE(second, 0);
    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(second));
    ASSERT_TRUE(commandLine.open(QIODevice::ReadOnly));
    EXPECT_TRUE(commandLine.readAll().split('\0').contains("-log"));
    const QString again = WaitForMainWindow(second);
    ASSERT_FALSE(again.isEmpty()) << Situation(second, generator);
    ASSERT_TRUE(generator.WaitForReceived(":PULS0:STAT?", polled + 1, 15000)) << Situation(second, generator);
    screen->Click(again, ui::kRunStop.x(), ui::kRunStop.y());
    ASSERT_TRUE(generator.WaitForReceived(":PULS0:STAT ON"));
    Menu(again, {ui::kFileMenu, ui::kExit});
    ASSERT_TRUE(WaitFor([&] { return PanelsIn(folder.path()).empty(); }));

    // Only the second panel ran the generator: its log holds the Run.
    QStringList logged;
    for (const QString& name : QDir(folder.path()).entryList({"JT6400LogFile_*"})) {
        QFile log(Path(name));
        if (log.open(QIODevice::ReadOnly) && log.readAll().contains(": :PULS0:STAT ON"))
            logged << name;
    }
    EXPECT_EQ(logged.size(), 1) << "no log file holds the new panel's Run";
}
