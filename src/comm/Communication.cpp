#include "comm/Communication.h"

#include "platform/Dialogs.h"
#include "serial/JTComPort.h"
#include "model/NumberText.h"
#include "model/ProgramState.h"

#include <QPointer>
#include <QThread>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace {
// The pause before each exchange. Linux lets a sleep end late by the
// thread's timer slack (50 us unless changed) so that it can merge wake-ups;
// a read-back pauses here more than a hundred times, so the thread asks once
// for wake-ups on time.
void PauseBeforeExchange()
{
#ifdef Q_OS_LINUX
    static thread_local const bool onTime = ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    Q_UNUSED(onTime);
#endif
    QThread::msleep(1);
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

TCommunication::TCommunication(TProgramState& state, TJTComPort& port, IDialogs& dialogs, ITerminal* terminal,
                               IAppControl* app)
    : FState(state), FPort(port), FDialogs(dialogs), FTerminal(terminal), FApp(app), FLog(state, dialogs)
{
}

TCommunication::~TCommunication() = default;

void TCommunication::ConnectTimeoutHandler()
{
    FPort.SetOnTimeout([self = QPointer(this)](TJTComPort*) {
        if (self)
            self->CommunicationsLost();
    });
}

void TCommunication::AddTerminalLine(const QString& text, const QColor& color)
{
    if (FTerminal)
        FTerminal->AddLine(text, color);
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
    if (FState.CommandsDisabled) {
        LogLine(
            [&] { return QStringLiteral("Command Disabled:    (") + TimeStamp() + QStringLiteral("): ") + command; });
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
    const QString mark = origin.isEmpty() ? QString() : QStringLiteral("[") + origin + QStringLiteral("] ");
    AddTerminalLine(QStringLiteral("(") + TimeStamp() + QStringLiteral(") ") + mark + TrimRightControls(command),
                    CommandColor());
    LogLine([&] { return QStringLiteral("Sent    (") + TimeStamp() + QStringLiteral("): ") + FLastCommandText; });
    return ReadAndShowResponse();
}

QString TCommunication::QueryDevice(const QString& command)
{
    PauseBeforeExchange();
    FPort.Flush();
    if (FPort.InUse())
        return QString();
    FLastCommandText = command + QLatin1Char('?');
    WriteLine(FLastCommandText);
    LogLine([&] { return QStringLiteral("Sent    (") + TimeStamp() + QStringLiteral("): ") + FLastCommandText; });
    // An exchange whose wait ended the program returns without touching the
    // destroyed channel.
    const QPointer alive(this);
    const QString answer = ResponseText(FPort.Read());
    if (!alive)
        return answer;
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
    const QPointer alive(this);
    QString answer = QueryDevice(command);
    if (!alive)
        return 0;
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
    const QPointer alive(this);
    const QString response = ResponseText(FPort.Read());
    if (!alive)
        return response;
    LogLine([&] { return QStringLiteral("Received(") + TimeStamp() + QStringLiteral("): ") + response; });
    return response;
}

QString TCommunication::ReadAndShowResponse()
{
    const QPointer alive(this);
    const QString response = ReadResponse();
    if (!alive)
        return response;
    AddTerminalLine(QStringLiteral("(") + TimeStamp() + QStringLiteral(") ") + response, ResponseColor());
    return response;
}

void TCommunication::CommunicationsLost()
{
    const QPointer alive(this);
    FPort.Flush();
    if (FApp)
        FApp->StopStatusTimer();
    const TMsgButton answer = FDialogs.MessageDlg(QStringLiteral("Communications lost. Restart?"), QString(),
                                                  mbYesNoIgnore, TMsgKind::mkWarning);
    if (!alive)
        return;
    switch (answer) {
        case TMsgButton::mbYes:
            FLog.Close();
            if (FApp)
                FApp->RestartApp();
            break;
        case TMsgButton::mbNo:
            FLog.Close();
            if (FApp)
                FApp->ExitApp();
            break;
        default:  // Ignore: carry on
            FPort.Flush();
            if (FApp)
                FApp->StartStatusTimer();
            break;
    }
}

TIdnParseResult TCommunication::ParseIDN()
{
    return ::ParseIDN(FState.DeviceIdentity, [this](const QString& command) { return QueryDevice(command); });
}
