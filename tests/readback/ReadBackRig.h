// The program as it runs, against a simulated generator on a pseudo-terminal:
// the application object with scripted dialogs, keys and process control,
// discovery through a port folder holding COM3, and the read-back bound to it.
#pragma once

#include "support/AppStart.h"
#include "app/App.h"
#include "app/Program.h"
#include "support/AppTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "window/MainForm.h"
#include "serial/JTComPort.h"
#include "window/MessageForm.h"
#include "platform/Platform.h"
#include "PtyServer.h"
#include "support/SimTrace.h"
#include "support/SimulatedGenerator.h"
#include "support/PtyTestSupport.h"
#include "readback/ReadBack.h"
#include "scheduling/StatusPoll.h"
#include "scheduling/TaskQueue.h"
#include "support/LineWait.h"

#include <QDir>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

class TReadBackRig {
public:
    // Sets up a generator of Model (its settings changed by Commands, sent to
    // it before serving starts), runs the start-up sequence and binds the
    // read-back. Throws when discovery fails.
    void Connect(const std::string& model, const QStringList& commands = {}, jt6400sim::GeneratorOptions generator = {},
                 jt6400sim::ServerOptions server = {})
    {
        generator.identity.model = model;
        jt6400sim::Generator g(generator);
        for (const QString& c : commands) {
            const std::string answer = g.handle(c.toStdString());
            if (answer != "ok")
                throw std::runtime_error("simulator refused " + c.toStdString() + ": " + answer);
        }
        Server = ServeGenerator(Folder.Path(), 3, std::move(g), server);
        Start();
        if (!App->State().DeviceIdentity.Model.toStdString().empty() && App->Port().Opened())
            return;
        throw std::runtime_error("discovery did not find the simulated generator");
    }

    // The start-up sequence without a generator (demonstration mode when
    // Left Shift is held).
    void Start()
    {
        App = std::make_unique<TJT6400App>(jt::TCommandLineOptions{}, TJT6400App::TServices{Dialogs, Keys, Process});
        ReadBack =
            std::make_unique<TReadBack>(App->State(), App->Form(), App->Comm(), App->Line(), App->Queue(),
                                        App->MessageForm());
        ConnectReadBack(*App, *ReadBack);
        if (WithPoll) {
            Poll = std::make_unique<TStatusPoll>(App->Form(), App->State(), App->Comm(), App->Line(), Dialogs, *App);
            ConnectStatusPoll(*App, *ReadBack, *Poll);
        }
        if (!StartUp(*App))
            throw std::runtime_error("start-up ended the program");
        // The launch step is run by the test itself, not by the timer.
        App->LaunchTimer().stop();
        Mark();
    }

    // Waits until the line has carried out what was handed to it and the
    // window has shown the reports.
    bool Settle() { return WaitForLine(App->Line()); }
    // The same, and until the commands queued meanwhile have gone out too.
    bool SettleQueue()
    {
        return WaitUntil([this] { return App->Line().Idle() && App->Queue().TaskCount() == 0 && !ReadBack->Running(); });
    }

    // Forgets the traffic so far.
    void Mark() { FMark = Server ? Server->trace().size() : 0; }

    // The lines the generator received since the mark.
    QStringList Received() const { return ReceivedLines(Server->trace(), FMark); }

    TMainForm& Form() { return App->Form(); }
    TProgramState& State() { return App->State(); }

    TPortFolder Folder;
    TScriptedDialogs Dialogs;
    TScriptedKeys Keys;
    TRecordingProcess Process;
    std::unique_ptr<jt6400sim::PtyServer> Server;
    std::unique_ptr<TJT6400App> App;
    std::unique_ptr<TReadBack> ReadBack;
    // Set before Connect or Start: the status poll is built and bound too,
    // as the program binds it.
    bool WithPoll = false;
    std::unique_ptr<TStatusPoll> Poll;

    ~TReadBackRig()
    {
        if (App) {
            App->Line().Stop();
            App->Line().Join();
        }
        ReadBack.reset();
        Poll.reset();
        App.reset();
        if (Server)
            Server->stop();
    }

private:
    std::size_t FMark = 0;
};
