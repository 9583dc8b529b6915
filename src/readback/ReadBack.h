// The panel's read-back: Initialize has the snapshot reader query every
// setting into the program state's settings snapshot (records and
// SettingsList), then shows the snapshot in the window: values, item lists,
// enabling, the pages of the connected model. The demonstration mode gets
// fixed labels instead. Tools > Refresh (RefreshClick) only requests a
// read-back; the task tick carries it out. The program runs Initialize
// whenever its launch step, the task tick or a settings-file command asks
// for a read-back.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "model/SyncRules.h"
#include "readback/SnapshotReader.h"

class QAction;
class TCommunication;
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
    TReadBack(TProgramState& state, TMainForm& form, TCommunication& comm, TTaskQueue& queue, TMessageForm& splash);
    TReadBack(const TReadBack&) = delete;
    TReadBack& operator=(const TReadBack&) = delete;

    // The full read-back (or the demonstration one). Returns false without
    // doing anything when a read-back is already running: read-backs never
    // nest, so two query sequences never interleave on the line.
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
    // False when the read-back ended early because the program is ending.
    bool NormalReadBack();
    void DemoReadBack();
    // After every answer: false once the program is ending; otherwise the
    // status poll is kept off.
    bool ContinueAfterAnswer();

    TProgramState& FState;
    TMainForm& FForm;
    TCommunication& FComm;
    TTaskQueue& FQueue;
    TMessageForm& FSplash;
    TSnapshotReader FReader;
    bool FRunning = false;
};
