#include "remote/ScpiSession.h"

#include <QRegularExpression>

namespace remote {

namespace {

bool Printable(char c)
{
    return c >= 0x20 && c <= 0x7e;
}

QByteArrayView Trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    return text.sliced(begin, end - begin);
}

QByteArrayView Header(QByteArrayView line)
{
    const qsizetype blank = line.indexOf(' ');
    return blank < 0 ? line : line.first(blank);
}

enum class TOwnCommand { None, ErrorQuery, Clear, CompleteQuery };

TOwnCommand OwnCommand(QByteArrayView header)
{
    QByteArray h = header.toByteArray().toUpper();
    if (h.startsWith(':'))
        h.remove(0, 1);
    static const QRegularExpression errorQuery(QStringLiteral("^SYST(EM)?:ERR(OR)?(:NEXT)?\\?$"));
    if (errorQuery.match(QString::fromLatin1(h)).hasMatch())
        return TOwnCommand::ErrorQuery;
    if (h == "*CLS")
        return TOwnCommand::Clear;
    if (h == "*OPC?")
        return TOwnCommand::CompleteQuery;
    return TOwnCommand::None;
}

}  // namespace

QByteArray TScpiError::Format() const
{
    QByteArray text = Text.toLatin1();
    text.replace('"', "\"\"");
    return QByteArray::number(Code) + ",\"" + text + '"';
}

void TErrorQueue::Push(TScpiError error)
{
    if (static_cast<int>(FErrors.size()) >= kErrorQueueLength) {
        FErrors.back() = {ecQueueOverflow, QStringLiteral("Queue overflow")};
        return;
    }
    FErrors.push_back(std::move(error));
}

TScpiError TErrorQueue::Pop()
{
    if (FErrors.empty())
        return {ecNoError, QStringLiteral("No error")};
    TScpiError oldest = std::move(FErrors.front());
    FErrors.pop_front();
    return oldest;
}

void TLineFramer::Append(QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const qsizetype lf = bytes.indexOf('\n');
        const QByteArrayView piece = lf < 0 ? bytes : bytes.first(lf);
        if (!FOverlong) {
            // A CR right before the LF belongs to the terminator, so the
            // limit allows one byte more until the line's end is seen.
            if (FPartial.size() + piece.size() > kMaxLineLength + 1) {
                FOverlong = true;
                FPartial.clear();
                FPartial.squeeze();
            } else {
                FPartial.append(piece);
            }
        }
        if (lf < 0)
            return;
        Finish();
        bytes = bytes.sliced(lf + 1);
    }
}

void TLineFramer::Finish()
{
    TFramedLine line;
    if (FPartial.endsWith('\r'))
        FPartial.chop(1);
    if (FOverlong || FPartial.size() > kMaxLineLength) {
        line.Fault = TFramedLine::TFault::TooLong;
    } else {
        const QByteArrayView text = Trimmed(FPartial);
        line.Text = text.toByteArray();
        if (std::any_of(text.begin(), text.end(), [](char c) { return !Printable(c); }))
            line.Fault = TFramedLine::TFault::BadByte;
        else if (text.isEmpty())
            line.Fault = TFramedLine::TFault::Empty;
    }
    FLines.push_back(std::move(line));
    FPartial.clear();
    FOverlong = false;
}

std::optional<TFramedLine> TLineFramer::Next()
{
    if (FLines.empty())
        return std::nullopt;
    TFramedLine line = std::move(FLines.front());
    FLines.pop_front();
    return line;
}

bool IsQuery(QByteArrayView line)
{
    return Header(Trimmed(line)).endsWith('?');
}

bool IsErrorAnswer(const QString& answer)
{
    return answer.startsWith(QLatin1String("ERR"), Qt::CaseInsensitive) || answer.contains(QLatin1Char('?'));
}

QByteArray ReplyLine(const QString& text)
{
    QByteArray line = text.toLatin1();
    for (char& c : line) {
        if (!Printable(c))
            c = ' ';
    }
    return line;
}

TAction TScpiSession::Refuse(TScpiError error)
{
    if (FLineMode)
        return {TAction::TKind::Reply, error.Format(), false};
    FErrors.Push(std::move(error));
    return {};
}

TAction TScpiSession::Handle(const TFramedLine& line)
{
    switch (line.Fault) {
        case TFramedLine::TFault::TooLong:
            return Refuse({ecInputBufferOverrun,
                           QStringLiteral("Input buffer overrun; a line holds at most %1 bytes").arg(kMaxLineLength)});
        case TFramedLine::TFault::BadByte:
            return Refuse({ecInvalidCharacter, QStringLiteral("Invalid character; only printable ASCII is accepted")});
        case TFramedLine::TFault::Empty:
            return Refuse({ecSyntaxError, QStringLiteral("Syntax error; empty line")});
        case TFramedLine::TFault::None:
            break;
    }
    const bool query = IsQuery(line.Text);
    if (!FLineMode) {
        const QByteArrayView header = Header(line.Text);
        const bool parameters = header.size() != line.Text.size();
        const TOwnCommand own = OwnCommand(header);
        if (own != TOwnCommand::None && parameters)
            return Refuse({ecParameterNotAllowed, QStringLiteral("Parameter not allowed")});
        switch (own) {
            case TOwnCommand::ErrorQuery:
                return {TAction::TKind::Reply, FErrors.Pop().Format(), true};
            case TOwnCommand::Clear:
                FErrors.Clear();
                return {};
            case TOwnCommand::CompleteQuery:
                // Lines are handled one after another, each carried out
                // before the next is looked at: everything earlier is done.
                return {TAction::TKind::Reply, QByteArrayLiteral("1"), true};
            case TOwnCommand::None:
                break;
        }
    }
    return {TAction::TKind::Carry, line.Text, query};
}

std::optional<QByteArray> TScpiSession::Answered(const TAction& carried, const QString& answer)
{
    if (FLineMode)
        return ReplyLine(answer);
    if (answer.isEmpty()) {
        FErrors.Push({ecHardwareError, QStringLiteral("Hardware error; the generator did not answer")});
    } else if (IsErrorAnswer(answer)) {
        const bool unknown = answer.contains(QLatin1Char('?'));
        FErrors.Push({unknown ? ecUndefinedHeader : ecExecutionError,
                      (unknown ? QStringLiteral("Undefined header; ") : QStringLiteral("Execution error; ")) +
                          QString::fromLatin1(ReplyLine(answer))});
    }
    if (carried.Query)
        return ReplyLine(answer);
    return std::nullopt;
}

}  // namespace remote
