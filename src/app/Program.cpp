#include "app/Program.h"

#include <QAction>

#include "app/RemoteAccess.h"
#include "platform/Desktop.h"
#include "readback/ReadBack.h"
#include "scheduling/StatusPoll.h"
#include "scheduling/TaskQueue.h"
#include "settings/SettingsHandlers.h"
#include "storage/Storage.h"
#include "timing/TimingWindow.h"
#include "window/MainForm.h"

TProgram::TProgram(const jt::TCommandLineOptions& options, TJT6400App::TServices services) : FApp(options, services)
{
    FReadBack = std::make_unique<TReadBack>(FApp.State(), FApp.Form(), FApp.Comm(), FApp.Line(), FApp.Queue(),
                                            FApp.MessageForm());
    ConnectReadBack(FApp, *FReadBack);
    FStatusPoll =
        std::make_unique<TStatusPoll>(FApp.Form(), FApp.State(), FApp.Comm(), FApp.Line(), services.Dialogs, FApp);
    ConnectStatusPoll(FApp, *FReadBack, *FStatusPoll);
    FHandlers = std::make_unique<TSettingsHandlers>(FApp.Form(), FApp.State(), FApp.Queue(), *FStatusPoll,
                                                    services.Dialogs);
    ConnectHandlers(*FReadBack, *FHandlers);
    FUrls = std::make_unique<TDesktopUrlOpener>();
    FStorage = std::make_unique<TStorage>(FApp.State(), FApp.Form(), FApp.MessageForm(), FApp.Comm(), FApp.Line(),
                                          FApp.Queue(), services.Dialogs, *FUrls);
    QObject::connect(FStorage.get(), &TStorage::ReadBackDue, FReadBack.get(), [r = FReadBack.get()] { r->Initialize(); });

    // Tools > Timing Diagram: the diagram of the program's settings, drawn
    // anew after every edit and every read-back (bin recall, file restore
    // and the demonstration mode's included).
    FTimingWindow = new TTimingWindow(FApp.State(), services.Dialogs, &FApp.Form());
    QObject::connect(&FApp.Form(), &TMainForm::TimingDiagramRequested, FTimingWindow, [w = FTimingWindow] {
        w->show();
        w->raise();
        w->activateWindow();
    });
    QObject::connect(FHandlers.get(), &TSettingsHandlers::SettingsChanged, FTimingWindow,
                     &TTimingWindow::SettingsChanged);
    QObject::connect(FReadBack.get(), &TReadBack::SettingsChanged, FTimingWindow, &TTimingWindow::SettingsChanged);

    // Tools > Remote Access, and --remote: network clients' lines become
    // jobs on the line, after every job posted before them.
    FRemote = std::make_unique<TRemoteAccess>(options, &FApp.Form(),
                                              [this](TLineOwner::TJob job, TLineOwner::TDropped dropped) {
                                                  FApp.Line().PostGuest(std::move(job), std::move(dropped));
                                              });
    // The window follows the network clients: a bin recall changes every
    // setting, and the window reads them all back, as after its own bin
    // recall; a set command changes one, and only that one is read back.
    QObject::connect(FRemote.get(), &TRemoteAccess::LineCarried, FReadBack.get(),
                     [r = FReadBack.get()](const QString&, const QString& line, const QString&) {
                         if (line.section(QLatin1Char(' '), 0, 0).compare(QLatin1String("*RCL"), Qt::CaseInsensitive) ==
                             0)
                             r->RefreshClick();
                         else
                             r->Follow(line);
                     });
}

TProgram::~TProgram()
{
    // The jobs report to the parts below; the line ends before they go.
    FApp.Line().Stop();
    FApp.Line().Join();
}

void ConnectReadBack(TJT6400App& app, TReadBack& readBack)
{
    // The launch's read-back and the requested ones show the splash form.
    const auto withSplash = [&readBack] { readBack.Initialize(true); };
    QObject::connect(&app, &TJT6400App::ReadBackDue, &readBack, withSplash);
    QObject::connect(&app.Queue(), &TTaskQueue::ReadBackDue, &readBack, withSplash);
}

void ConnectHandlers(TReadBack& readBack, TSettingsHandlers& handlers)
{
    QObject::connect(&readBack, &TReadBack::TriggerModeShown, &handlers, &TSettingsHandlers::PeriodCounterNeedsTrigger);
}

void ConnectStatusPoll(TJT6400App& app, TReadBack& readBack, TStatusPoll& poll)
{
    QObject::connect(&app, &TJT6400App::StatusPollWanted, &poll, [&poll](bool on) {
        if (on)
            poll.Start();
        else
            poll.Stop();
    });
    QObject::connect(&readBack, &TReadBack::ReadBackStarted, &poll, &TStatusPoll::Hold);
    QObject::connect(&readBack, &TReadBack::ReadBackEnded, &poll, &TStatusPoll::Release);
    app.Queue().SetPollInFlight([&poll] { return poll.RoundInFlight(); });
    poll.SetCommandsWaiting([&app] { return app.Queue().TaskCount() > 0; });
}
