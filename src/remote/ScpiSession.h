// One network client's side of the SCPI conversation, without sockets: the
// bytes it sends are cut into lines (LF ends a line, CR LF is accepted), each
// line is checked (at most 4 KiB, printable ASCII and tab only, not empty)
// and split at ";" outside quoted strings into commands, carried out in
// order. The IEEE 488.2 common commands and the status model of the
// connection (*CLS, *ESE, *ESR?, *SRE, *STB?, *OPC, *WAI, ...) and the
// SYSTem:ERRor, SYSTem:VERSion and SYSTem:LOCK commands are answered here;
// every other command is handed out to be carried to the generator, one at a
// time, and its answer comes back through Answered. The replies of one
// line's queries go back together as one line, joined by ";".
//
// In line mode every line is carried to the generator as it is and every
// line gets the generator's own reply, exactly as on the serial line; a line
// that cannot be sent gets an error answer in the generator's own words.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
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
    ecDataTypeError = -104,
    ecParameterNotAllowed = -108,
    ecMissingParameter = -109,
    ecUndefinedHeader = -113,
    ecExecutionError = -200,
    ecCommandProtected = -203,
    ecDataOutOfRange = -222,
    ecIllegalParameterValue = -224,
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

// The SCPI error for the generator's error answer to Command, with the
// generator's own words after the standard text.
TScpiError GeneratorError(const QString& answer, QByteArrayView command);

// The commands of one line: split at ";" outside quoted strings, each
// without the blanks around it; every tab becomes a blank, as the generator
// takes printable ASCII only.
QList<QByteArray> SplitCommands(QByteArrayView line);

// Bits of the standard event status register and of the status byte.
enum TStatusBit : unsigned {
    sbOperationComplete = 0x01,
    sbQueryError = 0x04,
    sbDeviceError = 0x08,
    sbExecutionError = 0x10,
    sbCommandError = 0x20,
    sbErrorQueue = 0x04,      // status byte: the error queue is not empty
    sbMessageAvailable = 0x10,
    sbEventSummary = 0x20,
    sbRequestService = 0x40,
};

// What the server is to do next with a line.
struct TAction {
    enum class TKind {
        None,   // the line is done, nothing to send back
        Reply,  // the line is done: send Text as a reply line
        Carry,  // carry Text to the generator, then call Answered
    };
    TKind Kind = TKind::None;
    QByteArray Text;
    bool Query = false;
};

// Exclusive control, shared by the connections of one server: the session
// that holds it, if any. While one holds it, the others' commands that would
// change the generator are refused; their queries are answered.
struct TLock {
    const void* Holder = nullptr;
};

class TScpiSession {
public:
    explicit TScpiSession(bool lineMode = false) : FLineMode(lineMode) {}
    ~TScpiSession();
    TScpiSession(const TScpiSession&) = delete;
    TScpiSession& operator=(const TScpiSession&) = delete;

    // The lock this session takes part in (SYST:LOCK:REQ?, SYST:LOCK:REL);
    // without one, those commands are answered as if it were always free.
    void SetLock(TLock* lock) { FLock = lock; }
    bool HoldsLock() const { return FLock && FLock->Holder == this; }

    bool LineMode() const { return FLineMode; }
    TLineFramer& Input() { return FInput; }
    TErrorQueue& Errors() { return FErrors; }

    // Starts on the next framed line and says what to do first. Lines and
    // their commands are handled strictly in the order received, and a
    // carried command is answered before the next one is handled, so *OPC?
    // and SYST:ERR? see every earlier command carried out.
    TAction Handle(const TFramedLine& line);
    // The generator's answer to a carried command (empty when it did not
    // answer); says what to do next with the line.
    TAction Answered(const TAction& carried, const QString& answer);

    unsigned EventStatus() const { return FEventStatus; }
    unsigned StatusByte() const;

private:
    // What a carried command was for.
    enum class TPurpose { Plain, SelfTest, Options, Reset };
    TAction Refuse(TScpiError error);
    void Fail(TScpiError error);
    TAction Continue();
    TAction Command(const QByteArray& command);
    std::optional<unsigned> Register(QByteArrayView parameter);
    bool FLineMode;
    TLineFramer FInput;
    TErrorQueue FErrors;
    // The line in progress: the commands still to do and the replies so far.
    std::deque<QByteArray> FCommands;
    QList<QByteArray> FReplies;
    bool FLineFailed = false;
    TPurpose FPurpose = TPurpose::Plain;
    unsigned FEventStatus = 0;
    unsigned FEventEnable = 0;
    unsigned FServiceEnable = 0;
    TLock* FLock = nullptr;
    TLock FOwnLock;
};

// A reply line made safe to send: one line of printable ASCII (a control
// character or a byte outside ASCII in a generator answer becomes a blank).
QByteArray ReplyLine(const QString& text);

}  // namespace remote
