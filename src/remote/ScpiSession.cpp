#include "remote/ScpiSession.h"

#include "model/Capabilities.h"
#include "model/DeviceIdentity.h"

#include <QRegularExpression>

#include <cmath>

namespace remote {

namespace {

bool Printable(char c)
{
    return c >= 0x20 && c <= 0x7e;
}

bool Blank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView Trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && Blank(text[begin]))
        ++begin;
    while (end > begin && Blank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QByteArrayView Header(QByteArrayView line)
{
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (Blank(line[i]))
            return line.first(i);
    }
    return line;
}

// The commands the server answers itself.
enum class TOwnCommand {
    None,
    ErrorQuery,
    ErrorAll,
    ErrorCount,
    Version,
    Clear,
    EventEnable,
    EventEnableQuery,
    EventStatusQuery,
    ServiceEnable,
    ServiceEnableQuery,
    StatusByteQuery,
    Complete,
    CompleteQuery,
    Wait,
    SelfTestQuery,
    OptionsQuery,
    Reset,
    LockRequest,
    LockRelease,
};

TOwnCommand OwnCommand(QByteArrayView header)
{
    QByteArray h = header.toByteArray().toUpper();
    if (h.startsWith('*')) {
        static const std::pair<const char*, TOwnCommand> common[] = {
            {"*CLS", TOwnCommand::Clear},
            {"*ESE", TOwnCommand::EventEnable},
            {"*ESE?", TOwnCommand::EventEnableQuery},
            {"*ESR?", TOwnCommand::EventStatusQuery},
            {"*SRE", TOwnCommand::ServiceEnable},
            {"*SRE?", TOwnCommand::ServiceEnableQuery},
            {"*STB?", TOwnCommand::StatusByteQuery},
            {"*OPC", TOwnCommand::Complete},
            {"*OPC?", TOwnCommand::CompleteQuery},
            {"*WAI", TOwnCommand::Wait},
            {"*TST?", TOwnCommand::SelfTestQuery},
            {"*OPT?", TOwnCommand::OptionsQuery},
            {"*RST", TOwnCommand::Reset},
        };
        for (const auto& [name, command] : common) {
            if (h == name)
                return command;
        }
        return TOwnCommand::None;
    }
    if (h.startsWith(':'))
        h.remove(0, 1);
    static const std::pair<QRegularExpression, TOwnCommand> system[] = {
        {QRegularExpression(QStringLiteral("^SYST(EM)?:ERR(OR)?(:NEXT)?\\?$")), TOwnCommand::ErrorQuery},
        {QRegularExpression(QStringLiteral("^SYST(EM)?:ERR(OR)?:ALL\\?$")), TOwnCommand::ErrorAll},
        {QRegularExpression(QStringLiteral("^SYST(EM)?:ERR(OR)?:COUN(T)?\\?$")), TOwnCommand::ErrorCount},
        {QRegularExpression(QStringLiteral("^SYST(EM)?:VERS(ION)?\\?$")), TOwnCommand::Version},
        {QRegularExpression(QStringLiteral("^SYST(EM)?:LOCK:REQ(UEST)?\\?$")), TOwnCommand::LockRequest},
        {QRegularExpression(QStringLiteral("^SYST(EM)?:LOCK:REL(EASE)?$")), TOwnCommand::LockRelease},
    };
    const QString text = QString::fromLatin1(h);
    for (const auto& [pattern, command] : system) {
        if (pattern.match(text).hasMatch())
            return command;
    }
    return TOwnCommand::None;
}

bool TakesParameter(TOwnCommand command)
{
    return command == TOwnCommand::EventEnable || command == TOwnCommand::ServiceEnable;
}

// Decimal numeric data as SCPI writes it: "12", "-1.5", ".5", "2E-6".
bool IsNumber(QByteArrayView text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    return number.match(QString::fromLatin1(text)).hasMatch();
}

unsigned EventBit(int code)
{
    if (code <= -100 && code > -200)
        return sbCommandError;
    if (code <= -200 && code > -300)
        return sbExecutionError;
    if (code <= -300 && code > -400)
        return sbDeviceError;
    if (code <= -400 && code > -500)
        return sbQueryError;
    return 0;
}

bool CommandError(int code)
{
    return code <= -100 && code > -200;
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
        if (std::any_of(text.begin(), text.end(), [](char c) { return !Printable(c) && c != '\t'; }))
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

TScpiError GeneratorError(const QString& answer, QByteArrayView command)
{
    const QString words = QString::fromLatin1(ReplyLine(answer));
    const auto error = [&words](int code, const char* text) {
        return TScpiError{code, QString::fromLatin1(text) + QStringLiteral("; ") + words};
    };
    if (answer.contains(QLatin1Char('?')))
        return error(ecUndefinedHeader, "Undefined header");
    const QString fault = answer.toLower();
    if (fault.contains(QLatin1String("out of range")))
        return error(ecDataOutOfRange, "Data out of range");
    if (fault.contains(QLatin1String("malformed"))) {
        // A number the command does not take (a fraction for a count, 2 for
        // a switch) is an illegal value; text where a number belongs is data
        // of the wrong type.
        const QByteArrayView trimmed = Trimmed(command);
        const QByteArrayView parameter = Trimmed(trimmed.sliced(Header(trimmed).size()));
        return IsNumber(parameter) ? error(ecIllegalParameterValue, "Illegal parameter value")
                                   : error(ecDataTypeError, "Data type error");
    }
    if (fault.contains(QLatin1String("unknown keyword")))
        return error(ecIllegalParameterValue, "Illegal parameter value");
    if (fault.contains(QLatin1String("missing value")))
        return error(ecMissingParameter, "Missing parameter");
    if (fault.contains(QLatin1String("takes no value")))
        return error(ecParameterNotAllowed, "Parameter not allowed");
    return error(ecExecutionError, "Execution error");
}

QList<QByteArray> SplitCommands(QByteArrayView line)
{
    QList<QByteArray> commands;
    QByteArray command;
    char quote = 0;
    for (const char c : line) {
        if (quote) {
            if (c == quote)
                quote = 0;
            command += c == '\t' ? ' ' : c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            command += c;
        } else if (c == ';') {
            commands << Trimmed(command).toByteArray();
            command.clear();
        } else {
            command += c == '\t' ? ' ' : c;
        }
    }
    commands << Trimmed(command).toByteArray();
    return commands;
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

TScpiSession::~TScpiSession()
{
    // A lock ends with its connection.
    if (HoldsLock())
        FLock->Holder = nullptr;
}

TAction TScpiSession::Refuse(TScpiError error)
{
    if (FLineMode) {
        // The generator's own way of saying what is wrong with a line.
        const QByteArray text = error.Code == ecInputBufferOverrun
                                    ? QByteArrayLiteral("ERR: line too long (at most %1 bytes)")
                                    : error.Code == ecInvalidCharacter ? QByteArrayLiteral("ERR: invalid character")
                                                                        : QByteArrayLiteral("ERR: empty line");
        return {TAction::TKind::Reply, QByteArray(text).replace("%1", QByteArray::number(kMaxLineLength)), false};
    }
    Fail(std::move(error));
    return {};
}

void TScpiSession::Fail(TScpiError error)
{
    FEventStatus |= EventBit(error.Code);
    // A command the server cannot make sense of ends its line: the commands
    // after it on the line are not carried out.
    if (CommandError(error.Code))
        FLineFailed = true;
    FErrors.Push(std::move(error));
}

unsigned TScpiSession::StatusByte() const
{
    unsigned status = 0;
    if (FErrors.Count() > 0)
        status |= sbErrorQueue;
    if (!FReplies.isEmpty())
        status |= sbMessageAvailable;
    if (FEventStatus & FEventEnable)
        status |= sbEventSummary;
    if (status & FServiceEnable)
        status |= sbRequestService;
    return status;
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
    if (FLineMode)
        return {TAction::TKind::Carry, line.Text, IsQuery(line.Text)};
    QList<QByteArray> commands = SplitCommands(line.Text);
    // A ";" right before the line's end closes the last command.
    if (commands.size() > 1 && commands.back().isEmpty())
        commands.removeLast();
    FCommands.assign(commands.begin(), commands.end());
    FReplies.clear();
    FLineFailed = false;
    return Continue();
}

TAction TScpiSession::Continue()
{
    while (!FCommands.empty() && !FLineFailed) {
        const QByteArray command = std::move(FCommands.front());
        FCommands.pop_front();
        const TAction action = Command(command);
        if (action.Kind == TAction::TKind::Carry)
            return action;
    }
    FCommands.clear();
    if (FReplies.isEmpty())
        return {};
    TAction reply{TAction::TKind::Reply, FReplies.join(';'), true};
    FReplies.clear();
    return reply;
}

std::optional<unsigned> TScpiSession::Register(QByteArrayView parameter)
{
    if (parameter.isEmpty()) {
        Fail({ecMissingParameter, QStringLiteral("Missing parameter")});
        return std::nullopt;
    }
    if (!IsNumber(parameter)) {
        Fail({ecDataTypeError, QStringLiteral("Data type error; a number from 0 to 255 is expected")});
        return std::nullopt;
    }
    const double value = std::round(parameter.toByteArray().toDouble());
    if (value < 0 || value > 255) {
        Fail({ecDataOutOfRange, QStringLiteral("Data out of range; a number from 0 to 255 is expected")});
        return std::nullopt;
    }
    return static_cast<unsigned>(value);
}

TAction TScpiSession::Command(const QByteArray& command)
{
    if (command.isEmpty()) {
        Fail({ecSyntaxError, QStringLiteral("Syntax error; empty command")});
        return {};
    }
    const QByteArrayView header = Header(command);
    const QByteArrayView parameter = Trimmed(QByteArrayView(command).sliced(header.size()));
    const TOwnCommand own = OwnCommand(header);
    if (own != TOwnCommand::None && !TakesParameter(own) && !parameter.isEmpty()) {
        Fail({ecParameterNotAllowed, QStringLiteral("Parameter not allowed")});
        return {};
    }
    const auto reply = [this](const QByteArray& text) { FReplies << text; };
    TLock& lock = FLock ? *FLock : FOwnLock;
    const auto carry = [this, &lock](TPurpose purpose, const QByteArray& text) {
        const bool query = IsQuery(text);
        if (!query && lock.Holder && lock.Holder != this) {
            Fail({ecCommandProtected, QStringLiteral("Command protected; another connection holds the lock")});
            return TAction{};
        }
        FPurpose = purpose;
        return TAction{TAction::TKind::Carry, text, query};
    };
    switch (own) {
        case TOwnCommand::None:
            return carry(TPurpose::Plain, command);
        case TOwnCommand::ErrorQuery:
            reply(FErrors.Pop().Format());
            break;
        case TOwnCommand::ErrorAll: {
            QList<QByteArray> all;
            do
                all << FErrors.Pop().Format();
            while (FErrors.Count() > 0);
            reply(all.join(','));
            break;
        }
        case TOwnCommand::ErrorCount:
            reply(QByteArray::number(FErrors.Count()));
            break;
        case TOwnCommand::Version:
            reply(QByteArrayLiteral("1999.0"));
            break;
        case TOwnCommand::Clear:
            FErrors.Clear();
            FEventStatus = 0;
            break;
        case TOwnCommand::EventEnable:
            if (const auto value = Register(parameter))
                FEventEnable = *value;
            break;
        case TOwnCommand::EventEnableQuery:
            reply(QByteArray::number(FEventEnable));
            break;
        case TOwnCommand::EventStatusQuery:
            reply(QByteArray::number(FEventStatus));
            FEventStatus = 0;
            break;
        case TOwnCommand::ServiceEnable:
            // Bit 6 of the service request enable register is never set.
            if (const auto value = Register(parameter))
                FServiceEnable = *value & ~unsigned(sbRequestService);
            break;
        case TOwnCommand::ServiceEnableQuery:
            reply(QByteArray::number(FServiceEnable));
            break;
        case TOwnCommand::StatusByteQuery:
            reply(QByteArray::number(StatusByte()));
            break;
        case TOwnCommand::Complete:
            // Commands are carried out one after another, each before the
            // next is looked at: everything earlier is done.
            FEventStatus |= sbOperationComplete;
            break;
        case TOwnCommand::CompleteQuery:
            reply(QByteArrayLiteral("1"));
            break;
        case TOwnCommand::Wait:
            break;
        case TOwnCommand::SelfTestQuery:
            return carry(TPurpose::SelfTest, QByteArrayLiteral("*IDN?"));
        case TOwnCommand::OptionsQuery:
            return carry(TPurpose::Options, QByteArrayLiteral("*IDN?"));
        case TOwnCommand::Reset:
            // The safe state: the pulses stop. Every setting stays as it is.
            return carry(TPurpose::Reset, QByteArrayLiteral(":PULS0:STAT OFF"));
        case TOwnCommand::LockRequest:
            if (!lock.Holder)
                lock.Holder = this;
            reply(lock.Holder == this ? QByteArrayLiteral("1") : QByteArrayLiteral("0"));
            break;
        case TOwnCommand::LockRelease:
            if (lock.Holder == this)
                lock.Holder = nullptr;
            break;
    }
    return {};
}

TAction TScpiSession::Answered(const TAction& carried, const QString& answer)
{
    if (FLineMode)
        return {TAction::TKind::Reply, ReplyLine(answer), carried.Query};
    const bool failed = answer.isEmpty() || IsErrorAnswer(answer);
    if (answer.isEmpty())
        Fail({ecHardwareError, QStringLiteral("Hardware error; the generator did not answer")});
    else if (failed)
        Fail(GeneratorError(answer, carried.Text));
    switch (FPurpose) {
        case TPurpose::Plain:
            if (carried.Query)
                FReplies << ReplyLine(answer);
            break;
        case TPurpose::SelfTest: {
            TDeviceIdentity identity;
            const bool known = !failed && ParseIDNText(answer, identity) == TIdnParseResult::iprComplete;
            FReplies << (known ? QByteArrayLiteral("0") : QByteArrayLiteral("1"));
            break;
        }
        case TPurpose::Options: {
            TDeviceIdentity identity;
            QList<QByteArray> options;
            if (!failed && ParseIDNText(answer, identity) != TIdnParseResult::iprCleared) {
                const TModelInfo model = ModelInfo(identity.Model);
                if (model.PlusOption)
                    options << QByteArrayLiteral("PLUS");
                if (model.HighResolution)
                    options << QByteArrayLiteral("HRES");
            }
            FReplies << (options.isEmpty() ? QByteArrayLiteral("0") : options.join(','));
            break;
        }
        case TPurpose::Reset:
            break;
    }
    FPurpose = TPurpose::Plain;
    return Continue();
}

}  // namespace remote
