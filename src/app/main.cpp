#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "app/Program.h"
#include "app/RemoteAccess.h"
#include "app/CommandLine.h"
#include "platform/QtDialogs.h"
#include "platform/Desktop.h"
#include "serial/PortLock.h"

int main(int argc, char* argv[])
{
    // The informational switches work without a display, so they are handled
    // before the toolkit starts.
    std::vector<std::string> args(argv + 1, argv + argc);
    const jt::TCommandLineOptions options = jt::ParseCommandLine(args);
    if (options.ShowHelp) {
        std::fputs(jt::UsageText("jt6400").c_str(), stdout);
        return 0;
    }
    if (!options.Error.empty()) {
        std::fprintf(stderr, "jt6400: %s\n", options.Error.c_str());
        return 2;
    }
    if (options.ShowVersion) {
        std::printf("%s\n", jt::VersionText().c_str());
        return 0;
    }
    // Other arguments are left alone, as the panel always did; the toolkit
    // takes its own (-platform, -display ...) from them.

    // Ended by a signal, the panel leaves no lock file of its port behind.
    portlock::RemoveLockFilesOnEndSignals();

    QApplication application(argc, argv);
    TQtDialogs dialogs;
    TDesktopStartupKeys keys(options.PickPort, options.Demo);
    TDesktopProcessControl process;
    TProgram program(options, {dialogs, keys, process});
    TJT6400App& app = program.App();
    // Boxes and file dialogs belong to the main window.
    dialogs.SetParent(&app.Window());
    QObject::connect(&app, &TJT6400App::StartedUp, &app, [&app, &program] {
        app.Show();
        program.Remote().StartFromCommandLine();
    });
    if (!app.Start())
        return 0;
    return application.exec();
}
