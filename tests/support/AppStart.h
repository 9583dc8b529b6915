// Starting the panel in a test as main() does, then letting the window's
// thread run until its start-up has ended.
#pragma once

#include "app/App.h"
#include "support/LineWait.h"

// True when the panel goes on after start-up (a generator found, a port
// picked, or the demonstration mode); false when start-up ended it.
inline bool StartUp(TJT6400App& app)
{
    if (!app.Start())
        return false;
    // Start-up ends with jobs of its own on the line (the port's settings
    // for the connection, or the restart).
    return WaitUntil([&app] { return !app.Starting() && app.Line().Idle(); }) && !app.Ending();
}
