// Start-up paths, exit and restart, and the command terminal of the program's
// frame, against simulated generators on pseudo-terminals.
#include "support/AppStart.h"
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMovie>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QPointer>
#include <QTimer>

#include "app/App.h"
#include "app/Program.h"
#include "scheduling/StatusPoll.h"
#include "support/AppTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "window/MainForm.h"
#include "serial/JTComPort.h"
#include "serial/PickPort.h"
#include "PtyServer.h"
#include "support/SimTrace.h"
#include "support/SimulatedGenerator.h"
#include "support/PtyTestSupport.h"
#include "support/RefusedDevice.h"
#include "scheduling/TaskQueue.h"
#include "support/LineWait.h"
#include "widgets/PlusSpinEdit.h"

namespace {

using jt6400sim::PtyServer;

class Startup : public ::testing::Test {
protected:
    // A simulated generator of the given model linked as COM<n>.
    PtyServer& Generator(int n, const std::string& model)
    {
        jt6400sim::GeneratorOptions g;
        g.identity.model = model;
        servers.push_back(ServeGenerator(folder.Path(), n, jt6400sim::Generator(g)));
        return *servers.back();
    }
    TJT6400App& App(jt::TCommandLineOptions options = {})
    {
        app = std::make_unique<TJT6400App>(options, TJT6400App::TServices{dialogs, keys, process});
        return *app;
    }
    static QStringList Received(const PtyServer& server) { return ReceivedLines(server.trace()); }

    TPortFolder folder;
    std::vector<std::unique_ptr<PtyServer>> servers;
    TScriptedDialogs dialogs;
    TScriptedKeys keys;
    TRecordingProcess process;
    std::unique_ptr<TJT6400App> app;
};

// Answers "Select Serial Port" each time a new one comes up, with the next
// of Choices: a port's name ("COM5") and OK, "" for OK with nothing selected,
// or "cancel". Records what each dialog listed.
class TPortPicker {
public:
    explicit TPortPicker(QStringList choices) : FChoices(std::move(choices))
    {
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Look(); });
        FTimer.start(5);
    }
    QList<QStringList> Listed;

private:
    void Look()
    {
        auto* dlg = qobject_cast<TformPickPort*>(QApplication::activeModalWidget());
        if (!dlg || !dlg->isVisible() || dlg == FLast || FChoices.isEmpty())
            return;
        FLast = dlg;
        QStringList items;
        for (int i = 0; i < dlg->listPorts->count(); ++i)
            items << dlg->listPorts->itemText(i);
        Listed << items;
        const QString choice = FChoices.takeFirst();
        if (choice == "cancel") {
            dlg->CancelBtn->click();
            return;
        }
        dlg->listPorts->setCurrentIndex(dlg->listPorts->findText(choice));
        dlg->OKBtn->click();
    }
    QStringList FChoices;
    QPointer<TformPickPort> FLast;
    QTimer FTimer;
};

const QString kNoDevice =
    "No device found. Try to reconnect?\n\r\n\rMake sure unit is fully powered on\n\rbefore selecting Yes";

}  // namespace

TEST_F(Startup, DiscoveryConnectsAndPreparesTheLaunch)
{
    Generator(3, "6402+");
    TJT6400App& a = App();
    const int pauses = TLineOwner::WindowThreadPauses();
    ASSERT_TRUE(a.Start());
    EXPECT_TRUE(a.Starting()) << "the scan runs as a job on the line, the window's thread goes on";
    ASSERT_TRUE(WaitUntil([&] { return !a.Starting() && a.Line().Idle(); }));
    EXPECT_EQ(TLineOwner::WindowThreadPauses(), pauses);
    EXPECT_FALSE(a.Ending());
    EXPECT_TRUE(dialogs.Shown.isEmpty());
    EXPECT_EQ(a.State().DeviceIdentity.Model, "6402+");
    EXPECT_TRUE(a.State().PlusOption);
    const TJTComPort& port = a.Port();
    EXPECT_TRUE(port.Opened());
    EXPECT_EQ(port.Port(), 3);
    EXPECT_EQ(port.ResponseTime(), 2000u);
    EXPECT_TRUE(port.AllowEvents());
    EXPECT_TRUE(a.LaunchTimer().isActive());
    EXPECT_EQ(a.LaunchTimer().interval(), 500);
    EXPECT_EQ(a.Form().PulseMovie->speed(), 200);
    EXPECT_FALSE(a.Comm().Log().Enabled());
}

TEST_F(Startup, LeftShiftEntersDemonstrationModeWithoutTouchingAPort)
{
    PtyServer& generator = Generator(3, "6404+");
    keys.LeftShift = {true};
    TProgram program({}, TJT6400App::TServices{dialogs, keys, process});
    TJT6400App& a = program.App();
    ASSERT_TRUE(StartUp(a));
    EXPECT_EQ(dialogs.Texts(), QStringList{"Entering Demo Mode"});
    EXPECT_TRUE(a.Comm().DemoMode());
    EXPECT_FALSE(a.Port().Opened());
    // The launch step runs the read-back but never starts the status poll.
    int readBacks = 0;
    QObject::connect(&a, &TJT6400App::ReadBackDue, [&] { ++readBacks; });
    a.LaunchTimerTimer();
    EXPECT_EQ(readBacks, 1);
    EXPECT_FALSE(program.StatusPoll().Active());
    EXPECT_TRUE(Received(generator).isEmpty());
}

// The demonstration mode sends nothing, even where the port it names (COM1)
// is a real generator: every way of sending reaches no port, shows no error
// box, and the terminal says that nothing was sent.
TEST_F(Startup, NothingIsSentInDemonstrationMode)
{
    PtyServer& generator = Generator(1, "6404+");
    keys.LeftShift = {true};
    TProgram program({}, TJT6400App::TServices{dialogs, keys, process});
    TJT6400App& a = program.App();
    ASSERT_TRUE(StartUp(a));
    a.LaunchTimerTimer();
    ASSERT_TRUE(WaitForLine(a.Line()));
    TMainForm& f = a.Form();
    struct Case {
        const char* name;
        std::function<void()> send;
        QString echo;
    };
    const Case cases[] = {
        {"an edit", [&] { f.ChannelControls.ChWidthAdj[1]->setValue(2e-6); }, ":PULS1:WIDT 0.000002000"},
        {"Run", [&] { f.RunStopBtn->click(); }, ":PULS0:STAT ON"},
        {"a terminal command", [&] { a.SendTerminalText("*IDN?"); }, "*IDN?"},
        {"a bin save", [&] { f.SaveToBinActions[2]->trigger(); }, "*SAV 2"},
        {"a bin recall", [&] { f.RestoreFromBinActions[3]->trigger(); }, "*RCL 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.ResponseList->clear();
        c.send();
        a.Queue().ProcessTasks();
        ASSERT_TRUE(WaitUntil([&] { return a.Line().Idle() && a.Queue().TaskCount() == 0; }));
        const QString terminal = f.ResponseList->toPlainText();
        EXPECT_TRUE(terminal.contains(c.echo)) << terminal.toStdString();
        EXPECT_TRUE(terminal.contains("Not sent: demonstration mode, no generator")) << terminal.toStdString();
    }
    EXPECT_EQ(dialogs.Texts(), QStringList{"Entering Demo Mode"});
    EXPECT_FALSE(a.Port().Opened());
    EXPECT_TRUE(Received(generator).isEmpty());
}

TEST_F(Startup, NoDeviceFoundOffersRestartExitOrDemonstration)
{
    struct Case {
        const char* name;
        TMsgButton answer;
        QList<bool> leftShift;
        bool windowComes;
        QList<QString> processCalls;
    };
    const Case cases[] = {
        {"yes restarts", TMsgButton::mbYes, {false}, false, {"sleep 500", "start"}},
        {"no exits", TMsgButton::mbNo, {false}, false, {}},
        {"no with left shift enters demo mode", TMsgButton::mbNo, {false, true}, true, {}},
    };
    folder.Link(4, "/nonexistent/ttyUSB0");  // a port, but no generator on it
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.Shown.clear();
        dialogs.Answers = {c.answer};
        keys.LeftShift = c.leftShift;
        keys.LeftShiftQueries = 0;
        process.Calls.clear();
        TJT6400App& a = App();
        EXPECT_EQ(StartUp(a), c.windowComes);
        ASSERT_FALSE(dialogs.Shown.isEmpty());
        EXPECT_EQ(dialogs.Shown[0].Text, kNoDevice);
        EXPECT_EQ(dialogs.Shown[0].Buttons, mbYesNo);
        EXPECT_EQ(process.Calls, c.processCalls);
        EXPECT_EQ(a.Comm().DemoMode(), c.windowComes);
        EXPECT_EQ(a.Ending(), !c.windowComes);
        a.Show();
        EXPECT_EQ(a.Form().isVisible(), c.windowComes);
        EXPECT_EQ(a.LaunchTimer().isActive(), c.windowComes);
    }
}

// The generator's device refuses this user: the question says so first, with
// the "dialout" advice, and keeps its buttons and what they do. Root may open
// any device; the app.WithoutPermissionOverride test entry runs this without
// root's override.
TEST_F(Startup, NoPermissionPutsTheDialoutAdviceBeforeTheQuestion)
{
    const PtyServer& generator = Generator(3, "6404+");
    folder.Link(4, "/nonexistent/ttyUSB0");  // missing, which is no permission problem
    const TRefusedDevice refused(QByteArray::fromStdString(generator.devicePath()));
    if (!refused.Refuses())
        GTEST_SKIP() << "this process may open any device (root's override); "
                        "the app.WithoutPermissionOverride test entry runs it without";

    const QString question =
        "No permission to open COM3. Serial ports belong to the \"dialout\" group: add your user to it "
        "(sudo usermod -aG dialout $USER), then log out and in again.\n\r\n\r" +
        kNoDevice;
    struct Case {
        const char* name;
        TMsgButton answer;
        QList<QString> processCalls;
    };
    const Case cases[] = {
        {"yes restarts", TMsgButton::mbYes, {"sleep 500", "start"}},
        {"no exits", TMsgButton::mbNo, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.Shown.clear();
        dialogs.Answers = {c.answer};
        process.Calls.clear();
        TJT6400App& a = App();
        EXPECT_FALSE(StartUp(a));
        ASSERT_EQ(dialogs.Shown.size(), 1);
        EXPECT_EQ(dialogs.Shown[0].Text, question);
        EXPECT_EQ(dialogs.Shown[0].Buttons, mbYesNo);
        EXPECT_EQ(process.Calls, c.processCalls);
        EXPECT_TRUE(a.Ending());
    }
    EXPECT_TRUE(Received(generator).isEmpty());
}

TEST_F(Startup, CancelledPortChoiceEndsWithoutTheWindow)
{
    Generator(3, "6404+");
    keys.Space = true;
    // The port dialog runs modally; cancel it as soon as it is up.
    QTimer watcher;
    watcher.setInterval(5);
    QObject::connect(&watcher, &QTimer::timeout, [&watcher] {
        if (auto* dlg = qobject_cast<TformPickPort*>(QApplication::activeModalWidget())) {
            watcher.stop();
            dlg->CancelBtn->click();
        }
    });
    watcher.start();
    TJT6400App& a = App();
    EXPECT_FALSE(StartUp(a));
    EXPECT_TRUE(a.Ending());
    EXPECT_FALSE(a.Port().Opened());
    EXPECT_TRUE(process.Calls.isEmpty());
}

// A port picked by hand is probed as discovery probes each port (echo off,
// identification) and read back as the generator it names: a 6424's identity
// and resolution, not an unknown model's.
TEST_F(Startup, APickedPortIsIdentifiedAsDiscoveryIdentifiesEachPort)
{
    PtyServer& other = Generator(2, "6404+");
    PtyServer& picked = Generator(5, "6424");
    keys.Space = true;
    TPortPicker picker({"COM5"});
    TJT6400App& a = App();
    ASSERT_TRUE(StartUp(a));
    EXPECT_EQ(picker.Listed, (QList<QStringList>{{"COM2", "COM5"}}));
    EXPECT_TRUE(dialogs.Shown.isEmpty());
    EXPECT_EQ(a.Port().Port(), 5);
    EXPECT_EQ(a.State().DeviceIdentity.Model, "6424");
    EXPECT_EQ(a.State().DeviceIdentity.SerialNumber, 1234);
    EXPECT_FALSE(a.State().PlusOption);
    EXPECT_TRUE(a.State().HighResolution);
    EXPECT_EQ(Received(picked),
              (QStringList{":SYST:COMM:USB:ECH OFF", ":SYST:COMM:BLUE:ECH OFF", "*IDN?", "*IDN?"}));
    EXPECT_TRUE(Received(other).isEmpty());
    EXPECT_EQ(a.Port().ResponseTime(), 2000u);
}

// A picked port without a supported generator is named, and the choice is
// offered again, as is OK with nothing selected; Cancel then ends the
// program. With no port at all the user is told so.
TEST_F(Startup, APickedPortWithoutAGeneratorIsNamedAndTheChoiceOfferedAgain)
{
    jt6400sim::ServerOptions quiet;
    quiet.silent = true;
    servers.push_back(ServeGenerator(folder.Path(), 2, jt6400sim::Generator(jt6400sim::GeneratorOptions{}), quiet));
    Generator(4, "6406");
    PtyServer& generator = Generator(6, "6404");
    keys.Space = true;
    struct Case {
        const char* name;
        QStringList choices;
        QStringList texts;
        bool connected;
    };
    const Case cases[] = {
        {"silent, unsupported, then a generator",
         {"COM2", "COM4", "COM6"},
         {"No generator answers on COM2.", "The instrument on COM4 (model \"6406\") is not a supported generator."},
         true},
        {"nothing selected, then cancel", {"", "cancel"}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.Shown.clear();
        process.Calls.clear();
        TPortPicker picker(c.choices);
        TJT6400App& a = App();
        EXPECT_EQ(StartUp(a), c.connected);
        EXPECT_EQ(dialogs.Texts(), c.texts);
        EXPECT_EQ(picker.Listed.size(), c.choices.size());
        EXPECT_TRUE(process.Calls.isEmpty());
        if (c.connected) {
            EXPECT_EQ(a.Port().Port(), 6);
            EXPECT_EQ(a.State().DeviceIdentity.Model, "6404");
            EXPECT_EQ(Received(generator).count("*IDN?"), 2);
        }
        app.reset();
    }
}

TEST_F(Startup, APortChoiceWithoutPortsSaysSoAndEnds)
{
    keys.Space = true;
    TPortPicker picker({"cancel"});
    TJT6400App& a = App();
    EXPECT_FALSE(StartUp(a));
    EXPECT_EQ(dialogs.Texts(), QStringList{"No available ports."});
    EXPECT_TRUE(picker.Listed.isEmpty());
    EXPECT_TRUE(process.Calls.isEmpty());
}

// An exit asked for while the start-up scan probes silent ports ends the scan
// at the next port: the ports after it are never opened.
TEST_F(Startup, ExitDuringTheScanEndsItAtTheNextPort)
{
    jt6400sim::ServerOptions quiet;
    quiet.silent = true;
    std::vector<PtyServer*> silent;
    for (int n = 1; n <= 4; ++n) {
        servers.push_back(
            ServeGenerator(folder.Path(), n, jt6400sim::Generator(jt6400sim::GeneratorOptions{}), quiet));
        silent.push_back(servers.back().get());
    }
    TJT6400App& a = App();
    ASSERT_TRUE(a.Start());
    ASSERT_TRUE(WaitUntil([&] { return !Received(*silent[0]).isEmpty(); }));
    a.ExitApp();
    ASSERT_TRUE(WaitForLine(a.Line()));
    EXPECT_TRUE(a.Ending());
    EXPECT_TRUE(Received(*silent[2]).isEmpty());
    EXPECT_TRUE(Received(*silent[3]).isEmpty());
    EXPECT_TRUE(dialogs.Shown.isEmpty());
    EXPECT_TRUE(process.Calls.isEmpty());
}

// The generator stopped answering: the program asks, and the answer decides
// (the channel only reports). Yes restarts, No ends, Ignore goes on with the
// poll running again.
TEST_F(Startup, ALostAnswerAsksAndTheAnswerDecides)
{
    struct Case {
        TMsgButton answer;
        bool goesOn;
        QList<QString> processCalls;
    };
    const Case cases[] = {
        {TMsgButton::mbYes, false, {"sleep 500", "start"}},
        {TMsgButton::mbNo, false, {}},
        {TMsgButton::mbIgnore, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        servers.clear();
        Generator(3, "6404+");
        dialogs.Shown.clear();
        dialogs.Answers = {c.answer};
        process.Calls.clear();
        TJT6400App& a = App();
        ASSERT_TRUE(StartUp(a));
        QList<bool> pollWanted;
        QObject::connect(&a, &TJT6400App::StatusPollWanted, [&](bool on) { pollWanted << on; });
        EXPECT_EQ(a.CommunicationsLost(), c.goesOn);
        ASSERT_TRUE(WaitForLine(a.Line()));
        ASSERT_EQ(dialogs.Shown.size(), 1);
        EXPECT_EQ(dialogs.Shown[0].Text, "Communications lost. Restart?");
        EXPECT_EQ(dialogs.Shown[0].Buttons, mbYesNoIgnore);
        EXPECT_EQ(process.Calls, c.processCalls);
        EXPECT_EQ(a.Ending(), !c.goesOn);
        EXPECT_EQ(pollWanted, c.goesOn ? (QList<bool>{false, true}) : (QList<bool>{false, false}));
        app.reset();
    }
}

TEST_F(Startup, RestartReleasesThePortBeforeStartingAnew)
{
    Generator(3, "6404");
    TJT6400App& a = App();
    ASSERT_TRUE(StartUp(a));
    a.Form().RestartAction->trigger();
    ASSERT_TRUE(WaitForLine(a.Line()));
    EXPECT_FALSE(a.Port().Opened());
    EXPECT_EQ(process.Calls, (QList<QString>{"sleep 500", "start"}));
    EXPECT_TRUE(a.Ending());
    // Nothing queued afterwards reaches the port.
    a.Queue().QueuedCommandToPort(":PULS0:STAT ON");
    EXPECT_EQ(a.Queue().TaskCount(), 0);
}

TEST_F(Startup, TerminalSendsTextAsTypedAndKeepsAHistory)
{
    PtyServer& generator = Generator(3, "6404+");
    TJT6400App& a = App();
    ASSERT_TRUE(StartUp(a));
    TMainForm& f = a.Form();
    QLineEdit* line = f.SendEdit->lineEdit();

    QTest::keyClicks(line, "*IDN?");
    QTest::keyClick(line, Qt::Key_Return);
    EXPECT_EQ(line->text(), "*IDN?");  // the entry keeps the text
    f.SendBtn->click();
    a.Queue().ProcessTasks();
    ASSERT_TRUE(WaitForLine(a.Line()));
    EXPECT_EQ(Received(generator).mid(Received(generator).size() - 2), (QStringList{"*IDN?", "*IDN?"}));
    EXPECT_EQ(f.SendEdit->count(), 2);
    const QString shown = f.ResponseList->toPlainText();
    EXPECT_TRUE(shown.contains(QRegularExpression(R"(\(\d\d:\d\d:\d\d\.\d{3}\) \*IDN\?)"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains("JT,6404+,1234,2.1.0-3.0.7"));
    // Commands are echoed in black, replies in green (0x008000).
    const QTextDocument* echo = f.ResponseList->document();
    ASSERT_GE(echo->blockCount(), 2);
    const QTextBlock reply = echo->lastBlock();
    EXPECT_EQ(reply.begin().fragment().charFormat().foreground().color().rgb() & 0xFFFFFF, 0x008000u);
    EXPECT_EQ(reply.previous().begin().fragment().charFormat().foreground().color(), QColor(0, 0, 0));

    // During a read-back the text joins the history but is not sent.
    a.Queue().DisableCommands();
    line->setText(":PULS0:STAT?");
    f.SendBtn->click();
    EXPECT_EQ(a.Queue().TaskCount(), 0);
    EXPECT_EQ(f.SendEdit->count(), 3);
    a.Queue().EnableCommands();

    // Ctrl+Backspace removes the entry picked from the list, nothing for
    // typed text.
    f.SendEdit->setCurrentIndex(1);
    emit f.SendEdit->activated(1);
    QTest::keyClick(line, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(f.SendEdit->count(), 2);
    QTest::keyClicks(line, "X");
    QTest::keyClick(line, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(f.SendEdit->count(), 2);
}

TEST_F(Startup, TerminalEnterTypedIntoTheFocusedComboBoxSendsOnce)
{
    // The combo box holds the keyboard focus and passes keys on to its entry
    // field itself, so Enter must be seen there too, and only once.
    PtyServer& generator = Generator(3, "6404+");
    TJT6400App& a = App();
    ASSERT_TRUE(StartUp(a));
    TMainForm& f = a.Form();
    QTest::keyClicks(f.SendEdit, "*ERS?");
    EXPECT_EQ(f.SendEdit->currentText(), "*ERS?");
    QTest::keyClick(f.SendEdit, Qt::Key_Return);
    EXPECT_EQ(a.Queue().TaskCount(), 1);
    a.Queue().ProcessTasks();
    ASSERT_TRUE(WaitForLine(a.Line()));
    EXPECT_EQ(Received(generator).count("*ERS?"), 1);
}

// A character the line cannot carry, or a line break pasted into the
// entry, is refused with a message naming it; nothing goes to the queue and
// the text stays to be mended. Latin-1 text goes out as typed.
TEST_F(Startup, TerminalRefusesTextTheLineCannotCarry)
{
    PtyServer& generator = Generator(3, "6404+");
    TJT6400App& a = App();
    ASSERT_TRUE(StartUp(a));
    TMainForm& f = a.Form();
    QLineEdit* line = f.SendEdit->lineEdit();
    const qsizetype history = f.SendEdit->count();
    const qsizetype received = Received(generator).size();
    struct Case {
        QString Text;
        QString Named;
    };
    const Case cases[] = {
        {QStringLiteral(":PULS1:DEL\u20AC"), QStringLiteral("\"\u20AC\" (U+20AC)")},
        {QStringLiteral(":PULS1:STAT ON\n:PULS2:STAT ON"), QStringLiteral("a line feed (U+000A)")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text.toStdString());
        dialogs.Shown.clear();
        line->setText(c.Text);
        QTest::keyClick(line, Qt::Key_Return);
        EXPECT_EQ(a.Queue().TaskCount(), 0);
        ASSERT_EQ(dialogs.Shown.size(), 1);
        EXPECT_TRUE(dialogs.Shown[0].Text.startsWith("The command was not sent: it holds "))
            << dialogs.Shown[0].Text.toStdString();
        EXPECT_TRUE(dialogs.Shown[0].Text.contains(c.Named)) << dialogs.Shown[0].Text.toStdString();
        EXPECT_EQ(line->text(), c.Text);
        EXPECT_EQ(f.SendEdit->count(), history);
    }
    a.Queue().ProcessTasks();
    EXPECT_EQ(Received(generator).size(), received) << Received(generator).join('|').toStdString();

    dialogs.Shown.clear();
    line->setText(QStringLiteral(":PULS1:DEL\u00B5"));
    QTest::keyClick(line, Qt::Key_Return);
    a.Queue().ProcessTasks();
    ASSERT_TRUE(WaitForLine(a.Line()));
    EXPECT_TRUE(dialogs.Shown.isEmpty());
    const std::vector<std::string> trace = generator.trace();
    EXPECT_TRUE(std::any_of(trace.begin(), trace.end(),
                            [](const std::string& entry) { return entry.ends_with(" RX :PULS1:DEL\xB5"); }))
        << "the Latin-1 byte went out as it is";
}

TEST_F(Startup, LogSwitchStartsTheLogAfterDiscovery)
{
    Generator(3, "6404+");
    QTemporaryDir work;
    const QString before = QDir::currentPath();
    QDir::setCurrent(work.path());
    jt::TCommandLineOptions options;
    options.Logging = true;
    {
        TJT6400App& a = App(options);
        ASSERT_TRUE(StartUp(a));
        EXPECT_TRUE(a.Comm().Log().Enabled());
        EXPECT_TRUE(a.Form().LoggingEnabledAction->isChecked());
        a.Form().LoggingEnabledAction->trigger();
        EXPECT_FALSE(a.Comm().Log().Enabled());
        EXPECT_FALSE(a.Form().LoggingEnabledAction->isChecked());
    }
    const QStringList logs = QDir(work.path()).entryList({"JT6400LogFile_*.txt"});
    QDir::setCurrent(before);
    ASSERT_EQ(logs.size(), 1);
    // Discovery ran before logging started: its traffic is not in the file.
    QFile file(QDir(work.path()).filePath(logs[0]));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("*IDN"));
}

// Up brings back the command sent last, then earlier ones; Down walks back
// towards the newest. Typed text stands after the newest entry.
TEST_F(Startup, TerminalUpRecallsTheMostRecentCommandsFirst)
{
    PtyServer& generator = Generator(3, "6404+");
    TJT6400App& a = App();
    ASSERT_TRUE(StartUp(a));
    TMainForm& f = a.Form();
    QLineEdit* line = f.SendEdit->lineEdit();
    for (const char* command : {"*IDN?", ":PULS1:WIDT?", ":PULS0:PER?"}) {
        QTest::keyClicks(f.SendEdit, command);
        QTest::keyClick(f.SendEdit, Qt::Key_Return);
    }
    QTest::keyClicks(f.SendEdit, ":PULS2");  // typed, not sent
    struct Step {
        Qt::Key key;
        const char* shown;
    };
    const Step steps[] = {
        {Qt::Key_Up, ":PULS0:PER?"}, {Qt::Key_Up, ":PULS1:WIDT?"}, {Qt::Key_Up, "*IDN?"},
        {Qt::Key_Up, "*IDN?"},  // the oldest stays
        {Qt::Key_Down, ":PULS1:WIDT?"}, {Qt::Key_Down, ":PULS0:PER?"},
        {Qt::Key_Down, ":PULS0:PER?"},  // the newest stays
        {Qt::Key_Up, ":PULS1:WIDT?"},
    };
    for (const Step& s : steps) {
        QTest::keyClick(f.SendEdit, s.key);
        EXPECT_EQ(line->text(), s.shown);
        EXPECT_EQ(line->selectedText(), s.shown) << "a recalled command is replaced by typing";
    }
    // Enter sends the recalled command; right after a send Up goes to the
    // one before it.
    QTest::keyClick(f.SendEdit, Qt::Key_Return);
    QTest::keyClick(f.SendEdit, Qt::Key_Up);
    EXPECT_EQ(line->text(), ":PULS0:PER?");
    a.Queue().ProcessTasks();
    ASSERT_TRUE(WaitForLine(a.Line()));
    const QStringList rx = Received(generator);
    EXPECT_EQ(rx.mid(rx.size() - 4), (QStringList{"*IDN?", ":PULS1:WIDT?", ":PULS0:PER?", ":PULS1:WIDT?"}));
}

// After a send the text stays, selected: Enter sends it again, and what is
// typed next replaces it instead of being appended to it.
TEST_F(Startup, TerminalTextIsSelectedAfterSendingSoTypingReplacesIt)
{
    PtyServer& generator = Generator(3, "6404+");
    TJT6400App& a = App();
    ASSERT_TRUE(StartUp(a));
    TMainForm& f = a.Form();
    QLineEdit* line = f.SendEdit->lineEdit();
    QTest::keyClicks(f.SendEdit, "*IDN?");
    QTest::keyClick(f.SendEdit, Qt::Key_Return);
    EXPECT_EQ(line->text(), "*IDN?");
    EXPECT_EQ(line->selectedText(), "*IDN?");
    QTest::keyClick(f.SendEdit, Qt::Key_Return);  // again, as it stands
    QTest::keyClicks(f.SendEdit, ":PULS1:WIDT?");
    EXPECT_EQ(line->text(), ":PULS1:WIDT?");
    f.SendBtn->click();
    EXPECT_EQ(line->selectedText(), ":PULS1:WIDT?");
    a.Queue().ProcessTasks();
    ASSERT_TRUE(WaitForLine(a.Line()));
    const QStringList rx = Received(generator);
    EXPECT_EQ(rx.mid(rx.size() - 3), (QStringList{"*IDN?", "*IDN?", ":PULS1:WIDT?"}));
}

// A restart starts the new panel with -log when this one logs: asked for on
// the command line, or switched on in the menu since; not after the menu
// switched it off.
TEST_F(Startup, RestartPassesTheLoggingChoiceOn)
{
    QTemporaryDir work;
    const QString before = QDir::currentPath();
    QDir::setCurrent(work.path());
    struct Case {
        const char* name;
        bool option;
        bool toggle;
        const char* start;
    };
    const Case cases[] = {
        {"-log", true, false, "start -log"},
        {"-log, then switched off", true, true, "start"},
        {"switched on in the menu", false, true, "start -log"},
        {"never", false, false, "start"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        servers.clear();
        Generator(3, "6404+");
        process.Calls.clear();
        jt::TCommandLineOptions options;
        options.Logging = c.option;
        TJT6400App& a = App(options);
        ASSERT_TRUE(StartUp(a));
        if (c.toggle)
            a.Form().LoggingEnabledAction->trigger();
        a.Form().RestartAction->trigger();
        ASSERT_TRUE(WaitForLine(a.Line()));
        EXPECT_EQ(process.Calls, (QList<QString>{"sleep 500", c.start}));
        app.reset();
    }
    QDir::setCurrent(before);
}
