// Fuzzes the network server's input handling: the bytes of one client, cut
// into pieces where the input says, through line framing, the checks, the
// commands of a line split at ";", the server's own commands, the status
// registers and the error queue, with generator answers taken
// from the input too. Whatever comes in, a line handed to the generator is
// one command of printable ASCII within the length limit, every reply is
// one line of printable ASCII, and the error queue stays bounded.
#include "fuzz/FuzzCheck.h"
#include "remote/ScpiSession.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

bool PrintableLine(const QByteArray& line)
{
    for (char c : line) {
        if (c < 0x20 || c > 0x7e)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // First byte: line mode and the size of the pieces the bytes arrive in.
    const bool lineMode = data[0] & 1;
    const std::size_t piece = 1 + (data[0] >> 1);
    // The answers the generator gives, in turn: the last quarter of the input.
    const std::size_t answersAt = 1 + (size - 1) * 3 / 4;
    const QByteArray answers(reinterpret_cast<const char*>(data + answersAt), static_cast<qsizetype>(size - answersAt));
    qsizetype answerPos = 0;

    remote::TScpiSession session(lineMode);
    for (std::size_t at = 1; at < answersAt; at += piece) {
        const std::size_t n = std::min(piece, answersAt - at);
        session.Input().Append(QByteArrayView(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(n)));
        FUZZ_CHECK(session.Input().Partial() <= remote::kMaxLineLength + 1);
        while (auto line = session.Input().Next()) {
            remote::TAction action = session.Handle(*line);
            int carried = 0;
            while (action.Kind == remote::TAction::TKind::Carry) {
                FUZZ_CHECK(line->Fault == remote::TFramedLine::TFault::None);
                FUZZ_CHECK(!action.Text.isEmpty());
                FUZZ_CHECK(action.Text.size() <= remote::kMaxLineLength);
                FUZZ_CHECK(PrintableLine(action.Text));
                FUZZ_CHECK(action.Query == remote::IsQuery(action.Text));
                // A line of N bytes holds at most N/2 + 1 commands.
                FUZZ_CHECK(++carried <= line->Text.size() / 2 + 1);
                FUZZ_CHECK(!lineMode || carried == 1);
                // The next answer runs to the next NUL of the answers.
                qsizetype end = answers.indexOf('\0', answerPos);
                if (end < 0)
                    end = answers.size();
                const QString answer = QString::fromLatin1(answers.mid(answerPos, end - answerPos));
                answerPos = std::min(end + 1, answers.size());
                action = session.Answered(action, answer);
            }
            // Line mode answers every line; otherwise a line gets at most one
            // reply line, whatever it holds.
            if (action.Kind == remote::TAction::TKind::None)
                FUZZ_CHECK(!lineMode);
            if (action.Kind == remote::TAction::TKind::Reply)
                FUZZ_CHECK(PrintableLine(action.Text));
            FUZZ_CHECK(session.Errors().Count() <= remote::kErrorQueueLength);
        }
    }
    while (session.Errors().Count() > 0)
        FUZZ_CHECK(PrintableLine(session.Errors().Pop().Format()));
    return 0;
}
