// The whole panel: the program's frame with every subsystem attached, each
// given what it uses, and the requests for a read-back connected to it. The
// executable runs one; tests build one to drive the real window.
#pragma once

#include <memory>

#include "app/App.h"

class TReadBack;
class TSettingsHandlers;
class TStatusPoll;
class TStorage;
class TDesktopUrlOpener;
class TTimingWindow;
class TRemoteAccess;

class TProgram {
public:
    TProgram(const jt::TCommandLineOptions& options, TJT6400App::TServices services);
    ~TProgram();

    TJT6400App& App() { return FApp; }
    TReadBack& ReadBack() { return *FReadBack; }
    TStatusPoll& StatusPoll() { return *FStatusPoll; }
    TStorage& Storage() { return *FStorage; }
    TTimingWindow& TimingWindow() { return *FTimingWindow; }
    TRemoteAccess& Remote() { return *FRemote; }

private:
    TJT6400App FApp;
    std::unique_ptr<TReadBack> FReadBack;
    std::unique_ptr<TSettingsHandlers> FHandlers;
    std::unique_ptr<TStatusPoll> FStatusPoll;
    std::unique_ptr<TDesktopUrlOpener> FUrls;
    std::unique_ptr<TStorage> FStorage;
    // A window of the main window's, so it closes with the program.
    TTimingWindow* FTimingWindow = nullptr;
    // The network server: its lines are jobs for the line owner.
    std::unique_ptr<TRemoteAccess> FRemote;
};

// Has ReadBack run whenever the frame's launch step or the task tick asks for
// a read-back.
void ConnectReadBack(TJT6400App& app, TReadBack& readBack);
// Has the change handlers apply the rules that send once the read-back has
// shown what the generator holds.
void ConnectHandlers(TReadBack& readBack, TSettingsHandlers& handlers);
// Runs Poll when the frame wants it, holds it while ReadBack runs, and has
// the task tick wait for its rounds; a round tells the run state only when
// no command of the user waited in the queue as it began.
void ConnectStatusPoll(TJT6400App& app, TReadBack& readBack, TStatusPoll& poll);
