#include "comm/Communication.h"

#include "comm/LineOwner.h"
#include "platform/Dialogs.h"
#include "serial/JTComPort.h"
#include "model/NumberText.h"

namespace {
// The pause before each exchange, on the line's thread.
void PauseBeforeExchange()
{
    TLineOwner::Pause(1);
}

// One response: the bytes up to the first CR. A generator that sends two
// answers at once puts the second one behind that marker; it belongs to no
// exchange and is not part of this one.
QString ResponseText(const QByteArray& received)
{
    const qsizetype marker = received.indexOf('\r');
    return TrimRightControls(QString::fromLatin1(marker < 0 ? received : received.left(marker + 1)));
}
}  // namespace

TCommunication::TCommunication(TJTComPort& port, IDialogs& dialogs, ITerminal* terminal, IAppControl* app)
    : FPort(port), FDialogs(dialogs), FTerminal(terminal), FApp(app), FLog(dialogs)
{
}

TCommunication::~TCommunication() = default;

void TCommunication::ConnectTimeoutHandler()
{
    FPort.SetOnTimeout([this](TJTComPort*) { CommunicationsLost(); });
}

void TCommunication::AddTerminalLine(const QString& text, TLineKind kind)
{
    if (FTerminal)
        FTerminal->AddLine(text, kind);
}

bool TCommunication::WriteLine(const QString& text)
{
    return FPort.Write(text.toLatin1() + "\r\n");
}

void TCommunication::LogNote(const QString& text)
{
    LogLine([&] { return QStringLiteral("Remote  (") + TimeStamp() + QStringLiteral("): ") + text; });
}

QString TCommunication::SendCommand(const QString& command, const QString& origin)
{
    const QString mark = origin.isEmpty() ? QString() : QStringLiteral("[") + origin + QStringLiteral("] ");
    if (FDemoMode) {
        // No generator: the port (whichever device it names) is never opened.
        LogLine([&] { return QStringLiteral("Demo Mode:    (") + TimeStamp() + QStringLiteral("): ") + command; });
        AddTerminalLine(QStringLiteral("(") + TimeStamp() + QStringLiteral(") ") + mark + TrimRightControls(command),
                        TLineKind::lkCommand);
        AddTerminalLine(
            QStringLiteral("(") + TimeStamp() + QStringLiteral(") Not sent: demonstration mode, no generator"),
            TLineKind::lkResponse);
        return QString();
    }
    PauseBeforeExchange();
    FPort.Flush();
    if (FPort.InUse()) {
        LogLine([&] { return QStringLiteral("Comport in use:    (") + TimeStamp() + QStringLiteral("): ") + command; });
        return QString();
    }
    FLastCommandText = command;
    WriteLine(FLastCommandText);
    AddTerminalLine(QStringLiteral("(") + TimeStamp() + QStringLiteral(") ") + mark + TrimRightControls(command),
                    TLineKind::lkCommand);
    LogLine([&] { return QStringLiteral("Sent    (") + TimeStamp() + QStringLiteral("): ") + FLastCommandText; });
    return ReadAndShowResponse();
}

QString TCommunication::QueryDevice(const QString& command)
{
    if (FDemoMode)
        return QString();
    PauseBeforeExchange();
    FPort.Flush();
    if (FPort.InUse())
        return QString();
    FLastCommandText = command + QLatin1Char('?');
    WriteLine(FLastCommandText);
    LogLine([&] { return QStringLiteral("Sent    (") + TimeStamp() + QStringLiteral("): ") + FLastCommandText; });
    const QString answer = ResponseText(FPort.Read());
    LogLine([&] { return QStringLiteral("Received(") + TimeStamp() + QStringLiteral("): ") + answer; });
    return answer;
}

void TCommunication::LogConversionFailure()
{
    LogLine([&] { return QStringLiteral("Exception Error (") + TimeStamp(); });
}

// Queries and converts the answer: an empty answer counts as 0, one that does
// not convert is 0 with an "Exception Error" log line.
template <typename T, typename Convert>
T TCommunication::QueryNumber(const QString& command, Convert convert)
{
    QString answer = QueryDevice(command);
    if (answer.isEmpty())
        answer = QStringLiteral("0");
    const auto value = convert(TrimControls(answer));
    if (!value) {
        LogConversionFailure();
        return 0;
    }
    return *value;
}

std::int32_t TCommunication::QueryInteger(const QString& command)
{
    return QueryNumber<std::int32_t>(command, TryStrToInt);
}

double TCommunication::QueryFloat(const QString& command)
{
    return QueryNumber<double>(command, TryStrToFloat);
}

std::int64_t TCommunication::QueryInt64(const QString& command)
{
    return QueryNumber<std::int64_t>(command, TryStrToInt64);
}

QString TCommunication::ReadResponse()
{
    const QString response = ResponseText(FPort.Read());
    LogLine([&] { return QStringLiteral("Received(") + TimeStamp() + QStringLiteral("): ") + response; });
    return response;
}

QString TCommunication::ReadAndShowResponse()
{
    const QString response = ReadResponse();
    AddTerminalLine(QStringLiteral("(") + TimeStamp() + QStringLiteral(") ") + response, TLineKind::lkResponse);
    return response;
}

void TCommunication::CommunicationsLost()
{
    FPort.Flush();
    if (!FApp)
        return;
    if (FApp->CommunicationsLost()) {
        // Carrying on: whatever came late is not taken for the next answer.
        FPort.Flush();
        return;
    }
    FLog.Close();
}

TIdnParseResult TCommunication::ParseIDN(TDeviceIdentity& identity)
{
    return ::ParseIDN(identity, [this](const QString& command) { return QueryDevice(command); });
}
