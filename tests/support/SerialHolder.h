// Test support: another program holding a serial device.
#pragma once

#include <QProcess>
#include <QString>

// Needs /usr/bin/python3 and, for "pyserial", Debian's python3-serial.

// Another program on a serial device, as a Python process: "pyserial" opens
// it with pyserial's exclusive mode (flock(LOCK_EX|LOCK_NB) on the device),
// "flock" takes that flock by hand, "run" only runs. It stays until it is
// ended.
class THolder {
public:
    THolder(const QString& mode, const QString& device)
    {
        static const char* script = R"(
import fcntl, os, sys
mode, device = sys.argv[1], sys.argv[2]
try:
    if mode == "pyserial":
        import serial
        port = serial.Serial(device, 115200, exclusive=True)
    elif mode == "flock":
        fd = os.open(device, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
except (OSError, ValueError) as e:
    print("busy", e, flush=True)
    sys.exit(0)
print("held", flush=True)
sys.stdin.read()
)";
        FProcess.start(QStringLiteral("/usr/bin/python3"), {"-c", script, mode, device});
        FProcess.waitForStarted(10000);
        // Python answers at once; the limit is only against a hung start.
        for (int i = 0; i < 600 && FProcess.state() == QProcess::Running && !FProcess.canReadLine(); ++i)
            FProcess.waitForReadyRead(100);
        FAnswer = QString::fromLatin1(FProcess.readLine()).trimmed();
        if (FAnswer.isEmpty())
            FAnswer = QString::fromLocal8Bit(FProcess.readAllStandardError()).trimmed();
    }
    ~THolder() { End(); }

    // "held", or "busy ..." with the reason when the device was refused.
    const QString& Answer() const { return FAnswer; }
    qint64 Pid() const { return FProcess.processId(); }
    void End()
    {
        if (FProcess.state() == QProcess::NotRunning)
            return;
        FProcess.closeWriteChannel();
        if (!FProcess.waitForFinished(10000))
            FProcess.kill();
        FProcess.waitForFinished(10000);
    }

private:
    QProcess FProcess;
    QString FAnswer;
};

