// The program-wide state: one object owned by the application and passed by
// reference to every part that reads or changes it, so that tests can build
// a fresh one and nothing is shared between runs. The generator's side of it
// is the settings snapshot the read-back fills; the rest are the program's
// flags.
#pragma once

#include "model/SettingsSnapshot.h"

#include <cstdint>

struct TProgramState : TSettingsSnapshot {
    // Flags.
    bool DemoMode = false;
    bool CommandsDisabled = false;
    bool SystemRunning = false;
    // Last positive code of the generator's error query; 0 after a read-back.
    std::int32_t ErrorCode = 0;
    // Set by ExitApp and RestartApp: the program is ending, so timers, queued
    // commands and pending events must no longer reach the port.
    bool Terminating = false;
};
