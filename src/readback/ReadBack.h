// The panel's read-back: Initialize has the snapshot reader query every
// setting into a settings snapshot, as one job on the line owner's thread,
// and, when the job reports the snapshot, makes it the program state's
// (records and SettingsList) and shows it in the window: values, item lists,
// enabling, the pages of the connected model. The demonstration mode gets
// fixed labels instead. Tools > Refresh (RefreshClick) only requests a
// read-back; the task tick carries it out. The program runs Initialize
// whenever its launch step, the task tick or a settings-file command asks
// for a read-back.
#pragma once

#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

#include "model/SyncRules.h"
#include "model/SettingsSnapshot.h"
#include "readback/SnapshotReader.h"

#include <mutex>

class TCommunication;
class TLineOwner;
class TMainForm;
class TTaskQueue;
class TMessageForm;
struct TProgramState;

class TReadBack : public QObject {
    Q_OBJECT
public:
    // Reads the generator through Comm into State and shows it in Form,
    // with Splash over the long read-backs; serves Tools > Refresh through
    // Queue.
    TReadBack(TProgramState& state, TMainForm& form, TCommunication& comm, TLineOwner& line, TTaskQueue& queue,
              TMessageForm& splash);
    TReadBack(const TReadBack&) = delete;
    TReadBack& operator=(const TReadBack&) = delete;

    // Starts the full read-back (or runs the demonstration one). Returns
    // false without doing anything when a read-back is already running or
    // the program is ending. SettingsChanged tells when it has ended.
    // Splash: the splash form is shown over it (the launch's read-back, a
    // refresh, a bin recall).
    bool Initialize(bool splash = false);
    bool Running() const { return FRunning; }

    // Tools > Refresh: requests a read-back from the task tick.
    void RefreshClick();

    // A set command that reached the generator some other way than through
    // the window (a network client's): the one setting it changed is read
    // back as a job of its own and shown, with the enabling rules, as a
    // read-back shows it. A command that changes no setting of the table
    // is left alone.
    void Follow(const QString& commandLine);

    // The enabling rules applied to this application's window.
    void SystemModesEnable();
    void ChModesEnable(int n);
    void TriggerModesEnable();

signals:
    // A read-back (or the demonstration one) begins / has ended: the status
    // poll rests in between.
    void ReadBackStarted();
    void ReadBackEnded();
    // A read-back (or the demonstration one, or a followed setting) has
    // ended: the program's copy of the settings holds what it found.
    void SettingsChanged();
    // The window shows the trigger mode and period counter the generator
    // holds, with the enabling rules applied (after a read-back, or a
    // followed setting), and commands are enabled: the rules that send
    // commands may follow.
    void TriggerModeShown();

private:
    // The window's part before the queries, and the job that makes them.
    void NormalReadBack(bool splash);
    // The job's report: the snapshot read, and whether every query was made
    // (false when the program began to end meanwhile).
    void ReadBackDone(const TSettingsSnapshot& snapshot, bool complete);
    // The snapshot in the window, the enabling rules, the commands enabled
    // again.
    void ShowSnapshot();
    void DemoReadBack();
    void ShowFollowed(TSettingId id, int channel, double value, const QString& line);

    TProgramState& FState;
    TMainForm& FForm;
    TCommunication& FComm;
    TLineOwner& FLine;
    TTaskQueue& FQueue;
    TMessageForm& FSplash;
    TSnapshotReader FReader;
    bool FRunning = false;
    // The settings whose follow-up read is posted but not yet started, as
    // (setting, channel): a second command for one of them needs no read
    // of its own, the posted one comes after it on the line.
    std::mutex FFollowMutex;
    QSet<QPair<int, int>> FFollowPending;
    bool FSplashShown = false;
};
