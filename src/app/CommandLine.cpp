#include "app/CommandLine.h"

#include <algorithm>
#include <cctype>

#include "jt6400/Version.h"

namespace jt {

namespace {
std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}
}  // namespace

TCommandLineOptions ParseCommandLine(const std::vector<std::string>& args)
{
    TCommandLineOptions o;
    for (const std::string& a : args) {
        const std::string l = Lower(a);
        if (l == "--help" || l == "-h")
            o.ShowHelp = true;
        else if (l == "--version")
            o.ShowVersion = true;
        else if (l == "-log" || l == "/log")
            o.Logging = true;
        else if (l == "--demo")
            o.Demo = true;
        else if (l == "--pick-port")
            o.PickPort = true;
        else
            o.Unknown.push_back(a);
    }
    return o;
}

std::string UsageText(const std::string& programName)
{
    return "Usage: " + programName +
           " [-log] [--demo] [--pick-port] [--help] [--version]\n"
           "Control panel for 6400-series digital pulse and delay generators.\n"
           "\n"
           "  -log, /log     record all serial traffic in JT6400LogFile_<user>_<time>.txt\n"
           "  --demo         start in demonstration mode without a generator\n"
           "                 (the same as holding Left Shift while the panel starts)\n"
           "  --pick-port    choose the serial port by hand instead of searching\n"
           "                 (the same as holding Space while the panel starts)\n"
           "  --help         show this text and exit\n"
           "  --version      show the program version and exit\n"
           "\n"
           "Environment:\n"
           "  JT6400_PORT_DIR  folder whose COM<n> entries (links to serial devices) are\n"
           "                   the only ports the panel sees, numbered by their names\n";
}

std::string VersionText()
{
    return std::string("jt6400 ") + JT6400_VERSION;
}

}  // namespace jt
