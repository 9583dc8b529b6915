// Fuzzes the decoding of a settings file's bytes into lines: byte-order
// marks, 8-bit text, the three kinds of line end, and content that is not
// text at all.
#include "fuzz/FuzzCheck.h"
#include "storage/SettingsFile.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

bool HasBom(const QByteArray& bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const TSettingsFileText file = DecodeSettingsText(bytes);
    if (!file.Ok()) {
        FUZZ_CHECK(file.Lines.isEmpty());
        return 0;
    }

    qsizetype characters = 0;
    for (const QString& line : file.Lines) {
        characters += line.size();
        for (const QChar c : line) {
            // No line end inside a line, and no control character but the blanks
            // that text files carry.
            FUZZ_CHECK(c != u'\r' && c != u'\n');
            FUZZ_CHECK(c.unicode() >= 32 || c == u'\t' || c == u'\v' || c == u'\f');
        }
    }
    if (!HasBom(bytes)) {
        // 8-bit text: one character per byte, none lost but the line ends.
        FUZZ_CHECK(characters == bytes.size() - bytes.count('\r') - bytes.count('\n'));
        // A line per line end (CR LF, lone CR, lone LF), and one more for text
        // after the last line end.
        const qsizetype ends = bytes.count('\r') + bytes.count('\n') - bytes.count("\r\n");
        const qsizetype lastEnd = std::max(bytes.lastIndexOf('\r'), bytes.lastIndexOf('\n'));
        FUZZ_CHECK(file.Lines.size() == ends + (lastEnd + 1 < bytes.size() ? 1 : 0));
        // Saving the lines and reading them back gives the same lines.
        const TSettingsFileText again = DecodeSettingsText(EncodeSettingsText(file.Lines));
        FUZZ_CHECK(again.Ok() && again.Lines == file.Lines);
    } else {
        FUZZ_CHECK(characters <= bytes.size());
    }
    return 0;
}
