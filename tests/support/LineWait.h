// Waiting, in a test, for work that the panel hands to its line owner: the
// test's thread keeps its event loop turning (timers fire, results arrive)
// until a condition holds. A generous cap only keeps a broken build from
// hanging forever; no test measures time with it.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>

#include <functional>

inline bool WaitUntil(const std::function<bool()>& done, int capMs = 60000)
{
    QDeadlineTimer cap(capMs);
    while (!done()) {
        if (cap.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents();
        if (!done())
            QThread::usleep(200);
    }
    return true;
}
