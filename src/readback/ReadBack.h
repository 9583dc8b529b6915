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
#include <QString>
#include <QStringList>

#include "model/SettingsSnapshot.h"
#include "readback/SnapshotReader.h"

class QAction;
class TCommunication;
class TLineOwner;
class TMainForm;
class TTaskQueue;
class TMessageForm;
struct TProgramState;

// What a channel's sync list shows for a sync source: the channel number
// kept in ChannelSettings, the list item to select (-1 for none) and, when
// no item fits, the text the box shows instead.
struct TSyncSelection {
    int SyncSource = 0;
    int ItemIndex = -1;
    QString EditText;
};
// The source's item, selected when the trimmed list offers it; otherwise (a
// channel above ChannelCount, or the channel itself) no item is selected and
// the box shows the channel's name.
TSyncSelection SyncSelection(const QStringList& items, int source);
// The same after the sync query: the channel the answer names, or Previous
// for an answer that names none (SyncSourceOf).
TSyncSelection SyncSelection(const QStringList& items, const QString& answer, int previous);

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
    bool Initialize();
    bool Running() const { return FRunning; }

    // Tools > Refresh: requests a read-back from the task tick.
    void RefreshClick();

    // The enabling rules applied to this application's window.
    void SystemModesEnable();
    void ChModesEnable(int n);
    void TriggerModesEnable();

signals:
    // A read-back (or the demonstration one) has ended: the program's copy
    // of the settings holds what it found.
    void SettingsChanged();

private:
    // The window's part before the queries, and the job that makes them.
    void NormalReadBack();
    // The job's report: the snapshot read, and whether every query was made
    // (false when the program began to end meanwhile).
    void ReadBackDone(const TSettingsSnapshot& snapshot, bool complete);
    void ShowSnapshot();
    void DemoReadBack();

    // Showing the snapshot in the window.
    void ShowIdentity();
    void ShowVariant();
    void ShowPlusFeatures();
    void ShowSystemSettings();
    void ShowChannel(int n);
    void LayOutMuxList(int n);

    // The menu items that start a read-back or a sequence of their own
    // (refresh, storage bins, settings file) are greyed while one runs.
    QList<QAction*> GuardedActions() const;

    TProgramState& FState;
    TMainForm& FForm;
    TCommunication& FComm;
    TLineOwner& FLine;
    TTaskQueue& FQueue;
    TMessageForm& FSplash;
    TSnapshotReader FReader;
    bool FRunning = false;
    bool FSplashShown = false;
    // The guarded menu items and whether each was enabled before.
    QList<QPair<QAction*, bool>> FGreyed;
};
