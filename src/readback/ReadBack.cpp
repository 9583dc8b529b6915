#include "readback/ReadBack.h"

#include <QDateTime>

#include "comm/Communication.h"
#include "comm/LineOwner.h"
#include "model/Capabilities.h"
#include "readback/Enabling.h"
#include "window/MainForm.h"
#include "serial/JTComPort.h"
#include "window/MessageForm.h"
#include "model/ProgramState.h"
#include "model/SettingTable.h"
#include "readback/SettingsLines.h"
#include "scheduling/TaskQueue.h"

TReadBack::TReadBack(TProgramState& state, TMainForm& form, TCommunication& comm, TLineOwner& line, TTaskQueue& queue,
                     TMessageForm& splash)
    : FState(state), FForm(form), FComm(comm), FLine(line), FQueue(queue), FSplash(splash), FReader(comm)
{
    connect(&FForm, &TMainForm::RefreshRequested, this, &TReadBack::RefreshClick);
}

void TReadBack::RefreshClick()
{
    FQueue.RequestReadBack();
}

void TReadBack::SystemModesEnable()
{
    ::SystemModesEnable(FForm, FState);
}

void TReadBack::ChModesEnable(int n)
{
    ::ChModesEnable(FForm, FState, n);
}

void TReadBack::TriggerModesEnable()
{
    ::TriggerModesEnable(FForm, FState);
}

bool TReadBack::Initialize(bool splash)
{
    if (FRunning || FLine.Ending())
        return false;
    emit ReadBackStarted();
    if (FComm.DemoMode()) {
        DemoReadBack();
        emit ReadBackEnded();
        emit SettingsChanged();
        return true;
    }

    FRunning = true;
    FForm.GreySequenceActions(true);
    NormalReadBack(splash);
    return true;
}

void TReadBack::DemoReadBack()
{
    FState.SettingsList.clear();
    FState.SettingsList.append(SettingsTimeStampLine(QDateTime::currentDateTime()));
    FForm.ClearStatus();
    FForm.ShowIdentity({QStringLiteral(" Model 6404+  SW Version: ") + FileVersionText() +
                            QStringLiteral(" ComPort: Demo"),
                        QStringLiteral("Serial Number: 1234"), QStringLiteral("Firmware Ver: 1.00"),
                        QStringLiteral("FPGA Ver: 1.25")});
    FState.PlusOption = true;
}

void TReadBack::NormalReadBack(bool splash)
{
    // Status displays cleared (the poll, held by ReadBackStarted, forgets a
    // reported error and asks again).
    FForm.ClearStatus();

    // No poll round or queued command is started meanwhile; handlers' commands
    // are dropped. ("Ignore" to a lost answer asks for the poll again; it
    // stays off while the read-back holds it.)
    FQueue.DisableCommands();

    // The splash form for the long cases.
    FSplashShown = splash;
    if (FSplashShown)
        FSplash.ShowNow();

    // What the model says before any query: the window adapts to it, so that
    // the controls accept the values that follow.
    FReader.Begin(FState);
    FForm.ShowIdentity(IdentityTexts(FState.DeviceIdentity, FComm.Port().Port()));
    FForm.ShowVariant(FState.Variant());
    FForm.SetResolution(FState);
    FForm.SetRanges(FState);

    // The queries, on the line; the answers come back as one snapshot.
    TLineOwner* line = &FLine;
    FLine.Post([this, line, snapshot = static_cast<TSettingsSnapshot>(FState)](TCommunication& channel) mutable {
        TSnapshotReader reader(channel, [line] { return !line->Ending(); });
        const bool complete = reader.ReadSettings(snapshot);
        TLineOwner::Deliver(this, [this, snapshot = std::move(snapshot), complete] { ReadBackDone(snapshot, complete); });
    });
}

void TReadBack::ReadBackDone(const TSettingsSnapshot& snapshot, bool complete)
{
    static_cast<TSettingsSnapshot&>(FState) = snapshot;
    if (complete && !FLine.Ending()) {
        ShowSnapshot();
    } else {
        // The program is ending (communications lost, exit or restart): the
        // queue and the poll stay at rest.
        FQueue.EnableCommands();
        FSplash.hide();
    }
    FForm.GreySequenceActions(false);
    FRunning = false;
    emit ReadBackEnded();
    emit SettingsChanged();
}

void TReadBack::Follow(const QString& commandLine)
{
    if (FComm.DemoMode() || FLine.Ending())
        return;
    int channel = 0;
    const TSettingDescription* setting = SettingOfCommand(commandLine, channel);
    if (!setting || (setting->IsChannelSetting() && channel > std::min(FState.ChannelCount, kMaxChannel)))
        return;
    const QPair<int, int> key(int(setting->Id), channel);
    {
        std::lock_guard lock(FFollowMutex);
        if (FFollowPending.contains(key))
            return;
        FFollowPending.insert(key);
    }
    // A guest's job, as the command it follows: a client's steady stream of
    // sets does not hold the status poll off through these either.
    TLineOwner* line = &FLine;
    FLine.PostGuest([this, line, key, setting, channel, snapshot = static_cast<TSettingsSnapshot>(FState)](
                   TCommunication& comm) mutable {
        {
            std::lock_guard lock(FFollowMutex);
            FFollowPending.remove(key);
        }
        TSnapshotReader reader(comm, [line] { return !line->Ending(); });
        const QString read = reader.ReadOne(snapshot, *setting, channel);
        if (read.isEmpty())
            return;
        TLineOwner::Deliver(this, [this, setting, channel, value = setting->Get(snapshot, channel), read] {
            ShowFollowed(setting->Id, channel, value, read);
        });
    });
}

void TReadBack::ShowFollowed(TSettingId id, int channel, double value, const QString& line)
{
    // A read-back under way reads the setting itself, after the command.
    if (FRunning || FLine.Ending())
        return;
    Setting(id).Put(FState, channel, value);
    PutSettingsLine(FState.SettingsList, line);
    // Showing what the generator holds is no edit: nothing goes back.
    FForm.ShowSnapshot(FState);
    SystemModesEnable();
    ChModesEnable(channel);
    TriggerModesEnable();
    emit TriggerModeShown();
    emit SettingsChanged();
}

void TReadBack::ShowSnapshot()
{
    FForm.ShowSnapshot(FState);

    FQueue.EnableCommands();
    FForm.ShowFirstPages();

    SystemModesEnable();
    TriggerModesEnable();
    // The only commands a read-back can cause; they go out afterwards
    // through the queue.
    emit TriggerModeShown();

    if (FSplashShown)
        FSplash.hide();
}
