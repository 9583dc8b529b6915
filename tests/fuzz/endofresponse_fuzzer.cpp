// Fuzzes the decoder of the end-of-response marker setting ("#13#10" and
// the like) against a separately written reading of the same rules.
#include "fuzz/FuzzCheck.h"
#include "serial/JTComPort.h"

#include <QByteArray>
#include <QList>
#include <cstddef>
#include <cstdint>

namespace {

// Text before the first "#" stands as it is; after it, every "#"-separated
// field is a decimal character code whose low byte is taken. An empty last
// field is allowed ("abc#13#"); any other field that is empty or not decimal
// makes the whole text the marker.
QByteArray ReferenceDecode(const QByteArray& text)
{
    const QList<QByteArray> fields = text.split('#');
    if (fields.size() == 1)
        return text;
    QByteArray out = fields[0];
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const QByteArray& field = fields[i];
        if (field.isEmpty()) {
            if (i == fields.size() - 1)
                break;
            return text;
        }
        unsigned code = 0;
        for (char c : field) {
            if (c < '0' || c > '9')
                return text;
            code = (code * 10 + static_cast<unsigned>(c - '0')) & 0xFF;
        }
        out.append(static_cast<char>(code));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray decoded = TJTComPort::DecodeEndOfResponse(text);
    FUZZ_CHECK(decoded.size() <= text.size());
    FUZZ_CHECK(decoded == ReferenceDecode(text));
    return 0;
}
