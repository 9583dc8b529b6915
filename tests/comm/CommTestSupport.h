// Test support for the command channel: a recording terminal and
// application, and a line-answering device on a pseudo-terminal.
#pragma once

#include "comm/Communication.h"
#include "model/DeviceIdentity.h"
#include "support/ScriptedDialogs.h"
#include "support/PtyTestSupport.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <thread>

// An identity in a failure message: its fields, not its bytes.
inline void PrintTo(const TDeviceIdentity& id, std::ostream* os)
{
    *os << '{' << id.Manufacturer.toStdString() << ", " << id.Model.toStdString() << ", serial " << id.SerialNumber
        << ", firmware \"" << id.FirmwareVersion.toStdString() << "\" " << id.FirmwareVersionParts[0] << '.'
        << id.FirmwareVersionParts[1] << '.' << id.FirmwareVersionParts[2] << ", FPGA \""
        << id.FpgaVersion.toStdString() << "\" " << id.FpgaVersionParts[0] << '.' << id.FpgaVersionParts[1] << '.'
        << id.FpgaVersionParts[2] << '.' << id.FpgaVersionParts[3] << '}';
}

struct TRecordingTerminal : ITerminal {
    struct TLine {
        QString Text;
        TLineKind Kind;
    };
    QList<TLine> Lines;
    int Clears = 0;
    void AddLine(const QString& text, TLineKind kind) override { Lines.append({text, kind}); }
    void Clear() override
    {
        Lines.clear();
        ++Clears;
    }
};

// Records what the channel reports; a lost answer gets the scripted
// decision (GoOn), after OnLost has run.
struct TRecordingApp : IAppControl {
    QStringList Calls;
    bool GoOn = true;
    std::function<void()> OnLost;
    void RestartApp() override { Calls << "RestartApp"; }
    void ExitApp() override { Calls << "ExitApp"; }
    bool CommunicationsLost() override
    {
        Calls << "CommunicationsLost";
        if (OnLost)
            OnLost();
        return GoOn;
    }
};

// Answers every line (ended by CR LF) that arrives on the pty with
// Reply(line); no answer when Reply gives nothing.
class TLineDevice {
public:
    using TReply = std::function<std::optional<QByteArray>(const QByteArray& line)>;

    explicit TLineDevice(TReply reply) : FReply(std::move(reply))
    {
        FThread = std::thread([this] { Run(); });
    }
    ~TLineDevice()
    {
        FStop = true;
        FThread.join();
    }
    const TPtyPair& Pty() const { return FPty; }
    QList<QByteArray> Lines() const
    {
        std::lock_guard<std::mutex> lock(FMutex);
        return FLines;
    }

private:
    void Run()
    {
        QByteArray pending;
        while (!FStop) {
            pollfd p{FPty.Master(), POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0)
                continue;
            char buf[256];
            const ssize_t n = ::read(FPty.Master(), buf, sizeof buf);
            if (n <= 0)
                continue;
            pending.append(buf, n);
            qsizetype end;
            while ((end = pending.indexOf("\r\n")) >= 0) {
                const QByteArray line = pending.left(end);
                pending.remove(0, end + 2);
                {
                    std::lock_guard<std::mutex> lock(FMutex);
                    FLines << line;
                }
                if (auto answer = FReply(line))
                    FPty.Send(*answer);
            }
        }
    }

    TPtyPair FPty;
    TReply FReply;
    std::thread FThread;
    std::atomic<bool> FStop{false};
    mutable std::mutex FMutex;
    QList<QByteArray> FLines;
};

inline QStringList ReadLogLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    QStringList lines = QString::fromLocal8Bit(all).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Checks Lines against patterns in which "T" stands for a time stamp
// "hh:nn:ss.zzz"; everything else must match literally.
inline ::testing::AssertionResult LinesMatch(const QStringList& lines, const QStringList& patterns)
{
    if (lines.size() != patterns.size())
        return ::testing::AssertionFailure()
               << "got " << lines.size() << " lines, expected " << patterns.size() << ":\n"
               << lines.join('\n').toStdString();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringList parts = patterns[i].split(QStringLiteral("{T}"));
        for (auto& part : parts)
            part = QRegularExpression::escape(part);
        const QRegularExpression re(
            QStringLiteral("^") + parts.join(QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d")) + QStringLiteral("$"));
        if (!re.match(lines[i]).hasMatch())
            return ::testing::AssertionFailure() << "line " << i << " \"" << lines[i].toStdString()
                                                 << "\" does not match \"" << patterns[i].toStdString() << "\"";
    }
    return ::testing::AssertionSuccess();
}
