// The program's copy of the connected generator's settings: one object owned
// by the application and passed by reference to every part that reads or
// changes it, so that tests can build a fresh one and nothing is shared
// between runs. The read-back fills it, the edit handlers keep it current and
// the settings file saves its lines. The program's own state lives with the
// part it belongs to: the line knows whether it is ending, the queue whether
// commands are held, the status poll the run state and the last error, and
// the command channel whether a generator is behind it at all.
#pragma once

#include "model/SettingsSnapshot.h"

struct TProgramState : TSettingsSnapshot {
};
