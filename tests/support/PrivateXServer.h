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
        // An X server resets itself whenever its last client disconnects, and
        // refuses a client that connects during the reset: a test connects and
        // disconnects short-lived clients (xdotool, the panel's key check) all
        // the time, so the server must never reset.
        FServer.start("Xvfb", {"-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"});
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
