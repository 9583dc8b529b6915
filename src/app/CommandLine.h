#pragma once

#include <string>
#include <vector>

namespace jt {

// What the command line asks of the program. Arguments it does not know are
// collected but otherwise ignored.
struct CommandLineOptions {
    bool showHelp = false;
    bool showVersion = false;
    bool logging = false;   // "-log" or "/log", any case
    bool demo = false;      // "--demo": as Left Shift held at start-up
    bool pickPort = false;  // "--pick-port": as Space held at start-up
    std::vector<std::string> unknown;
};

CommandLineOptions ParseCommandLine(const std::vector<std::string>& args);
std::string UsageText(const std::string& programName);
std::string VersionText();

}  // namespace jt
