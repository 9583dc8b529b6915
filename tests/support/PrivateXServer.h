#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>

// A private X server for one test, so that tests running side by side never
// click or type into each other's windows. One screen of the given size.
class TPrivateXServer {
public:
    explicit TPrivateXServer(const QString& screen = QStringLiteral("1024x768x24"))
    {
        // Xvfb writes the display number it chose to the given descriptor.
        FServer.start("Xvfb", {"-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp"});
        if (!FServer.waitForStarted(5000))
            return;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000 && !FServer.canReadLine())
            FServer.waitForReadyRead(100);
        const QString number = QString::fromLatin1(FServer.readLine()).trimmed();
        if (!number.isEmpty())
            FDisplay = ":" + number;
    }
    ~TPrivateXServer()
    {
        FServer.terminate();
        if (!FServer.waitForFinished(5000))
            FServer.kill();
    }
    const QString& Display() const { return FDisplay; }

private:
    QProcess FServer;
    QString FDisplay;
};
