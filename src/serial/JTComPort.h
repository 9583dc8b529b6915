// TJTComPort: the one object through which the panel reaches the generator.
// It opens a numbered COM port, applies the line settings, writes command
// bytes and reads a response until an end-of-response marker arrives or the
// response time runs out. Everything runs on the caller's thread, which in
// the panel is the line owner's: a read blocks that thread (without spinning)
// and never runs an event loop. With AllowEvents set a timeout is reported to
// the OnTimeout callback; InUse refuses a read started inside another (from
// that callback). Failures are reported through message boxes (ShowErrors), the
// TimedOut flag, the OnTimeout callback and empty results, never by
// exceptions. Opening takes the locks of Linux serial programs (PortLock.h);
// a device that another program holds by them is "in use" (ofInUse).
#pragma once

#include "platform/Dialogs.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <cstdint>
#include <functional>


// The ports that the selection dialog offers, found by OpenablePorts.
struct TPortChoice {
    QList<int> Ports;       // every valid port (as GetValidSerialPorts lists them)
    QList<int> Openable;    // those that opened just now, in the same order
    QList<int> Refused;     // those whose device refuses this user
    std::int32_t Current = 1;  // the port number the component holds
};

enum class THandshake : std::uint8_t { hsNone = 0, hsHardware = 1, hsAssertAll = 2 };
enum class TParity : std::uint8_t { parNone = 0, parEven = 1, parOdd = 2 };

// Why the last Open of a port failed.
enum class TOpenFailure {
    ofNone,          // it opened
    ofNoDevice,      // the number names no device, or the device is gone
    ofInUse,         // another program holds the port
    ofNoPermission,  // this user may not open the device
    ofOther,
};

class TJTComPort : public QObject {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TJTComPort* sender)>;

    // Dialogs answers the component's message boxes; without one they are
    // not shown and take their safe default (DefaultDialogs).
    explicit TJTComPort(QObject* owner = nullptr, IDialogs* dialogs = nullptr);
    ~TJTComPort() override;

    void SetDialogs(IDialogs* dialogs) { FDialogs = dialogs; }

    // Properties.
    bool AllowEvents() const { return FAllowEvents; }
    void SetAllowEvents(bool value) { FAllowEvents = value; }
    std::int32_t Baud() const { return FBaudRate; }
    void SetBaud(std::int32_t value);
    const QByteArray& EndOfResponse() const { return FEndOfResponse; }
    void SetEndOfResponse(const QByteArray& value);
    // The marker decoded into the characters that end a response; empty means
    // responses have no marker.
    const QByteArray& EndOfResponseRaw() const { return FEndOfResponseRaw; }
    THandshake Handshaking() const { return FHandshake; }
    void SetHandshaking(THandshake value);
    TParity Parity() const { return FParity; }
    void SetParity(TParity value);
    // Bytes waiting to be read; 0 when closed.
    std::int32_t InCount();
    // True when the port's line settings can be read from the driver.
    bool State() const;
    bool InUse() const { return FPortInUse; }
    std::uint32_t ResponseTime() const { return FResponseTime; }
    void SetResponseTime(std::uint32_t ms) { FResponseTime = ms; }
    const TNotifyEvent& OnTimeout() const { return FOnTimeout; }
    void SetOnTimeout(TNotifyEvent handler) { FOnTimeout = std::move(handler); }
    bool Opened() const;
    std::int32_t Port() const { return FPortNumber; }
    void SetPort(std::int32_t value);
    bool ShowErrors() const { return FShowErrors; }
    void SetShowErrors(bool value) { FShowErrors = value; }
    bool TimedOut() const { return FTimedOut; }
    QString Version() const { return FVersion; }

    // Operations.
    bool Open();
    void Close();
    void Flush();
    bool Write(const QByteArray& data);
    bool WriteRaw(const char* data, qint64 size);
    QByteArray Read();
    // Reads the bytes waiting, at most Size of them, into Buffer. Returns the
    // count read (0 when refused or closed).
    qint64 ReadRaw(char* buffer, qint64 size);
    QList<int> GetValidSerialPorts() const;
    // The ports the user may choose from in the selection dialog (the
    // dialog itself is TformPickPort, in the windowed library jt_pickport):
    // each valid port is opened once, without error boxes; one that is in
    // use elsewhere or gone does not open. The port is left closed, with its
    // number and ShowErrors as they were.
    TPortChoice OpenablePorts();

    // Marker decoding: "#13#10" -> CR LF, "abc#13" -> "abc" CR, "#" -> empty;
    // a "#" followed by no number or by a text that is not a decimal number
    // leaves the whole text as the marker.
    static QByteArray DecodeEndOfResponse(const QByteArray& text);
    // Why the last Open failed (ofNone after a successful one).
    TOpenFailure LastOpenFailure() const;
    // Advice for a user whose account may not open serial devices, one
    // sentence ending in a full stop, without the cause: on Linux the
    // "dialout" group; empty elsewhere.
    static QString PermissionHint();
    // Text of the failed-open box for port N: "Error opening COM<n>: ", on
    // Linux followed by advice when the device refused access.
    static QString OpenErrorText(int port, bool permissionDenied);

private:
    IDialogs& Dialogs() const;
    void ApplyLineSettings();
    void ReopenIfOpen();
    bool PermissionDenied(const QString& path) const;
    // Opens FDevicePath's device unless another program holds it (see
    // PortLock.h) and takes its locks; false with FLastOpenError set when it
    // does not open.
    bool OpenDevice();
    // Clears the serial device's error state when it holds one.
    void ForgetError();
#ifdef Q_OS_UNIX
    // Writes all bytes to the driver, waiting while its queue is full; false
    // when it refuses them or stays full for the write time limit.
    bool WriteToDriver(const char* data, qint64 size);
#endif
    // Bytes ready to read; the driver is asked only when none are buffered
    // and AskDriver is set.
    std::int32_t PendingCount(bool askDriver);
    // Waits up to about a millisecond for input without spinning; false when
    // the wait ran out with the driver's queue still empty.
    bool WaitForInput();

    bool FAllowEvents = false;
    std::int32_t FBaudRate = 9600;
    THandshake FHandshake = THandshake::hsNone;
    TParity FParity = TParity::parNone;
    QByteArray FEndOfResponse;
    QByteArray FEndOfResponseRaw;
    QSerialPort* FSerial;  // owned through the QObject tree
    bool FPortInUse = false;
    std::int32_t FPortNumber = 1;
    std::uint32_t FResponseTime = 1000;
    bool FShowErrors = true;
    bool FTimedOut = false;
    QString FVersion = QStringLiteral("2.0.2");
    TNotifyEvent FOnTimeout;

    IDialogs* FDialogs;
    QString FDevicePath;
    QSerialPort::SerialPortError FLastOpenError = QSerialPort::NoError;
    // The last Open found the device held by another program's lock.
    bool FHeldElsewhere = false;
    // The lock file of the open device, removed should a signal end the
    // program while it is open.
    QString FLockFile;
};
