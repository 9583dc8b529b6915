#include "serial/JTComPort.h"

#include "serial/PortList.h"
#include "serial/PortLock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// How long one write may wait for the driver to take its bytes.
constexpr int kWriteTimeoutMs = 5000;

}  // namespace

TJTComPort::TJTComPort(QObject* owner, IDialogs* dialogs)
    : QObject(owner), FSerial(new QSerialPort(this)), FDialogs(dialogs)
{
}

TJTComPort::~TJTComPort()
{
    Close();
}

IDialogs& TJTComPort::Dialogs() const
{
    return FDialogs ? *FDialogs : DefaultDialogs();
}

bool TJTComPort::Opened() const
{
    return FSerial->isOpen();
}

void TJTComPort::ReopenIfOpen()
{
    if (Opened()) {
        Close();
        Open();
    }
}

void TJTComPort::SetBaud(std::int32_t value)
{
    if (value == FBaudRate)
        return;
    FBaudRate = value;
    ReopenIfOpen();
}

void TJTComPort::SetHandshaking(THandshake value)
{
    if (value == FHandshake)
        return;
    FHandshake = value;
    ReopenIfOpen();
}

void TJTComPort::SetParity(TParity value)
{
    if (value == FParity)
        return;
    FParity = value;
    ReopenIfOpen();
}

void TJTComPort::SetPort(std::int32_t value)
{
    if (value == FPortNumber)
        return;
    FPortNumber = value;
    ReopenIfOpen();
}

QByteArray TJTComPort::DecodeEndOfResponse(const QByteArray& text)
{
    QByteArray raw;
    QByteArray number;
    bool numberMode = false;
    bool failed = false;
    auto convert = [&]() {
        // Codes above 255 keep their low byte, however many digits they have:
        // the code is taken modulo 256 digit by digit.
        unsigned code = 0;
        bool ok = !number.isEmpty();
        for (char c : number) {
            if (c < '0' || c > '9')
                ok = false;
            code = (code * 10 + static_cast<unsigned>(c - '0')) & 0xFF;
        }
        if (!ok) {
            failed = true;
            return;
        }
        raw.append(static_cast<char>(code));
        number.clear();
    };
    for (char c : text) {
        if (c == '#') {
            if (numberMode)
                convert();
            else
                numberMode = true;
        } else if (numberMode) {
            number.append(c);
        } else {
            raw.append(c);
        }
    }
    if (!number.isEmpty())
        convert();
    return failed ? text : raw;
}

void TJTComPort::SetEndOfResponse(const QByteArray& value)
{
    FEndOfResponse = value;
    FEndOfResponseRaw = DecodeEndOfResponse(value);
}

QString TJTComPort::PermissionHint()
{
#ifndef Q_OS_WIN
    return QStringLiteral(
        "Serial ports belong to the \"dialout\" group: add your user to it "
        "(sudo usermod -aG dialout $USER), then log out and in again.");
#else
    return QString();
#endif
}

QString TJTComPort::OpenErrorText(int port, bool permissionDenied)
{
    QString text = QStringLiteral("Error opening COM%1: ").arg(port);
    if (permissionDenied && !PermissionHint().isEmpty())
        text += QStringLiteral("\nPermission denied. ") + PermissionHint();
    return text;
}

TOpenFailure TJTComPort::LastOpenFailure() const
{
    switch (FLastOpenError) {
        case QSerialPort::NoError:
            return TOpenFailure::ofNone;
        case QSerialPort::DeviceNotFoundError:
            return TOpenFailure::ofNoDevice;
        case QSerialPort::PermissionError:
            if (FHeldElsewhere)
                return TOpenFailure::ofInUse;
            // Qt reports a port that another program has locked as a
            // permission error too.
            return PermissionDenied(FDevicePath) ? TOpenFailure::ofNoPermission : TOpenFailure::ofInUse;
        default:
            return TOpenFailure::ofOther;
    }
}

bool TJTComPort::PermissionDenied(const QString& path) const
{
#ifdef Q_OS_UNIX
    // Qt reports a port locked by another program as a permission error too;
    // only a device that refuses this user is worth the group advice.
    if (FLastOpenError != QSerialPort::PermissionError || FHeldElsewhere || path.isEmpty())
        return false;
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    Q_UNUSED(path);
    return false;
#endif
}

TPortChoice TJTComPort::OpenablePorts()
{
    TPortChoice choice;
    choice.Current = FPortNumber;
    choice.Ports = GetValidSerialPorts();
    const bool savedShowErrors = FShowErrors;
    FShowErrors = false;
    for (int n : choice.Ports) {
        FPortNumber = n;  // stored only; Open closes whatever is open first
        if (Open())
            choice.Openable << n;
        else if (PermissionDenied(FDevicePath))
            choice.Refused << n;
    }
    Close();
    FShowErrors = savedShowErrors;
    FPortNumber = choice.Current;
    return choice;
}

bool TJTComPort::Open()
{
    if (Opened())
        Close();
    for (;;) {
        FDevicePath = PortDevicePath(FPortNumber);
        FHeldElsewhere = false;
        if (FDevicePath.isEmpty()) {
            FLastOpenError = QSerialPort::DeviceNotFoundError;
        } else if (OpenDevice()) {
            FLastOpenError = QSerialPort::NoError;
            break;
        }
        if (!FShowErrors)
            break;
        const TMsgButton answer = Dialogs().MessageDlg(OpenErrorText(FPortNumber, PermissionDenied(FDevicePath)),
                                                       QString(), mbAbortRetry, TMsgKind::mkWarning);
        if (answer == TMsgButton::mbAbort)
            break;
    }
    if (Opened() && State())
        ApplyLineSettings();
    return Opened();
}

bool TJTComPort::OpenDevice()
{
    // The device itself is opened, not the link to it, so that the serial
    // device's own lock file is named after the device as well.
    const QString device = portlock::ResolvedDevice(FDevicePath);
    const portlock::TLockFileState lockFile = portlock::LockFileState(device);
    if (lockFile == portlock::TLockFileState::lfHeld) {
        FHeldElsewhere = true;
        FLastOpenError = QSerialPort::PermissionError;
        return false;
    }
    FSerial->setPortName(portlock::OpeningName(device, lockFile));
    if (!FSerial->open(QIODevice::ReadWrite)) {
        FLastOpenError = FSerial->error();
        return false;
    }
#ifdef Q_OS_UNIX
    if (!portlock::LockOpenDevice(static_cast<int>(FSerial->handle()))) {
        FSerial->close();
        ForgetError();
        FHeldElsewhere = true;
        FLastOpenError = QSerialPort::PermissionError;
        return false;
    }
    FLockFile = portlock::OwnLockFile(FSerial->portName());
    portlock::NoteHeldLockFile(FLockFile);
#endif
    return true;
}

void TJTComPort::ApplyLineSettings()
{
    // The results are not checked: a pseudo-terminal or a driver that lacks a
    // setting keeps its own, as a port whose settings cannot be written would.
    FSerial->setBaudRate(FBaudRate);
    FSerial->setDataBits(QSerialPort::Data8);
    FSerial->setStopBits(QSerialPort::OneStop);
    switch (FParity) {
        case TParity::parNone:
            FSerial->setParity(QSerialPort::NoParity);
            break;
        case TParity::parEven:
            FSerial->setParity(QSerialPort::EvenParity);
            break;
        case TParity::parOdd:
            FSerial->setParity(QSerialPort::OddParity);
            break;
    }
    switch (FHandshake) {
        case THandshake::hsNone:
            FSerial->setFlowControl(QSerialPort::NoFlowControl);
            FSerial->setDataTerminalReady(false);
            FSerial->setRequestToSend(false);
            break;
        case THandshake::hsHardware:
            FSerial->setFlowControl(QSerialPort::HardwareControl);
            FSerial->setDataTerminalReady(false);
            break;
        case THandshake::hsAssertAll:
            FSerial->setFlowControl(QSerialPort::NoFlowControl);
            FSerial->setDataTerminalReady(true);
            FSerial->setRequestToSend(true);
            break;
    }
    ForgetError();
}

void TJTComPort::Close()
{
    if (FSerial->isOpen()) {
#ifdef Q_OS_UNIX
        portlock::ForgetHeldLockFile(FLockFile);
        FLockFile.clear();
        portlock::UnlockOpenDevice(static_cast<int>(FSerial->handle()));
#endif
        FSerial->close();
    }
    ForgetError();
}

void TJTComPort::Flush()
{
    if (!Opened())
        return;
    FSerial->clear(QSerialPort::AllDirections);
    ForgetError();
}

void TJTComPort::ForgetError()
{
    // Clearing sets the error text anew (a translated "No error") and emits a
    // signal; a wait that ends without an error needs none of it.
    if (FSerial->error() != QSerialPort::NoError)
        FSerial->clearError();
}

bool TJTComPort::State() const
{
    if (!Opened())
        return false;
#ifdef Q_OS_UNIX
    termios settings{};
    return ::tcgetattr(static_cast<int>(FSerial->handle()), &settings) == 0;
#elif defined(Q_OS_WIN)
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    return ::GetCommState(FSerial->handle(), &dcb) != 0;
#else
    return true;
#endif
}

std::int32_t TJTComPort::InCount()
{
    if (!Opened())
        return 0;
    // Takes whatever the driver holds into the port's buffer without waiting.
    FSerial->waitForReadyRead(0);
    ForgetError();
    const qint64 n = FSerial->bytesAvailable();
    return n > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(n);
}

std::int32_t TJTComPort::PendingCount(bool askDriver)
{
    // Bytes that the last wait (or an event pass) already took from the
    // driver are read first; the driver is asked again only when none are left.
    const qint64 buffered = Opened() ? FSerial->bytesAvailable() : 0;
    if (buffered > 0)
        return buffered > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(buffered);
    return askDriver ? InCount() : 0;
}

bool TJTComPort::Write(const QByteArray& data)
{
    return WriteRaw(data.constData(), data.size());
}

bool TJTComPort::WriteRaw(const char* data, qint64 size)
{
    if (!Opened())
        Open();
    if (!Opened())
        return false;
    if (size <= 0)
        return true;
#ifdef Q_OS_UNIX
    return WriteToDriver(data, size);
#else
    if (FSerial->write(data, size) != size)
        return false;
    while (FSerial->bytesToWrite() > 0) {
        if (!FSerial->waitForBytesWritten(kWriteTimeoutMs))
            break;
    }
    const bool complete = FSerial->bytesToWrite() == 0;
    ForgetError();
    return complete;
#endif
}

#ifdef Q_OS_UNIX
bool TJTComPort::WriteToDriver(const char* data, qint64 size)
{
    // The bytes go to the driver at once. The serial device's own write path
    // would buffer them, arm a write notifier and wake the event loop for
    // every line, only to hand them to the same driver a moment later.
    const int fd = static_cast<int>(FSerial->handle());
    QElapsedTimer clock;
    clock.start();
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<std::size_t>(size));
        if (written > 0) {
            data += written;
            size -= written;
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        // A full driver queue: wait until it takes bytes again.
        const qint64 left = kWriteTimeoutMs - clock.elapsed();
        pollfd ready{fd, POLLOUT, 0};
        if (written < 0 && errno == EAGAIN && left > 0 && ::poll(&ready, 1, static_cast<int>(left)) > 0 &&
            (ready.revents & POLLOUT))
            continue;
        return false;
    }
    return true;
}
#endif

bool TJTComPort::WaitForInput()
{
    if (Opened()) {
        QElapsedTimer waited;
        waited.start();
        const bool ready = FSerial->waitForReadyRead(1);
        ForgetError();
        // A port in an error state answers at once; sleep out the rest of the
        // millisecond so the caller's loop never spins.
        if (ready || waited.nsecsElapsed() >= 900'000)
            return ready;
    }
    QThread::usleep(1000);
    return true;
}

QByteArray TJTComPort::Read()
{
    QByteArray result;
    if (FPortInUse) {
        if (FShowErrors)
            Dialogs().MessageDlg(QStringLiteral("Port is in use -- operation aborted"), QString(), TMsgButton::mbOK);
        return result;
    }
    if (!Opened()) {
        Open();
        if (!Opened())
            return result;
    }
    FPortInUse = true;

    if (FEndOfResponseRaw.isEmpty()) {
        const std::int32_t n = InCount();
        if (n > 0)
            result = FSerial->read(n);
        FPortInUse = false;
        return result;
    }

    QElapsedTimer clock;
    clock.start();
    qint64 deadline = clock.elapsed() + FResponseTime;
    bool complete = false;
    // False right after a wait that saw the driver's queue stay empty.
    bool askDriver = true;
    do {
        FTimedOut = false;
        for (;;) {
            const std::int32_t n = PendingCount(askDriver);
            if (n > 0)
                result += FSerial->read(n);
            if (result.contains(FEndOfResponseRaw)) {
                complete = true;
                break;
            }
            if (clock.elapsed() > deadline)
                FTimedOut = true;
            if (FTimedOut)
                break;
            askDriver = WaitForInput();
        }
        if (FTimedOut) {
            if (FAllowEvents && FOnTimeout) {
                const TNotifyEvent handler = FOnTimeout;  // the handler may replace it
                handler(this);
            }
            if (FShowErrors) {
                const TMsgButton answer = Dialogs().MessageDlg(QStringLiteral("Timeout waiting for response."),
                                                               QString(), mbAbortRetry, TMsgKind::mkWarning);
                if (answer == TMsgButton::mbRetry) {
                    FTimedOut = false;
                    deadline = clock.elapsed() + FResponseTime;
                }
            }
        }
    } while (!complete && !FTimedOut);

    FPortInUse = false;
    return result;
}

qint64 TJTComPort::ReadRaw(char* buffer, qint64 size)
{
    if (FPortInUse) {
        if (FShowErrors)
            Dialogs().MessageDlg(QStringLiteral("Port is in use -- operation aborted"), QString(), TMsgButton::mbOK);
        return 0;
    }
    if (!Opened()) {
        Open();
        if (!Opened())
            return 0;
    }
    FPortInUse = true;
    const qint64 wanted = qMin<qint64>(InCount(), size);
    qint64 got = 0;
    if (wanted > 0 && buffer) {
        got = FSerial->read(buffer, wanted);
        if (got < 0) {
            got = 0;
            Dialogs().MessageDlg(QStringLiteral("Raw read error."), QString(), TMsgButton::mbOK);
        }
    }
    FPortInUse = false;
    return got;
}

QList<int> TJTComPort::GetValidSerialPorts() const
{
    return SystemPortNumbers();
}
