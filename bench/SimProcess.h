// The simulated 6404+ as a program of its own (jt6400-sim, paced at line
// rate), as a real generator is a device of its own: the program measured
// does not share its process, and so its scheduling, with the generator.
// The link goes into the rig's port folder as COM3, where discovery finds it.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <stdexcept>
#include <string>
#include <vector>

class TSimProcess {
public:
    explicit TSimProcess(const QString& portFolder)
    {
        FProcess.start(
            QCoreApplication::applicationDirPath() + QStringLiteral("/jt6400-sim"),
            {QStringLiteral("--model"), QStringLiteral("6404+"), QStringLiteral("--pace"), QStringLiteral("--trace"),
             TracePath(), QStringLiteral("--link"), QDir(portFolder).filePath(QStringLiteral("COM3"))});
        // The program prints its device once it serves.
        if (!FProcess.waitForStarted(10000))
            throw std::runtime_error("jt6400-sim did not start");
        while (!FProcess.canReadLine())
            if (!FProcess.waitForReadyRead(10000))
                throw std::runtime_error("jt6400-sim did not name its device");
        FDevice = QString::fromLocal8Bit(FProcess.readLine()).trimmed();
    }
    ~TSimProcess()
    {
        FProcess.closeWriteChannel();  // it ends with its input
        if (!FProcess.waitForFinished(5000))
            FProcess.kill();
        FProcess.waitForFinished(5000);
    }

    const QString& Device() const { return FDevice; }

    // The trace so far, one entry per line ("HH:MM:SS.mmm RX text").
    std::vector<std::string> Trace() const
    {
        std::vector<std::string> lines;
        QFile file(TracePath());
        if (file.open(QIODevice::ReadOnly))
            while (!file.atEnd())
                lines.push_back(file.readLine().trimmed().toStdString());
        return lines;
    }

private:
    QString TracePath() const { return FWork.filePath(QStringLiteral("trace.txt")); }

    QTemporaryDir FWork;
    QProcess FProcess;
    QString FDevice;
};
