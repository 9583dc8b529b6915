#include "comm/CommTestSupport.h"
#include "model/ProgramState.h"
#include "comm/TrafficLog.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class EnvGuard {
public:
    explicit EnvGuard(const char* name) : FName(name), FHad(qEnvironmentVariableIsSet(name)), FValue(qgetenv(name)) {}
    ~EnvGuard()
    {
        if (FHad)
            qputenv(FName, FValue);
        else
            qunsetenv(FName);
    }

private:
    const char* FName;
    bool FHad;
    QByteArray FValue;
};

TEST(TrafficLogName, FormatAndUserName)
{
    const QDateTime start(QDate(2024, 3, 7), QTime(14, 5, 9));
    EXPECT_EQ(TTrafficLog::LogFileName("lab", start), "JT6400LogFile_lab_03-07-24_14-05-09.txt");
    EXPECT_EQ(TTrafficLog::LogFileName("", start), "JT6400LogFile__03-07-24_14-05-09.txt");
    // A user name never takes the file out of its folder.
    EXPECT_EQ(TTrafficLog::LogFileName("../../etc/cron.d/x", start), "JT6400LogFile_etccron.dx_03-07-24_14-05-09.txt");
    EXPECT_EQ(TTrafficLog::SanitizeUserName("..\\..\\Windows\\x"), "Windowsx");
    EXPECT_EQ(TTrafficLog::SanitizeUserName("...."), "");
    EXPECT_EQ(TTrafficLog::SanitizeUserName("C:a*b?"), "Cab");
    EXPECT_EQ(TTrafficLog::SanitizeUserName("j.smith"), "j.smith");
}

TEST(TrafficLogName, UserFromEnvironment)
{
    EnvGuard u1("USERNAME"), u2("USER");
    qputenv("USERNAME", "winuser");
    qputenv("USER", "unixuser");
    EXPECT_EQ(TTrafficLog::UserNameFromEnvironment(), "winuser");
    qunsetenv("USERNAME");
    EXPECT_EQ(TTrafficLog::UserNameFromEnvironment(), "unixuser");
    qunsetenv("USER");
    EXPECT_EQ(TTrafficLog::UserNameFromEnvironment(), "");
}

TEST(TimeStamp, Format)
{
    EXPECT_EQ(TimeStamp(QTime(9, 5, 3, 7)), "09:05:03.007");
    EXPECT_EQ(TimeStamp(QTime(23, 59, 59, 999)), "23:59:59.999");
    EXPECT_TRUE(LinesMatch({TimeStamp()}, {"{T}"}));
}

class TrafficLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        log.SetFolder(dir.path());
        QObject::connect(&log, &TTrafficLog::StateChanged, [this](bool on) { checks << on; });
    }
    QTemporaryDir dir;
    TProgramState state;
    TScriptedDialogs dialogs;
    TTrafficLog log{dialogs};
    QList<bool> checks;
};

TEST_F(TrafficLogTest, OnCreatesFileWithHeaderOnly)
{
    EnvGuard u1("USERNAME"), u2("USER");
    qunsetenv("USERNAME");
    qputenv("USER", "lab");
    log.ToggleLoggingState();
    EXPECT_TRUE(log.Enabled());
    EXPECT_TRUE(log.FileName().startsWith("JT6400LogFile_lab_"));
    EXPECT_TRUE(QRegularExpression("^JT6400LogFile_lab_\\d\\d-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.txt$")
                    .match(log.FileName())
                    .hasMatch());
    EXPECT_EQ(QFileInfo(log.FilePath()).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
    const QStringList lines = ReadLogLines(log.FilePath());
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("JT6400 Communication Log File "));
    EXPECT_TRUE(lines[0].contains(','));
    EXPECT_FALSE(lines[0].contains(", "));
    // Lines end with CR LF and nothing else.
    QFile f(log.FilePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().endsWith("\r\n"));
    EXPECT_EQ(checks, QList<bool>{true});
}

TEST_F(TrafficLogTest, LinesAreOnDiskAsSoonAsWrittenAndOffCloses)
{
    log.FixNameParts("u", QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)));
    log.AppendLine("dropped while off");
    log.ToggleLoggingState();
    log.AppendLine("Sent    (01:02:03.004): *IDN?");
    EXPECT_EQ(ReadLogLines(log.FilePath()).mid(1), QStringList{"Sent    (01:02:03.004): *IDN?"});
    log.ToggleLoggingState();
    EXPECT_FALSE(log.Enabled());
    EXPECT_FALSE(log.IsOpen());
    log.AppendLine("dropped again");
    // On again: the same name, started afresh.
    log.ToggleLoggingState();
    EXPECT_EQ(log.FileName(), "JT6400LogFile_u_01-02-24_03-04-05.txt");
    EXPECT_EQ(ReadLogLines(log.FilePath()).size(), 1);
    log.Close();
    EXPECT_FALSE(log.Enabled());
    EXPECT_EQ(checks, (QList<bool>{true, false, true, false}));
}

TEST_F(TrafficLogTest, UnwritableLocationDisablesLogging)
{
    log.SetFolder(dir.filePath("missing/folder"));
    log.ToggleLoggingState();
    EXPECT_FALSE(log.Enabled());
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(dialogs.Texts(), QStringList{"Log file cannot be written to. Please run program from writable location. "
                                           "Logging will be disabled."});
    EXPECT_EQ(checks, (QList<bool>{true, false}));
}

TEST_F(TrafficLogTest, FailedWriteDisablesLogging)
{
    log.FixNameParts("full", QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)));
    ASSERT_TRUE(QFile::link("/dev/full", log.FilePath()));
    log.ToggleLoggingState();
    EXPECT_FALSE(log.Enabled());
    EXPECT_EQ(dialogs.Shown.size(), 1);
}

TEST_F(TrafficLogTest, DestructionClosesTheFile)
{
    QString path;
    {
        TProgramState s;
        TTrafficLog local(dialogs);
        local.SetFolder(dir.path());
        local.FixNameParts("d", QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)));
        local.ToggleLoggingState();
        local.AppendLine("last line");
        path = local.FilePath();
    }
    EXPECT_EQ(ReadLogLines(path).mid(1), QStringList{"last line"});
}

}  // namespace
