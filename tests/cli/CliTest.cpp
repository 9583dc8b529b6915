// jt6400-cli as a script runs it: the program started as a process, against
// simulated generators on real pseudo-terminals reached through a port
// folder, its output, its messages and its exit code.
#include "cli/SettingsCompare.h"
#include "readback/SnapshotCases.h"
#include "serial/JTComPort.h"
#include "storage/SettingsFile.h"
#include "support/ChangedSettings.h"
#include "support/PtyTestSupport.h"
#include "support/SimTrace.h"
#include "support/SimulatedGenerator.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>
#include <sys/sysmacros.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// Readable QString values in test failures.
void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

struct TRun {
    int Code = -1;
    QString Out;
    QString Err;
};

// Input, when given, is the program's standard input; Environment replaces
// the test's own.
TRun RunCli(const QStringList& arguments, const QByteArray& input = {},
            const std::optional<QProcessEnvironment>& environment = std::nullopt)
{
    QProcess cli;
    if (environment)
        cli.setProcessEnvironment(*environment);
    cli.start(QStringLiteral(JT6400_CLI), arguments);
    if (!input.isEmpty())
        cli.write(input);
    cli.closeWriteChannel();
    const bool finished = cli.waitForFinished(120000);
    EXPECT_TRUE(finished && cli.exitStatus() == QProcess::NormalExit) << arguments.join(' ').toStdString();
    return {cli.exitCode(), QString::fromLocal8Bit(cli.readAllStandardOutput()),
            QString::fromLocal8Bit(cli.readAllStandardError())};
}

QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

jt6400sim::GeneratorOptions Generator(const std::string& model, const std::string& serial = "1234",
                                      const std::string& firmware = "2.1.0")
{
    jt6400sim::GeneratorOptions g;
    g.identity.model = model;
    g.identity.serial = serial;
    g.identity.firmware = firmware;
    return g;
}

// Simulated generators on COM<n> of a port folder that the program sees
// through JT6400_PORT_DIR.
class CliTest : public ::testing::Test {
protected:
    ~CliTest() override
    {
        for (auto& s : Servers)
            s->stop();
    }

    jt6400sim::PtyServer& Start(int port, jt6400sim::GeneratorOptions options, jt6400sim::ServerOptions server = {},
                                const QStringList& commands = {})
    {
        jt6400sim::Generator g(options);
        for (const QString& c : commands)
            EXPECT_EQ(g.handle(c.toStdString()), "ok") << c.toStdString();
        Servers.push_back(ServeGenerator(Folder.Path(), port, std::move(g), server));
        return *Servers.back();
    }
    jt6400sim::PtyServer& Start(int port, const std::string& model) { return Start(port, Generator(model)); }

    QString File(const QString& name) const { return QDir(Work.path()).filePath(name); }

    TPortFolder Folder;
    QTemporaryDir Work;
    std::vector<std::unique_ptr<jt6400sim::PtyServer>> Servers;
};

QJsonObject JsonOf(const QString& text)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
    return doc.object();
}

// A dead link, a silent port, an unsupported model, two generators and a
// port that another program holds, each named for what it is; discovery
// goes on past the first generator.
TEST_F(CliTest, ListNamesWhatAnswersOnEveryPort)
{
    Folder.Link(1, QStringLiteral("/nonexistent/ttyUSB9"));
    jt6400sim::ServerOptions silent;
    silent.silent = true;
    Start(2, Generator("6404+"), silent);
    Start(4, Generator("6499"));
    Start(5, Generator("6404+", "1111", "2.1.0"));
    Start(6, Generator("6422", "2222", "1.4.2"));
    Start(7, "6402");
    TJTComPort holder;  // the panel, or anything else, on COM7
    holder.SetShowErrors(false);
    holder.SetPort(7);
    ASSERT_TRUE(holder.Open());

    const TRun run = RunCli({"list"});
    EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out,
              "COM1    dangling link: its device /nonexistent/ttyUSB9 does not exist\n"
              "COM2    no generator\n"
              "COM4    unsupported model \"6499\"\n"
              "COM5    6404+  serial 1111  firmware 2.1.0  FPGA 3.0.7\n"
              "COM6    6422  serial 2222  firmware 1.4.2  FPGA 3.0.7\n"
              "COM7    in use\n");
    EXPECT_TRUE(ReceivedLines(Servers.back()->trace()).isEmpty()) << "nothing is sent to a port in use";

    const QJsonArray ports = JsonOf(RunCli({"--json", "list"}).Out)["ports"].toArray();
    ASSERT_EQ(ports.size(), 6);
    QStringList states;
    for (const QJsonValue& p : ports)
        states << QStringLiteral("%1:%2").arg(p["port"].toInt()).arg(p["state"].toString());
    EXPECT_EQ(states, (QStringList{"1:dangling link", "2:no generator", "4:unsupported", "5:generator", "6:generator",
                                   "7:in use"}));
    EXPECT_EQ(ports[0]["device"].toString(), "/nonexistent/ttyUSB9");
    EXPECT_EQ(ports[3]["model"].toString(), "6404+");
    EXPECT_EQ(ports[3]["serial"].toInt(), 1111);
    EXPECT_EQ(ports[4]["firmware"].toString(), "1.4.2");
}

TEST_F(CliTest, ListAndDiscoveryWithoutAGeneratorExitWithThree)
{
    EXPECT_EQ(RunCli({"list"}).Err, "jt6400-cli: No available ports.\n");
    jt6400sim::ServerOptions silent;
    silent.silent = true;
    Start(2, Generator("6404+"), silent);
    for (const QStringList& args : {QStringList{"list"}, QStringList{"identify"}, QStringList{"--port", "2", "status"},
                                    QStringList{"--port", "COM9", "status"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        EXPECT_EQ(RunCli(args).Code, 3);
    }
    EXPECT_EQ(RunCli({"identify"}).Err, "jt6400-cli: no generator found.\n");
    EXPECT_EQ(RunCli({"--port", "2", "status"}).Err, "jt6400-cli: no generator answers on COM2.\n");
    EXPECT_EQ(RunCli({"--port", "COM9", "status"}).Err, "jt6400-cli: COM9: no such port.\n");
}

TEST_F(CliTest, IdentifyNamesTheFirstGeneratorOrTheChosenPort)
{
    Start(3, Generator("6424", "4711", "2.3.1"));
    Start(5, Generator("6402", "815", "1.0.0"));
    const TRun first = RunCli({"identify"});
    EXPECT_EQ(first.Code, 0);
    EXPECT_EQ(first.Out,
              "port:          COM3\n"
              "manufacturer:  Jentrix (JT)\n"
              "model:         6424\n"
              "serial number: 4711\n"
              "firmware:      2.3.1\n"
              "FPGA:          3.0.7\n");
    const QJsonObject chosen = JsonOf(RunCli({"--port", "5", "--json", "identify"}).Out);
    EXPECT_EQ(chosen["port"].toInt(), 5);
    EXPECT_EQ(chosen["model"].toString(), "6402");
    EXPECT_EQ(chosen["serial"].toInt(), 815);
    EXPECT_EQ(chosen["fpga"].toString(), "3.0.7");
}

// Run state, the Plus counters where the model has them and they are on,
// and the error state where the firmware reports it; an error exits with 1.
TEST_F(CliTest, StatusAsThePanelPollsIt)
{
    jt6400sim::GeneratorOptions plus = Generator("6404+");
    plus.errorCode = 2;
    auto& p = Start(3, plus, {}, {":PULS0:COUN:STAT ON", ":PULS0:STAT ON"});
    Start(4, Generator("6402", "1", "1.2.0"));

    const TRun running = RunCli({"--port", "3", "status"});
    EXPECT_EQ(running.Code, 1);
    const QRegularExpression text(
        "^state:            running\nshot count:       \\d+\nmeasured period:  off\nerror:            Over Temperature "
        "Error\n$");
    EXPECT_TRUE(text.match(running.Out).hasMatch()) << running.Out.toStdString();
    const QJsonObject json = JsonOf(RunCli({"--port", "3", "--json", "status"}).Out);
    EXPECT_TRUE(json["running"].toBool());
    EXPECT_TRUE(json["shotCount"].isDouble());
    EXPECT_TRUE(json["measuredPeriod"].isNull());
    EXPECT_EQ(json["error"]["code"].toInt(), 2);
    EXPECT_EQ(json["error"]["text"].toString(), "Over Temperature Error");
    EXPECT_TRUE(ReceivedLines(p.trace()).contains(":PULS0:COUN:COUN?"));
    EXPECT_FALSE(ReceivedLines(p.trace()).contains(":PULS0:EXTP:PER?"));

    auto& standard = *Servers.back();
    const TRun old = RunCli({"--port", "4", "status"});
    EXPECT_EQ(old.Code, 0);
    EXPECT_EQ(old.Out,
              "state:            stopped\n"
              "error:            not reported by firmware 1.2.0\n");
    const QStringList sent = ReceivedLines(standard.trace());
    EXPECT_FALSE(sent.contains("*ERS?"));
    EXPECT_FALSE(sent.contains(":PULS0:COUN:STAT?"));
}

TEST_F(CliTest, QuerySendRunAndStop)
{
    auto& g = Start(3, "6404");
    struct Case {
        QStringList Args;
        int Code;
        QString Out;
    };
    const Case cases[] = {
        {{"send", ":PULS1:WIDT", "0.000002"}, 0, "ok\n"},
        {{"query", ":PULS1:WIDT"}, 0, "0.000002000000\n"},
        {{"query", ":PULS1:WIDT?"}, 0, "0.000002000000\n"},
        {{"query", ":PULS1:NOPE"}, 1, "?UNKNOWN :PULS1:NOPE?\n"},
        {{"send", ":PULS1:WIDT 5000"}, 1, "ERR: out of range\n"},
        {{"run"}, 0, ""},
        {{"query", ":PULS0:STAT"}, 0, "1\n"},
        {{"stop"}, 0, ""},
        {{"query", ":PULS0:STAT"}, 0, "0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Args.join(' ').toStdString());
        const TRun run = RunCli(c.Args);
        EXPECT_EQ(run.Code, c.Code) << run.Err.toStdString();
        EXPECT_EQ(run.Out, c.Out);
    }
    EXPECT_DOUBLE_EQ(g.withGenerator([](jt6400sim::Generator& s) { return s.settings().channels[0].Width; }), 2e-6);
    const QStringList sent = ReceivedLines(g.trace());
    EXPECT_TRUE(sent.contains(":PULS0:STAT ON"));
    EXPECT_TRUE(sent.contains(":PULS0:STAT OFF"));
}

class CliSavePerModel : public CliTest, public ::testing::WithParamInterface<const char*> {};

// The file saved here holds byte for byte what the panel's Save writes for
// the same generator, apart from the time of the first line.
TEST_P(CliSavePerModel, SameFileAsThePanelsSave)
{
    const std::string model = GetParam();
    QProcess panel;
    panel.start(QStringLiteral(PANEL_SAVE_FILE), {QString::fromStdString(model), File("panel.txt")});
    ASSERT_TRUE(panel.waitForFinished(120000));
    ASSERT_EQ(panel.exitCode(), 0) << panel.readAllStandardError().toStdString();

    Start(3, SnapshotGenerator(model, true), SnapshotServer(std::string()));
    Servers.back()->withGenerator([](jt6400sim::Generator& s) { s.setSettings(VariedSettings(s.model())); });

    const TRun run = RunCli({"save", File("cli.txt")});
    EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
    const QByteArray mine = FileBytes(File("cli.txt"));
    const QByteArray theirs = FileBytes(File("panel.txt"));
    ASSERT_GT(theirs.count("\r\n"), 20);
    const qsizetype firstLine = mine.indexOf("\r\n");
    EXPECT_TRUE(QRegularExpression("^// \\S.*,\\d\\d:\\d\\d:\\d\\d$").match(mine.left(firstLine)).hasMatch())
        << mine.left(firstLine).toStdString();
    EXPECT_EQ(mine.mid(firstLine), theirs.mid(theirs.indexOf("\r\n")));

    // The same bytes on standard output.
    const TRun out = RunCli({"save", "-"});
    EXPECT_EQ(out.Code, 0);
    EXPECT_EQ(out.Out.toLatin1().mid(firstLine), mine.mid(firstLine));
}

INSTANTIATE_TEST_SUITE_P(Models, CliSavePerModel, ::testing::ValuesIn(kSnapshotModels), [](const auto& info) {
    std::string name = info.param;
    for (char& ch : name)
        if (ch == '+')
            ch = 'P';
    return "Model" + name;
});

// A file saved from one generator, applied to a second one of the same
// model, leaves the second holding the settings of the first.
TEST_F(CliTest, ApplyOfASavedFileLeavesIdenticalSettings)
{
    auto& source = Start(3, "6424");
    const jt6400sim::Settings wanted = ChangedSettings(source.withGenerator([](auto& g) { return g.model(); }));
    source.withGenerator([&wanted](jt6400sim::Generator& g) { g.setSettings(wanted); });
    auto& target = Start(5, "6424");
    ASSERT_EQ(RunCli({"--port", "3", "save", File("run.txt")}).Code, 0);

    const TRun run = RunCli({"--port", "5", "apply", File("run.txt")});
    EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.endsWith("Every setting of the file reads back as asked.\n")) << run.Out.toStdString();
    EXPECT_EQ(target.withGenerator([](jt6400sim::Generator& g) { return g.settings(); }), wanted);
    // Every command line went out, in file order, after the port's probe.
    const QStringList file = QString::fromLatin1(FileBytes(File("run.txt"))).split("\r\n", Qt::SkipEmptyParts);
    const QStringList commands = file.filter(QRegularExpression("^[^/]"));
    const QStringList sent = ReceivedLines(target.trace());
    const qsizetype at = sent.indexOf(commands.first());
    ASSERT_GE(at, 0);
    EXPECT_EQ(sent.mid(at, commands.size()), commands);

    const QJsonObject json = JsonOf(RunCli({"--port", "5", "--json", "apply", File("run.txt")}).Out);
    EXPECT_EQ(json["differences"].toArray().size(), 0);
    EXPECT_EQ(json["sent"].toInt(), commands.size());
}

// A generator that refuses one command: exactly that setting is reported,
// with the value asked for and the one it holds, and the exit code is 1.
TEST_F(CliTest, ApplyReportsTheOneSettingTheGeneratorRefused)
{
    auto& source = Start(3, "6404+");
    source.withGenerator([](jt6400sim::Generator& g) { g.setSettings(ChangedSettings(g.model())); });
    ASSERT_EQ(RunCli({"--port", "3", "save", File("run.txt")}).Code, 0);
    jt6400sim::ServerOptions refusing;
    jt6400sim::AnswerRule rule;
    ASSERT_EQ(jt6400sim::parseAnswerRule("refuse@:PULS2:WIDT ", rule), "");
    refusing.answerRules.push_back(rule);
    Start(5, Generator("6404+"), refusing);

    const TRun run = RunCli({"--port", "5", "apply", File("run.txt")});
    EXPECT_EQ(run.Code, 1) << run.Err.toStdString();
    const QString asked = QString::fromLatin1(FileBytes(File("run.txt")))
                              .split("\r\n")
                              .filter(QRegularExpression("^:PULS2:WIDT "))
                              .value(0)
                              .mid(12);
    EXPECT_TRUE(run.Out.endsWith(QStringLiteral("1 setting(s) differ from the file:\n"
                                                "  :PULS2:WIDT  file %1  generator 1E-6\n")
                                     .arg(asked)))
        << run.Out.toStdString();
    const QJsonArray differences =
        JsonOf(RunCli({"--port", "5", "--json", "apply", File("run.txt")}).Out)["differences"].toArray();
    ASSERT_EQ(differences.size(), 1);
    EXPECT_EQ(differences[0]["setting"].toString(), ":PULS2:WIDT");
    EXPECT_EQ(differences[0]["file"].toString(), asked);
}

// A file made for a larger model names channels and features the generator
// does not have: it cannot hold them, so they are listed and the exit code
// is 1, while every setting it has is still compared.
TEST_F(CliTest, ApplyOfAFileForALargerModelListsWhatTheGeneratorLacks)
{
    Start(3, "6404+");
    ASSERT_EQ(RunCli({"--port", "3", "save", File("plus.txt")}).Code, 0);
    Start(5, "6402");

    const TRun run = RunCli({"--port", "5", "apply", File("plus.txt")});
    EXPECT_EQ(run.Code, 1) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains("line(s) of the file name no setting the 6402 reads back, so it cannot hold them:\n"))
        << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains("\n  :PULS3:WIDT ")) << run.Out.toStdString();
    EXPECT_FALSE(run.Out.contains(":PULS1:WIDT ")) << run.Out.toStdString();
    EXPECT_TRUE(run.Out.endsWith("Every other setting of the file reads back as asked.\n")) << run.Out.toStdString();
    const QJsonObject json = JsonOf(RunCli({"--port", "5", "--json", "apply", File("plus.txt")}).Out);
    const QJsonArray lacking = json["notCompared"].toArray();
    EXPECT_TRUE(std::any_of(lacking.begin(), lacking.end(),
                            [](const QJsonValue& v) { return v.toString().startsWith(":PULS4:WIDT "); }));
    EXPECT_EQ(json["differences"].toArray().size(), 0);
}

// The panel (or anything else) holds the port: one line naming the port,
// nothing sent.
TEST_F(CliTest, PortInUseIsNamedAndNothingIsSent)
{
    auto& g = Start(3, "6404+");
    TJTComPort holder;
    holder.SetShowErrors(false);
    holder.SetPort(3);
    ASSERT_TRUE(holder.Open());
    const TRun chosen = RunCli({"--port", "3", "send", ":PULS0:STAT ON"});
    EXPECT_EQ(chosen.Code, 3);
    EXPECT_EQ(chosen.Err, "jt6400-cli: COM3 is in use by another program; nothing was sent.\n");
    const TRun scanned = RunCli({"status"});
    EXPECT_EQ(scanned.Code, 3);
    EXPECT_EQ(scanned.Err, "jt6400-cli: COM3 is in use by another program.\njt6400-cli: no generator found.\n");
    EXPECT_TRUE(ReceivedLines(g.trace()).isEmpty());
}

// A device this user may not open: the port is named with the "dialout"
// advice.
TEST_F(CliTest, NoPermissionGivesTheDialoutAdvice)
{
    auto& g = Start(3, "6404+");
    const QByteArray device = QByteArray::fromStdString(g.devicePath());
    struct stat before {};
    ASSERT_EQ(::stat(device.constData(), &before), 0);
    ASSERT_EQ(::chmod(device.constData(), 0), 0);
    const auto restore = qScopeGuard([&] { ::chmod(device.constData(), before.st_mode & 07777); });
    if (::access(device.constData(), R_OK | W_OK) == 0)
        GTEST_SKIP() << "this process may open any device (root's override); "
                        "the cli.WithoutPermissionOverride test entry runs it without";

    const TRun chosen = RunCli({"--port", "3", "status"});
    EXPECT_EQ(chosen.Code, 3);
    EXPECT_TRUE(chosen.Err.startsWith("jt6400-cli: COM3: no permission to open ")) << chosen.Err.toStdString();
    EXPECT_TRUE(chosen.Err.contains("\"dialout\" group")) << chosen.Err.toStdString();
    EXPECT_EQ(RunCli({"list"}).Out, "COM3    no permission\n");
    // Found by discovery: the cause once, the advice, one full stop.
    EXPECT_EQ(RunCli({"status"}).Err,
              "jt6400-cli: COM3: no permission. Serial ports belong to the \"dialout\" group: add your user to it "
              "(sudo usermod -aG dialout $USER), then log out and in again.\njt6400-cli: no generator found.\n");
    EXPECT_TRUE(ReceivedLines(g.trace()).isEmpty());
}

// The generator goes silent in the middle of the read-back: a message within
// the response time, exit 3, and the file that was there stays as it was.
TEST_F(CliTest, SilenceDuringSaveLeavesNoPartialFile)
{
    jt6400sim::ServerOptions stopping;
    stopping.stopAfter = 30;
    Start(3, Generator("6404+"), stopping);
    ASSERT_TRUE(WriteBytes(File("kept.txt"), "an older file\r\n"));
    const TRun run = RunCli({"save", File("kept.txt")});
    EXPECT_EQ(run.Code, 3);
    EXPECT_TRUE(QRegularExpression("^jt6400-cli: using the 6404\\+ with serial number 1234 on COM3\\.\n"
                                   "jt6400-cli: the generator on COM3 did not answer \"\\S+\\?\" within 2000 ms\\.\n$")
                    .match(run.Err)
                    .hasMatch())
        << run.Err.toStdString();
    EXPECT_EQ(FileBytes(File("kept.txt")), "an older file\r\n");
    EXPECT_EQ(QDir(Work.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.txt"});
    EXPECT_TRUE(RunCli({"save", "-"}).Out.isEmpty());
}

// In a folder that takes no temporary file the file is written in place;
// a generator that goes silent in the middle of the read-back leaves the
// file there as it was, not emptied.
TEST_F(CliTest, SilenceDuringSaveInPlaceLeavesTheFileWhole)
{
    jt6400sim::ServerOptions stopping;
    stopping.stopAfter = 30;
    auto& g = Start(3, Generator("6404+"), stopping);
    ASSERT_TRUE(QDir(Work.path()).mkdir("shared"));
    const QString kept = File("shared/kept.txt");
    ASSERT_TRUE(WriteBytes(kept, "an older file\r\n"));
    const QByteArray folder = QFile::encodeName(File("shared"));
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    const auto restore = qScopeGuard([&] { ::chmod(folder.constData(), 0755); });
    if (::access(folder.constData(), W_OK) == 0)
        GTEST_SKIP() << "this process may write any folder (root's override); "
                        "the cli.WithoutPermissionOverride test entry runs it without";

    const TRun run = RunCli({"save", kept});
    EXPECT_EQ(run.Code, 3) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains("did not answer")) << run.Err.toStdString();
    EXPECT_GE(ReceivedLines(g.trace()).size(), 30) << "the read-back was under way";
    EXPECT_EQ(FileBytes(kept), "an older file\r\n");
}

// Setting lines that are not sent: one with a note after "//" (skipped
// whole, as the panel's restore skips it) and one beginning with "#". Each
// is named before anything is sent, and counts as not applied.
TEST_F(CliTest, ApplyNamesTheSettingLinesItSkips)
{
    auto& g = Start(3, "6404+");
    ASSERT_TRUE(WriteBytes(File("notes.txt"), "// 1/2/2024,10:00:00\r\n"
                                              ":PULS1:WIDT 0.000002\r\n"
                                              ":PULS1:DEL 0.000000500 // note\r\n"
                                              "  # :PULS2:WIDT 0.000003\r\n"
                                              "   // an indented note\r\n"
                                              ":PULS2:DEL 0.000004\r\n"));
    const TRun run = RunCli({"apply", File("notes.txt")});
    EXPECT_EQ(run.Code, 1) << run.Err.toStdString();
    const QString shown = "jt6400-cli: " + File("notes.txt");
    EXPECT_EQ(run.Err, shown + ": line 3 holds a setting before \"//\" and is skipped whole, as the panel's restore "
                               "does.\n" +
                           shown + ": line 4 begins with \"#\" and is skipped: notes in a settings file begin with "
                                   "\"//\".\n"
                                   "jt6400-cli: using the 6404+ with serial number 1234 on COM3.\n");
    EXPECT_EQ(run.Out, "Sent 2 lines of " + File("notes.txt") +
                           " to the 6404+ on COM3.\n"
                           "2 line(s) of the file were skipped, not sent:\n"
                           "  line 3: :PULS1:DEL 0.000000500 // note\n"
                           "  line 4:   # :PULS2:WIDT 0.000003\n"
                           "Every other setting of the file reads back as asked.\n");
    const QStringList sent = ReceivedLines(g.trace());
    EXPECT_TRUE(sent.filter("#").isEmpty()) << sent.join('|').toStdString();
    EXPECT_TRUE(sent.filter("//").isEmpty()) << sent.join('|').toStdString();
    EXPECT_TRUE(sent.contains(":PULS2:DEL 0.000004"));

    const QJsonObject json = JsonOf(RunCli({"--port", "3", "--json", "apply", File("notes.txt")}).Out);
    const QJsonArray skipped = json["skipped"].toArray();
    ASSERT_EQ(skipped.size(), 2);
    EXPECT_EQ(skipped[0]["line"].toInt(), 3);
    EXPECT_EQ(skipped[1]["text"].toString(), "  # :PULS2:WIDT 0.000003");
    EXPECT_EQ(json["sent"].toInt(), 2);
}

// Binary, huge, missing files and folders are refused with the messages of
// the panel's Restore, before anything is sent.
TEST_F(CliTest, RefusedFilesSendNothing)
{
    auto& g = Start(3, "6404+");
    ASSERT_TRUE(WriteBytes(File("binary.txt"), QByteArray(":PULS0:PER 1\r\n\0\x01\x02", 17)));
    ASSERT_TRUE(WriteBytes(File("huge.txt"), QByteArray(70000, 'x').replace(0, 2, "\r\n").repeated(20)));
    ASSERT_TRUE(QDir(Work.path()).mkdir("folder.txt"));
    for (const char* name : {"binary.txt", "huge.txt", "missing.txt", "folder.txt"}) {
        SCOPED_TRACE(name);
        const TRun run = RunCli({"apply", File(name)});
        EXPECT_EQ(run.Code, 2);
        EXPECT_EQ(run.Err, "jt6400-cli: " + ReadSettingsFile(File(name)).Error + "\n");
    }
    EXPECT_TRUE(ReceivedLines(g.trace()).isEmpty());
}

TEST_F(CliTest, UsageErrorsHelpAndVersion)
{
    for (const QStringList& args :
         {QStringList{}, QStringList{"bogus"}, QStringList{"save"}, QStringList{"save", "a", "b"},
          QStringList{"--port", "x", "status"}, QStringList{"--json", "save", "-"}, QStringList{"--frob", "list"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const TRun run = RunCli(args);
        EXPECT_EQ(run.Code, 2);
        EXPECT_TRUE(run.Err.endsWith("\nTry 'jt6400-cli --help'.\n")) << run.Err.toStdString();
        EXPECT_TRUE(run.Out.isEmpty());
    }
    const TRun help = RunCli({"--help"});
    EXPECT_EQ(help.Code, 0);
    for (const char* part : {"Exit codes:", "Examples:", "JT6400_PORT_DIR", "apply FILE", "--json"})
        EXPECT_TRUE(help.Out.contains(part)) << part;
    const TRun version = RunCli({"--version"});
    EXPECT_EQ(version.Code, 0);
    EXPECT_TRUE(QRegularExpression("^jt6400-cli \\d+\\.\\d+\\.\\d+\\.\\d+\n$").match(version.Out).hasMatch());
}

TEST_F(CliTest, LogRecordsTheTrafficInThePanelsFormat)
{
    Start(3, "6404+");
    ASSERT_EQ(RunCli({"--log", File("traffic.txt"), "query", ":PULS1:DEL"}).Code, 0);
    const QStringList lines = QString::fromLocal8Bit(FileBytes(File("traffic.txt"))).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("JT6400 Communication Log File "));
    const QString stamp = "\\(\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d\\): ";
    EXPECT_TRUE(QRegularExpression("^Sent    " + stamp + ":PULS1:DEL\\?$").match(lines[lines.size() - 2]).hasMatch());
    EXPECT_TRUE(QRegularExpression("^Received" + stamp + "0\\.000000000000$").match(lines.last()).hasMatch());
    const TRun unwritable = RunCli({"--log", File("no/such/folder/log.txt"), "list"});
    EXPECT_EQ(unwritable.Code, 2);
    EXPECT_TRUE(unwritable.Err.startsWith("jt6400-cli: Log file cannot be written to."))
        << unwritable.Err.toStdString();
}

// The lines of a saved file after its first one (the time of the save).
QByteArray AfterFirstLine(const QByteArray& bytes)
{
    return bytes.mid(bytes.indexOf("\r\n"));
}

// A named pipe gets the file through it and stays a pipe; /dev/stdout
// carries the file to standard output; a device node stays a device node.
TEST_F(CliTest, SaveWritesIntoAPipeOrDeviceAsItStands)
{
    Start(3, "6404+");
    const TRun reference = RunCli({"save", "-"});
    ASSERT_EQ(reference.Code, 0);
    const QByteArray expected = AfterFirstLine(reference.Out.toLatin1());
    ASSERT_GT(expected.count("\r\n"), 20);

    const QByteArray pipe = QFile::encodeName(File("pipe"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    // The reader is there before the writer, and never waits for it.
    const int reader = ::open(pipe.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const auto closeReader = qScopeGuard([reader] { ::close(reader); });
    const TRun toPipe = RunCli({"save", File("pipe")});
    EXPECT_EQ(toPipe.Code, 0) << toPipe.Err.toStdString();
    QByteArray received;
    char buffer[4096];
    for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;)
        received.append(buffer, n);
    EXPECT_EQ(AfterFirstLine(received), expected);
    // Only the program's own messages: no complaint of a seek on the pipe.
    const auto onlyOwnMessages = [](const QString& err) {
        return err.split('\n', Qt::SkipEmptyParts).filter(QRegularExpression("^(?!jt6400-cli: )")).isEmpty();
    };
    EXPECT_TRUE(onlyOwnMessages(toPipe.Err)) << toPipe.Err.toStdString();
    struct stat status {};
    ASSERT_EQ(::stat(pipe.constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode)) << "the pipe was replaced";

    const TRun toOutput = RunCli({"save", "/dev/stdout"});
    EXPECT_EQ(toOutput.Code, 0) << toOutput.Err.toStdString();
    EXPECT_EQ(AfterFirstLine(toOutput.Out.toLatin1()), expected);
    EXPECT_TRUE(toOutput.Err.endsWith("jt6400-cli: Saved the settings of the 6404+ on COM3 to /dev/stdout.\n"))
        << toOutput.Err.toStdString();
    EXPECT_TRUE(onlyOwnMessages(toOutput.Err)) << toOutput.Err.toStdString();

    // A device node of this folder that leads where /dev/null does.
    const QByteArray node = QFile::encodeName(File("null"));
    if (::mknod(node.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "no device node can be made here (no CAP_MKNOD)";
    const TRun toDevice = RunCli({"save", File("null")});
    EXPECT_EQ(toDevice.Code, 0) << toDevice.Err.toStdString();
    EXPECT_TRUE(onlyOwnMessages(toDevice.Err)) << toDevice.Err.toStdString();
    ASSERT_EQ(::stat(node.constData(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode)) << "the device node was replaced";
}

// A file that cannot be written is refused before the generator is asked
// anything, and stays as it was.
TEST_F(CliTest, SaveRefusesAnUnwritableFileBeforeTheReadBack)
{
    auto& g = Start(3, "6404+");
    ASSERT_TRUE(QDir(Work.path()).mkdir("shared"));
    const QString kept = File("shared/kept.txt");
    ASSERT_TRUE(WriteBytes(kept, "an older file\r\n"));
    const QByteArray folder = QFile::encodeName(File("shared"));
    ASSERT_EQ(::chmod(QFile::encodeName(kept).constData(), 0444), 0);
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    const auto restore = qScopeGuard([&] { ::chmod(folder.constData(), 0755); });
    if (::access(QFile::encodeName(kept).constData(), W_OK) == 0)
        GTEST_SKIP() << "this process may write any file (root's override); "
                        "the cli.WithoutPermissionOverride test entry runs it without";

    const TRun run = RunCli({"save", kept});
    EXPECT_EQ(run.Code, 2);
    EXPECT_TRUE(run.Err.startsWith("jt6400-cli: Cannot write the settings file " + kept + ": "))
        << run.Err.toStdString();
    EXPECT_TRUE(ReceivedLines(g.trace()).isEmpty()) << "nothing is asked for a file that cannot be written";
    EXPECT_EQ(FileBytes(kept), "an older file\r\n");
}

// A command is sent as it stands or not at all: a character outside the
// line's code, a line break, a control character or an empty command is
// refused with the character named, and nothing reaches the generator.
TEST_F(CliTest, CommandsTheLineCannotCarryAreRefusedBeforeAnythingIsSent)
{
    auto& g = Start(3, "6404+");
    struct Case {
        QStringList Args;
        QString Named;
    };
    const Case cases[] = {
        {{"send", QStringLiteral(":PULS1:DEL\u20AC")}, QStringLiteral("\"\u20AC\" (U+20AC) at position 11")},
        {{"query", QStringLiteral(":PULS1:DEL\u20AC")}, QStringLiteral("\"\u20AC\" (U+20AC)")},
        {{"send", QStringLiteral(":PULS1:WIDT 1\U0001F600")}, QStringLiteral("(U+1F600) at position 14")},
        {{"send", ":PULS1:STAT ON\n:PULS2:STAT ON"}, "a line feed (U+000A) at position 15"},
        {{"send", ":PULS1:STAT\rON"}, "a carriage return (U+000D)"},
        {{"send", ":PULS1:STAT\tON"}, "a tab (U+0009)"},
        {{"query", ""}, "the command is empty"},
        {{"query", "?"}, "the command is empty"},
        {{"send", "  "}, "the command is empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Args.join(' ').toStdString());
        const TRun run = RunCli(c.Args);
        EXPECT_EQ(run.Code, 2);
        EXPECT_TRUE(run.Err.startsWith("jt6400-cli: " + c.Args[0] + " refused: ")) << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains(c.Named)) << run.Err.toStdString();
        EXPECT_TRUE(run.Err.endsWith("Nothing was sent.\n")) << run.Err.toStdString();
        EXPECT_TRUE(run.Out.isEmpty());
    }
    EXPECT_TRUE(ReceivedLines(g.trace()).isEmpty());
    // Latin-1 is what the line carries: such a command goes out as it is.
    const TRun latin = RunCli({"query", QStringLiteral(":PULS1:DEL\u00B5")});
    EXPECT_EQ(latin.Code, 1) << latin.Err.toStdString();
    const std::vector<std::string> trace = g.trace();
    EXPECT_TRUE(std::any_of(trace.begin(), trace.end(),
                            [](const std::string& entry) { return entry.ends_with(" RX :PULS1:DEL\xB5?"); }))
        << "the Latin-1 byte went out as it is";
}

// Blank lines are skipped like comments; a file with no setting line at all
// is refused, since applying it would change nothing and then report every
// setting as asked; a setting line the line cannot carry is refused too.
TEST_F(CliTest, ApplySkipsBlankLinesAndRefusesFilesWithoutSettings)
{
    auto& g = Start(3, "6404+");
    ASSERT_TRUE(WriteBytes(File("blank.txt"), "// 1/2/2024,10:00:00\r\n\r\n:PULS1:WIDT 0.000002\r\n   \r\n"
                                              ":PULS2:WIDT 0.000003\r\n\r\n"));
    const TRun run = RunCli({"--port", "3", "apply", File("blank.txt")});
    EXPECT_EQ(run.Code, 0) << run.Out.toStdString() << run.Err.toStdString();
    EXPECT_EQ(run.Out, "Sent 2 lines of " + File("blank.txt") +
                           " to the 6404+ on COM3.\nEvery setting of the file reads back as asked.\n");
    const QStringList sent = ReceivedLines(g.trace());
    EXPECT_FALSE(sent.contains(QString())) << "a blank line went out";
    EXPECT_FALSE(sent.contains("   "));
    EXPECT_DOUBLE_EQ(g.withGenerator([](jt6400sim::Generator& s) { return s.settings().channels[1].Width; }), 3e-6);

    const qsizetype before = ReceivedLines(g.trace()).size();
    struct Case {
        const char* Name;
        QByteArray Bytes;
        QString Error;
    };
    const Case cases[] = {
        {"empty.txt", "", "holds no setting"},
        {"comments.txt", "// saved by hand\r\n// nothing else\r\n", "holds no setting"},
        {"header.txt", "// 1/2/2024,10:00:00\r\n", "holds no setting"},
        {"blanks.txt", "\r\n \r\n\t\r\n", "holds no setting"},
        {"euro.txt", "\xEF\xBB\xBF// utf-8\r\n:PULS1:WIDT 1\r\n:PULS1:DEL 1\xE2\x82\xAC\r\n",
         "line 3 cannot be sent: it holds \"\u20AC\" (U+20AC) at position 13"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_TRUE(WriteBytes(File(c.Name), c.Bytes));
        const TRun refused = RunCli({"--port", "3", "apply", File(c.Name)});
        EXPECT_EQ(refused.Code, 2);
        EXPECT_TRUE(refused.Err.startsWith("jt6400-cli: " + File(c.Name))) << refused.Err.toStdString();
        EXPECT_TRUE(refused.Err.contains(c.Error)) << refused.Err.toStdString();
        EXPECT_TRUE(refused.Out.isEmpty());
    }
    EXPECT_EQ(ReceivedLines(g.trace()).size(), before) << "nothing is sent for a refused file";
}

// "apply -" reads the file from standard input, as the help text says.
TEST_F(CliTest, ApplyReadsStandardInput)
{
    auto& source = Start(3, "6424");
    const jt6400sim::Settings wanted = ChangedSettings(source.withGenerator([](auto& g) { return g.model(); }));
    source.withGenerator([&wanted](jt6400sim::Generator& g) { g.setSettings(wanted); });
    auto& target = Start(5, "6424");
    const TRun saved = RunCli({"--port", "3", "save", "-"});
    ASSERT_EQ(saved.Code, 0);

    const TRun run = RunCli({"--port", "5", "apply", "-"}, saved.Out.toLatin1());
    EXPECT_EQ(run.Code, 0) << run.Out.toStdString() << run.Err.toStdString();
    EXPECT_TRUE(run.Out.startsWith("Sent ")) << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains(" lines of standard input to the 6424 on COM5.\n")) << run.Out.toStdString();
    EXPECT_EQ(target.withGenerator([](jt6400sim::Generator& g) { return g.settings(); }), wanted);
}

// A generator that stops answering in the middle of an apply: how far it
// got, and that the generator is now partly set.
TEST_F(CliTest, ApplyThatStopsPartWaySaysHowFarItGot)
{
    Start(3, "6404+");
    ASSERT_EQ(RunCli({"--port", "3", "save", File("run.txt")}).Code, 0);
    const qsizetype settingLines =
        QString::fromLatin1(FileBytes(File("run.txt"))).split("\r\n", Qt::SkipEmptyParts).filter(QRegularExpression("^[^/]")).size();
    jt6400sim::ServerOptions stopping;
    stopping.stopAfter = 4 + 5;  // the probe's four lines, then five settings
    Start(5, Generator("6404+"), stopping);

    const TRun run = RunCli({"--port", "5", "apply", File("run.txt")});
    EXPECT_EQ(run.Code, 3);
    EXPECT_TRUE(run.Err.endsWith(QStringLiteral("jt6400-cli: 6 of the %1 setting lines had been sent when the "
                                                "generator stopped answering: it is now partly set.\n")
                                     .arg(settingLines)))
        << run.Err.toStdString();
}

// Options stand before or after the command.
TEST_F(CliTest, OptionsMayFollowTheCommand)
{
    Start(3, "6404+");
    for (const QStringList& args : {QStringList{"status", "--json"}, QStringList{"list", "--json"},
                                    QStringList{"identify", "--port", "3", "--json"},
                                    QStringList{"status", "--port=COM3", "--json"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const TRun run = RunCli(args);
        EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
        EXPECT_FALSE(JsonOf(run.Out).isEmpty());
    }
    const TRun query = RunCli({"query", ":PULS1:WIDT", "--port", "3"});
    EXPECT_EQ(query.Code, 0) << query.Err.toStdString();
    EXPECT_EQ(query.Out, "0.000001000000\n");
    EXPECT_EQ(query.Err, "");
    // After "--" everything is the command's.
    const TRun text = RunCli({"--port", "3", "query", "--", "--json"});
    EXPECT_EQ(text.Out, "?UNKNOWN :--JSON?\n");
}

// Without --port one line on standard error names the port and generator
// discovery chose; --serial picks a generator by its serial number.
TEST_F(CliTest, DiscoveryNamesItsChoiceAndSerialPicksTheGenerator)
{
    Start(5, Generator("6404+", "1111"));
    auto& second = Start(6, Generator("6422", "2222"));

    const TRun found = RunCli({"run"});
    EXPECT_EQ(found.Code, 0);
    EXPECT_EQ(found.Err, "jt6400-cli: using the 6404+ with serial number 1111 on COM5.\n");
    EXPECT_EQ(RunCli({"--port", "5", "stop"}).Err, "");

    const TRun picked = RunCli({"--serial", "2222", "run"});
    EXPECT_EQ(picked.Code, 0) << picked.Err.toStdString();
    EXPECT_EQ(picked.Err, "jt6400-cli: using the 6422 with serial number 2222 on COM6.\n");
    EXPECT_TRUE(second.withGenerator([](jt6400sim::Generator& g) { return g.running(); }));
    EXPECT_EQ(JsonOf(RunCli({"identify", "--serial=2222", "--json"}).Out)["port"].toInt(), 6);

    const TRun missing = RunCli({"--serial", "3333", "run"});
    EXPECT_EQ(missing.Code, 3);
    EXPECT_EQ(missing.Err,
              "jt6400-cli: COM5 holds the 6404+ with serial number 1111.\n"
              "jt6400-cli: COM6 holds the 6422 with serial number 2222.\n"
              "jt6400-cli: no generator with serial number 3333 found.\n");
    const TRun wrongPort = RunCli({"--port", "5", "--serial", "2222", "run"});
    EXPECT_EQ(wrongPort.Code, 3);
    EXPECT_EQ(wrongPort.Err, "jt6400-cli: COM5 holds the 6404+ with serial number 1111, not the one with serial "
                             "number 2222.\n");
    EXPECT_EQ(RunCli({"--serial", "x", "run"}).Code, 2);
}

// Every key of status --json is there, null where the model or firmware
// has no such reading or it is switched off, so a script can index it. The
// error is 0 when the generator reports none and null when its firmware
// cannot report one.
TEST_F(CliTest, StatusJsonHasEveryKeyOnEveryModel)
{
    Start(3, Generator("6402", "1", "1.2.0"));
    Start(4, "6404+");
    struct Case {
        const char* Port;
        QJsonValue Error;
    };
    for (const Case& c : {Case{"3", QJsonValue()}, Case{"4", QJsonValue(0)}}) {
        SCOPED_TRACE(c.Port);
        const QJsonObject json = JsonOf(RunCli({"--port", c.Port, "--json", "status"}).Out);
        for (const char* key : {"running", "shotCount", "measuredPeriod", "error", "port", "model"})
            EXPECT_TRUE(json.contains(key)) << key;
        for (const char* key : {"shotCount", "measuredPeriod"})
            EXPECT_TRUE(json[key].isNull()) << key;
        EXPECT_EQ(json["error"], c.Error) << QJsonDocument(json).toJson().toStdString();
    }
}

// Two runs with one log keep both; a log that cannot be written is named,
// before anything is sent.
TEST_F(CliTest, LogIsAppendedToAndAnUnwritableLogIsRefusedFirst)
{
    auto& g = Start(3, "6404+");
    ASSERT_EQ(RunCli({"--log", File("traffic.txt"), "query", ":PULS1:DEL"}).Code, 0);
    ASSERT_EQ(RunCli({"--port", "3", "query", ":PULS1:WIDT", "--log", File("traffic.txt")}).Code, 0);
    const QString log = QString::fromLocal8Bit(FileBytes(File("traffic.txt")));
    EXPECT_EQ(log.count("JT6400 Communication Log File "), 2) << log.toStdString();
    EXPECT_TRUE(log.contains(":PULS1:DEL?")) << log.toStdString();
    EXPECT_TRUE(log.contains(":PULS1:WIDT?")) << log.toStdString();
    EXPECT_LT(log.indexOf(":PULS1:DEL?"), log.indexOf(":PULS1:WIDT?"));

    const qsizetype before = ReceivedLines(g.trace()).size();
    for (const QString& path : {File("no/such/folder/log.txt"), Work.path()}) {
        SCOPED_TRACE(path.toStdString());
        const TRun run = RunCli({"--log", path, "--port", "3", "run"});
        EXPECT_EQ(run.Code, 2);
        EXPECT_TRUE(run.Err.startsWith("jt6400-cli: Log file cannot be written to. " + path + ": "))
            << run.Err.toStdString();
        EXPECT_EQ(run.Err.count('\n'), 1) << run.Err.toStdString();
    }
    EXPECT_EQ(ReceivedLines(g.trace()).size(), before);
}

class CliLateGenerator : public CliTest, public ::testing::WithParamInterface<int> {};

// A generator that answers after the 100 ms discovery waits is named as
// one that answers too late, not as an unsupported model or a silent port:
// one whose answers come while the probe is still asking, and one whose
// first answer comes after the probe has ended. Both latencies are far from
// the 100 ms of the probe and the 2 s of the second ask.
TEST_P(CliLateGenerator, IsNamedAsOneThatAnswersTooLate)
{
    jt6400sim::ServerOptions slow;
    slow.latencyMs = GetParam();
    Start(3, Generator("6404+", "4711"), slow);
    const TRun list = RunCli({"list"});
    EXPECT_EQ(list.Code, 3);
    EXPECT_EQ(list.Out, "COM3    6404+ answers too late (after more than 100 ms)\n");
    const TRun json = RunCli({"list", "--json"});
    const QJsonArray ports = JsonOf(json.Out)["ports"].toArray();
    ASSERT_EQ(ports.size(), 1);
    EXPECT_EQ(ports[0]["state"].toString(), "too late") << json.Out.toStdString() << json.Err.toStdString();
    EXPECT_EQ(ports[0]["serial"].toInt(), 4711);
    const QString late = "COM3: the 6404+ with serial number 4711 answers too late: its answers come after the "
                         "100 ms that the search for a generator waits.\n";
    const TRun chosen = RunCli({"--port", "3", "identify"});
    EXPECT_EQ(chosen.Code, 3);
    EXPECT_EQ(chosen.Err, "jt6400-cli: " + late);
    const TRun scanned = RunCli({"identify"});
    EXPECT_EQ(scanned.Code, 3);
    EXPECT_EQ(scanned.Err, "jt6400-cli: " + late + "jt6400-cli: no generator found.\n");
}

INSTANTIATE_TEST_SUITE_P(Latencies, CliLateGenerator, ::testing::Values(250, 1000),
                         [](const auto& info) { return "After" + std::to_string(info.param) + "ms"; });

// A port folder that is not there is named; a link whose device is gone is
// "no generator" in list and for a chosen port alike.
TEST_F(CliTest, MissingFolderAndDeadLinkAreNamed)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("JT6400_PORT_DIR", File("gone"));
    for (const QStringList& args : {QStringList{"list"}, QStringList{"identify"}, QStringList{"--port", "3", "run"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const TRun run = RunCli(args, {}, environment);
        EXPECT_EQ(run.Code, 3);
        EXPECT_EQ(run.Err, "jt6400-cli: No available ports: JT6400_PORT_DIR names " + File("gone") +
                               ", which does not exist.\n");
    }

    Folder.Link(1, QStringLiteral("/nonexistent/ttyUSB9"));
    EXPECT_EQ(RunCli({"list"}).Out, "COM1    dangling link: its device /nonexistent/ttyUSB9 does not exist\n");
    const QString dangling = "jt6400-cli: no generator on COM1: its device /nonexistent/ttyUSB9 does not exist.\n";
    const TRun chosen = RunCli({"--port", "1", "identify"});
    EXPECT_EQ(chosen.Code, 3);
    EXPECT_EQ(chosen.Err, dangling);
    const TRun scanned = RunCli({"identify"});
    EXPECT_EQ(scanned.Code, 3);
    EXPECT_EQ(scanned.Err, dangling + "jt6400-cli: no generator found.\n");
}

// A port folder this user may not read is named, not taken for an empty one.
TEST_F(CliTest, UnreadablePortFolderIsNamed)
{
    Start(3, "6404+");
    const QByteArray folder = QFile::encodeName(Folder.Path());
    ASSERT_EQ(::chmod(folder.constData(), 0), 0);
    const auto restore = qScopeGuard([&] { ::chmod(folder.constData(), 0700); });
    if (::access(folder.constData(), R_OK | X_OK) == 0)
        GTEST_SKIP() << "this process may read any folder (root's override); "
                        "the cli.WithoutPermissionOverride test entry runs it without";
    for (const QStringList& args : {QStringList{"list"}, QStringList{"identify"}, QStringList{"--port", "3", "run"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const TRun run = RunCli(args);
        EXPECT_EQ(run.Code, 3);
        EXPECT_EQ(run.Err, "jt6400-cli: No available ports: JT6400_PORT_DIR names " + Folder.Path() +
                               ", which this user may not read.\n");
    }
}

// Two ports this user may not open: the dialout advice once, for both.
TEST_F(CliTest, NoPermissionAdviceIsGivenOnceForAllPorts)
{
    std::vector<std::pair<QByteArray, mode_t>> devices;
    const auto restore = qScopeGuard([&] {
        for (const auto& [device, mode] : devices)
            ::chmod(device.constData(), mode);
    });
    for (int port : {3, 4}) {
        const QByteArray device = QByteArray::fromStdString(Start(port, "6404+").devicePath());
        struct stat before {};
        ASSERT_EQ(::stat(device.constData(), &before), 0);
        ASSERT_EQ(::chmod(device.constData(), 0), 0);
        devices.emplace_back(device, before.st_mode & 07777);
    }
    if (::access(devices[0].first.constData(), R_OK | W_OK) == 0)
        GTEST_SKIP() << "this process may open any device (root's override); "
                        "the cli.WithoutPermissionOverride test entry runs it without";
    const TRun run = RunCli({"status"});
    EXPECT_EQ(run.Code, 3);
    EXPECT_EQ(run.Err, "jt6400-cli: COM3, COM4: no permission. " + TJTComPort::PermissionHint() +
                           "\njt6400-cli: no generator found.\n");
    EXPECT_EQ(run.Err.count(TJTComPort::PermissionHint()), 1);
    EXPECT_FALSE(run.Err.contains("..")) << run.Err.toStdString();
}

TEST(CliSettingsCompare, ValuesCompareAsTheGeneratorAnswersThem)
{
    const QStringList readBack = {"// 1/2/2024,10:00:00", ":PULS0:PER 0.001", ":PULS1:STAT 1",
                                  ":PULS1:CMOD NORM",     ":PULS1:DEL 1E-7",  ":PULS1:SYNC T0"};
    const jtcli::TSettingsComparison c = jtcli::CompareSettings(
        {"// comment", ":pulS0:per 1e-3", "PULS1:STAT ON", ":PULS1:CMOD norm", ":PULS1:DEL 0.0000001000000001",
         ":PULS1:SYNC CHA", ":PULS1:SYNC T0", ":PULS8:WIDT 1", ":PULS0:PER 0.002 // trailing comment"},
        readBack);
    EXPECT_TRUE(c.Differences.isEmpty());
    EXPECT_EQ(c.NotCompared, QStringList{":PULS8:WIDT 1"});

    const jtcli::TSettingsComparison d =
        jtcli::CompareSettings({":PULS0:PER 0.002", ":PULS1:STAT OFF", ":PULS1:DEL 1.01E-7"}, readBack);
    ASSERT_EQ(d.Differences.size(), 3);
    EXPECT_EQ(d.Differences[0].Setting, ":PULS0:PER");
    EXPECT_EQ(d.Differences[0].Asked, "0.002");
    EXPECT_EQ(d.Differences[0].Found, "0.001");
    EXPECT_EQ(d.Differences[2].Setting, ":PULS1:DEL");
}

// A file may set a setting with its set header or long node names; it is
// compared with the read-back line of the same setting.
TEST(CliSettingsCompare, HeadersMeetTheSettingTheyChange)
{
    const QStringList readBack = {":PULS0:EXT:MODE TRIG", ":PULS0:MOD BURS", ":PULS2:WIDT 2E-7"};
    const jtcli::TSettingsComparison c =
        jtcli::CompareSettings({":PULS0:EXT:MOD GAT", ":PULSE0:MODE burs", ":PULSE2:WIDTH 0.0000002"}, readBack);
    EXPECT_TRUE(c.NotCompared.isEmpty()) << c.NotCompared.join(", ").toStdString();
    ASSERT_EQ(c.Differences.size(), 1);
    EXPECT_EQ(c.Differences[0].Setting, ":PULS0:EXT:MODE");
    EXPECT_EQ(c.Differences[0].Asked, "GAT");
    EXPECT_EQ(c.Differences[0].Found, "TRIG");
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
