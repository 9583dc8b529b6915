#include "app/CommandLine.h"

#include "remote/Address.h"

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
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const std::string l = Lower(a);
        // "--name value" or "--name=value".
        auto value = [&](const std::string& name, std::string& out) {
            if (l == name) {
                if (i + 1 >= args.size())
                    return false;
                out = args[++i];
                return true;
            }
            out = a.substr(name.size() + 1);
            return true;
        };
        auto named = [&](const std::string& name) { return l == name || l.rfind(name + "=", 0) == 0; };
        if (named("--remote")) {
            if (!value("--remote", o.Remote) || !remote::ParseListenAddress(QString::fromStdString(o.Remote)))
                o.Error = "--remote needs [ADDRESS:]PORT, e.g. --remote 5025 or --remote 0.0.0.0:5025";
        } else if (named("--remote-allow")) {
            std::string network;
            if (!value("--remote-allow", network) || !remote::ParseNetwork(QString::fromStdString(network)))
                o.Error = "--remote-allow needs a client network, e.g. --remote-allow 192.168.1.0/24";
            else
                o.RemoteAllow.push_back(network);
        } else if (l == "--remote-line-mode") {
            o.RemoteLineMode = true;
        } else if (l == "--help" || l == "-h")
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

std::vector<std::string> RestartArguments(const TCommandLineOptions& options)
{
    std::vector<std::string> args;
    if (options.Logging)
        args.push_back("-log");
    if (!options.Remote.empty()) {
        args.push_back("--remote");
        args.push_back(options.Remote);
    }
    for (const std::string& network : options.RemoteAllow) {
        args.push_back("--remote-allow");
        args.push_back(network);
    }
    if (options.RemoteLineMode)
        args.push_back("--remote-line-mode");
    return args;
}

std::string UsageText(const std::string& programName)
{
    return "Usage: " + programName +
           " [-log] [--demo] [--pick-port] [--remote [ADDR:]PORT] [--help] [--version]\n"
           "Control panel for 6400-series digital pulse and delay generators.\n"
           "\n"
           "  -log, /log     record all serial traffic in JT6400LogFile_<user>_<time>.txt\n"
           "  --demo         start in demonstration mode without a generator\n"
           "                 (the same as holding Left Shift while the panel starts)\n"
           "  --pick-port    choose the serial port by hand instead of searching\n"
           "                 (the same as holding Space while the panel starts)\n"
           "  --remote [ADDR:]PORT\n"
           "                 serve the generator on the network (SCPI over TCP, one\n"
           "                 line per command) at ADDR (default 127.0.0.1, this\n"
           "                 machine only) and PORT (5025 by convention). Another\n"
           "                 address, such as 0.0.0.0, gives everyone who reaches it\n"
           "                 control of the generator: limit it with --remote-allow\n"
           "  --remote-allow NET\n"
           "                 accept network clients from NET only (192.168.1.0/24,\n"
           "                 or one address); may be given more than once\n"
           "  --remote-line-mode\n"
           "                 every network line gets the generator's own reply, as\n"
           "                 on the serial line\n"
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
