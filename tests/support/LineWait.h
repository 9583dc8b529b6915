// Waiting, in a test, for work that the panel hands to its line owner: the
// test's thread keeps its event loop turning (results arrive, questions are
// answered, timers fire) until a condition holds. A generous cap only keeps a
// broken build from hanging forever; no test measures time with it.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <functional>

#include "comm/LineOwner.h"

inline bool WaitUntil(const std::function<bool()>& done, int capMs = 120000)
{
    QDeadlineTimer cap(capMs);
    // The loop sleeps until something arrives (a report of the line, a
    // socket's data, a timer), and looks again at least every few
    // milliseconds for conditions that change without an event. It never
    // spins: on a busy machine the line's and the generator's threads get
    // the processor.
    QTimer look;
    look.start(2);
    while (!done()) {
        if (cap.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Until every job handed to the line has ended and its report has been shown.
inline bool WaitForLine(TLineOwner& line)
{
    return WaitUntil([&line] { return line.Idle(); });
}
