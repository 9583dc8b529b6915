#pragma once

#include <string>
#include <vector>

namespace jt {

// What the command line asks of the program. Arguments it does not know are
// collected but otherwise ignored.
struct TCommandLineOptions {
    bool ShowHelp = false;
    bool ShowVersion = false;
    bool Logging = false;   // "-log" or "/log", any case
    bool Demo = false;      // "--demo": as Left Shift held at start-up
    bool PickPort = false;  // "--pick-port": as Space held at start-up
    // "--remote [ADDR:]PORT": the network server on from the start; empty
    // when off. "--remote-allow NET" (repeatable), "--remote-line-mode".
    std::string Remote;
    std::vector<std::string> RemoteAllow;
    bool RemoteLineMode = false;
    // A switch whose value is missing or wrong; the program then ends.
    std::string Error;
    std::vector<std::string> Unknown;
};

TCommandLineOptions ParseCommandLine(const std::vector<std::string>& args);
// The switches a restarted panel is started with: the logging choice and the
// network server's switches of this one (the start-up keys' switches are not
// passed on: a new panel searches for the generator).
std::vector<std::string> RestartArguments(const TCommandLineOptions& options);
std::string UsageText(const std::string& programName);
std::string VersionText();

}  // namespace jt
