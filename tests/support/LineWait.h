// Waiting, in a test, for work that the panel hands to its line owner: the
// test's thread keeps its event loop turning (results arrive, questions are
// answered, timers fire) until a condition holds. A generous cap only keeps a
// broken build from hanging forever; no test measures time with it.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <functional>

#include "comm/LineOwner.h"

inline bool WaitUntil(const std::function<bool()>& done, int capMs = 120000)
{
    QDeadlineTimer cap(capMs);
    while (!done()) {
        if (cap.hasExpired())
            return false;
        // One pass over what is pending, then a short rest: a timer of the
        // window's thread fires no sooner than it would in the program.
        QCoreApplication::processEvents();
        if (!done())
            QThread::usleep(200);
    }
    return true;
}

// Until every job handed to the line has ended and its report has been shown.
inline bool WaitForLine(TLineOwner& line)
{
    return WaitUntil([&line] { return line.Idle(); });
}
