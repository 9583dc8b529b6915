// Settings file text: encodings, line ends, refusal of what is not a
// settings file, and complete-or-nothing writes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "storage/SettingsFile.h"
#include "storage/StorageTestSupport.h"

namespace {

struct DecodeCase {
    const char* Name;
    QByteArray Bytes;
    QStringList Lines;
};

TEST(SettingsFileText, DecodesEncodingsAndEveryKindOfLineEnd)
{
    const DecodeCase cases[] = {
        {"crlf", "a\r\nb\r\n", {"a", "b"}},
        {"lone cr", "a\rb\r", {"a", "b"}},
        {"lone lf", "a\nb\n", {"a", "b"}},
        {"mixed, last line unterminated", "a\r\n\nb\rc", {"a", "", "b", "c"}},
        {"empty lines kept", "\r\n\r\nx\r\n", {"", "", "x"}},
        {"empty", "", {}},
        {"8-bit text keeps every byte", "\xE9t\xE9\r\n", {QString::fromLatin1("\xE9t\xE9")}},
        {"utf-8 with mark", "\xEF\xBB\xBF\xC3\xA9:PULS0\r\n", {QString::fromUtf8("\xC3\xA9:PULS0")}},
        {"utf-16 little-endian", QByteArray("\xFF\xFEZ\0\r\0\n\0Y\0", 10), {"Z", "Y"}},
        {"utf-16 big-endian", QByteArray("\xFE\xFF\0Z\0\n\0Y", 8), {"Z", "Y"}},
        {"tabs and blanks stay", "\t:SYST:AUT 1 \r\n", {"\t:SYST:AUT 1 "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TSettingsFileText text = DecodeSettingsText(c.Bytes);
        EXPECT_TRUE(text.Ok()) << text.Error.toStdString();
        EXPECT_EQ(text.Lines, c.Lines);
    }
}

TEST(SettingsFileText, RefusesContentThatIsNotText)
{
    const std::pair<const char*, QByteArray> cases[] = {
        {"nul byte", QByteArray(":PULS0:PER 1\0\r\n", 15)},
        {"picture", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
        {"escape", "\x1b[2J\r\n"},
        {"broken utf-8 after its mark", "\xEF\xBB\xBF\xC3(\r\n"},
        {"utf-16 of odd length", QByteArray("\xFF\xFEZ\0Y", 5)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        const TSettingsFileText text = DecodeSettingsText(bytes);
        EXPECT_FALSE(text.Ok());
        EXPECT_TRUE(text.Lines.isEmpty());
    }
}

// What each byte-order mark leads to. The panel reads 8-bit, UTF-8 and
// UTF-16 text; UTF-32 text holds NUL bytes and is refused as not text.
TEST(SettingsFileText, ByteOrderMarks)
{
    const QString notText = QStringLiteral("it is not a text file.");
    const struct {
        const char* Name;
        QByteArray Bytes;
        QStringList Lines;
        QString Error;
    } cases[] = {
        {"utf-8", "\xEF\xBB\xBFZ\r\n", {"Z"}, {}},
        {"utf-8 mark only", "\xEF\xBB\xBF", {}, {}},
        {"utf-16 little-endian", QByteArray("\xFF\xFEZ\0\r\0\n\0", 8), {"Z"}, {}},
        {"utf-16 big-endian", QByteArray("\xFE\xFF\0Z\0\r\0\n", 8), {"Z"}, {}},
        {"utf-16 mark only", "\xFE\xFF", {}, {}},
        {"utf-32 little-endian", QByteArray("\xFF\xFE\0\0Z\0\0\0\r\0\0\0\n\0\0\0", 16), {}, notText},
        {"utf-32 big-endian", QByteArray("\0\0\xFE\xFF\0\0\0Z\0\0\0\r\0\0\0\n", 16), {}, notText},
        {"utf-32 little-endian mark only", QByteArray("\xFF\xFE\0\0", 4), {}, notText},
        {"none", "\xFE\xBB\xBFZ\r\n", {QString::fromLatin1("\xFE\xBB\xBFZ")}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TSettingsFileText text = DecodeSettingsText(c.Bytes);
        EXPECT_EQ(text.Error, c.Error);
        EXPECT_EQ(text.Lines, c.Lines);
    }
}

TEST(SettingsFileText, WritesCrLfAfterEveryLineAndReadsItBack)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("s.txt");
    ASSERT_TRUE(WriteBytes(path, "old content that is longer than the new one\r\n"));
    const QStringList lines = {"// 1/2/2024,10:00:00", ":PULS0:PER 0.001", "", QString::fromLatin1(":X \xE9")};
    EXPECT_EQ(WriteSettingsFile(path, lines), QString());
    EXPECT_EQ(FileBytes(path), QByteArray("// 1/2/2024,10:00:00\r\n:PULS0:PER 0.001\r\n\r\n:X \xE9\r\n"));
    EXPECT_EQ(ReadSettingsFile(path).Lines, lines);
    // Nothing but the file is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"s.txt"});
}

TEST(SettingsFileText, FailuresNameTheFileAndLeaveTheOldOneAlone)
{
    QTemporaryDir dir;
    const QDir d(dir.path());
    ASSERT_TRUE(WriteBytes(d.filePath("plain"), "x"));
    ASSERT_TRUE(d.mkdir("folder.txt"));
    QFile huge(d.filePath("huge.txt"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(kMaxSettingsFileSize + 1));
    huge.close();

    for (const QString& name : {QString("missing.txt"), QString("folder.txt"), QString("huge.txt")}) {
        SCOPED_TRACE(name.toStdString());
        const TSettingsFileText text = ReadSettingsFile(d.filePath(name));
        EXPECT_FALSE(text.Ok());
        EXPECT_TRUE(text.Error.contains(d.filePath(name))) << text.Error.toStdString();
        EXPECT_TRUE(text.Lines.isEmpty());
    }
    // A path under a plain file, and a folder in the file's place.
    for (const QString& name : {QString("plain/s.txt"), QString("folder.txt")}) {
        SCOPED_TRACE(name.toStdString());
        const QString error = WriteSettingsFile(d.filePath(name), {"a"});
        EXPECT_TRUE(error.startsWith("Cannot write the settings file " + d.filePath(name))) << error.toStdString();
    }
    EXPECT_EQ(FileBytes(d.filePath("plain")), "x");
    EXPECT_TRUE(QFileInfo(d.filePath("folder.txt")).isDir());
}

}  // namespace
