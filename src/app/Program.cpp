#include "app/Program.h"

#include "app/MainForm.h"
#include "platform/Desktop.h"
#include "readback/ReadBack.h"
#include "settings/SettingsHandlers.h"
#include "scheduling/StatusPoll.h"
#include "storage/Storage.h"

TProgram::TProgram(const jt::CommandLineOptions& options, TJT6400App::TServices services)
    : FApp(options, services)
{
    FReadBack = std::make_unique<TReadBack>(FApp);
    FHandlers = std::make_unique<TSettingsHandlers>(FApp.Form(), FApp.State(), FApp.Queue(), services.Dialogs);
    FStatusPoll = std::make_unique<TStatusPoll>(FApp.Form(), FApp.State(), FApp.Comm(), services.Dialogs, FApp);
    FUrls = std::make_unique<TDesktopUrlOpener>();
    FStorage = std::make_unique<TStorage>(FApp, services.Dialogs, *FUrls);
}

TProgram::~TProgram() = default;
