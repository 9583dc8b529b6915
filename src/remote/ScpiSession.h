// One network client's side of the SCPI conversation, without sockets: the
// bytes it sends are cut into lines (LF ends a line, CR LF is accepted), each
// line is checked (at most 4 KiB, printable ASCII only, not empty), and the
// server's own commands (SYST:ERR?, *CLS, *OPC?) are answered here from the
// connection's error queue. Every other line is handed out to be carried to
// the generator; its answer comes back through Answered.
//
// In line mode every line is carried to the generator as it is and every
// line gets the generator's own reply, exactly as on the serial line; a line
// that cannot be sent gets an error line in place of a reply.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <deque>
#include <optional>

namespace remote {

// The longest line a client may send, terminator not counted.
constexpr qsizetype kMaxLineLength = 4096;
// The error queue keeps this many entries; the last one then says that the
// queue overflowed.
constexpr int kErrorQueueLength = 16;

// SCPI-style error codes that this server reports.
enum TScpiErrorCode : int {
    ecNoError = 0,
    ecCommandError = -100,
    ecInvalidCharacter = -101,
    ecSyntaxError = -102,
    ecParameterNotAllowed = -108,
    ecUndefinedHeader = -113,
    ecExecutionError = -200,
    ecHardwareError = -240,
    ecQueueOverflow = -350,
    ecInputBufferOverrun = -363,
};

struct TScpiError {
    int Code = ecNoError;
    QString Text;
    // "code,\"text\"" with quotes inside the text doubled.
    QByteArray Format() const;
};

// The errors of one connection, oldest first.
class TErrorQueue {
public:
    void Push(TScpiError error);
    // The oldest error, removed; "0,No error" when there is none.
    TScpiError Pop();
    void Clear() { FErrors.clear(); }
    int Count() const { return static_cast<int>(FErrors.size()); }

private:
    std::deque<TScpiError> FErrors;
};

// One line as the framer cut it, with what was wrong with it.
struct TFramedLine {
    enum class TFault { None, TooLong, BadByte, Empty };
    QByteArray Text;  // without its terminator; empty for TooLong
    TFault Fault = TFault::None;
    bool operator==(const TFramedLine&) const = default;
};

// Cuts a byte stream into lines. A line longer than kMaxLineLength is
// dropped up to its end and reported once, without keeping its bytes.
class TLineFramer {
public:
    // Adds received bytes; complete lines wait in the framer until taken.
    void Append(QByteArrayView bytes);
    std::optional<TFramedLine> Next();
    int Ready() const { return static_cast<int>(FLines.size()); }
    // Bytes of an unfinished line held back.
    qsizetype Partial() const { return FPartial.size(); }

private:
    void Finish();
    QByteArray FPartial;
    bool FOverlong = false;
    std::deque<TFramedLine> FLines;
};

// True when the line's header (its text up to the first blank) ends in "?".
bool IsQuery(QByteArrayView line);

// True for an answer of the generator that reports a fault: it starts with
// "ERR" or holds a "?", which the generator answers to what it does not know.
bool IsErrorAnswer(const QString& answer);

// What the server is to do with one line.
struct TAction {
    enum class TKind {
        None,   // nothing to send back
        Reply,  // send Text as a reply line
        Carry,  // carry Text to the generator, then call Answered
    };
    TKind Kind = TKind::None;
    QByteArray Text;
    bool Query = false;
};

class TScpiSession {
public:
    explicit TScpiSession(bool lineMode = false) : FLineMode(lineMode) {}

    bool LineMode() const { return FLineMode; }
    TLineFramer& Input() { return FInput; }
    TErrorQueue& Errors() { return FErrors; }

    // Decides about the next framed line. Lines are handled strictly in the
    // order received, and a carried line is answered before the next line is
    // handled, so *OPC? and SYST:ERR? see every earlier line carried out.
    TAction Handle(const TFramedLine& line);
    // The generator's answer to a carried line; returns the reply line to
    // send, if any. An empty answer means the generator did not answer.
    std::optional<QByteArray> Answered(const TAction& carried, const QString& answer);

private:
    TAction Refuse(TScpiError error);
    bool FLineMode;
    TLineFramer FInput;
    TErrorQueue FErrors;
};

// A reply line made safe to send: one line of printable ASCII (a control
// character or a byte outside ASCII in a generator answer becomes a blank).
QByteArray ReplyLine(const QString& text);

}  // namespace remote
