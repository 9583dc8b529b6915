// Reading the generator's whole state into the program and the window:
// Initialize queries every setting one at a time, stores the answers in
// SystemSettings and ChannelSettings, fills the controls, adapts the window
// to the connected model and rebuilds SettingsList. The demonstration mode
// gets fixed labels instead. Tools > Refresh (Up1Click) only requests a
// read-back; the task tick carries it out.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>

class QAction;
class TJT6400App;
class TMainForm;
class TCommunication;
class TTaskQueue;
class TMessageForm;
struct TProgramState;

// What a channel's sync list shows after the sync query: the channel number
// kept in ChannelSettings, the list item to select (-1 for none) and, when
// no item fits, the text the box shows instead.
struct TSyncSelection {
    int SyncSource = 0;
    int ItemIndex = -1;
    QString EditText;
};
// Answer naming a channel: that channel, selected when the trimmed list
// offers it; otherwise (a channel above ChannelCount, or the channel itself)
// no item is selected and the box shows the channel's name. Answer naming no
// channel (empty, garbled): Previous is kept and shown the same way.
TSyncSelection SyncSelection(const QStringList& items, const QString& answer, int previous);

class TReadBack : public QObject {
    Q_OBJECT
public:
    // Binds to the application: becomes its Initialize hook and serves
    // Tools > Refresh. The hook is removed again on destruction.
    explicit TReadBack(TJT6400App& app);
    ~TReadBack() override;
    TReadBack(const TReadBack&) = delete;
    TReadBack& operator=(const TReadBack&) = delete;

    // The full read-back (or the demonstration one). Returns false without
    // doing anything when a read-back is already running: read-backs never
    // nest, so two query sequences never interleave on the line.
    bool Initialize();
    bool Running() const { return FRunning; }

    // Tools > Refresh: requests a read-back from the task tick.
    void Up1Click();

    // The enabling rules applied to this application's window.
    void SystemModesEnable();
    void ChModesEnable(int n);
    void TriggerModesEnable();

    // The program's own file version, shown in the window caption.
    static QString FileVersionText();

private:
    struct TAborted {};

    void NormalReadBack();
    void DemoReadBack();
    void SetIdentity();
    void SetVariant();
    void ReadPlusFeatures();
    void ReadSystemSettings();
    void ProbeMuxGate();
    void ReadChannel(int n);
    void LayOutMuxList(int n);
    void SetChannelPages();

    // Queries; each ends the read-back (TAborted) once the program is ending.
    QString Text(const QString& command);
    std::int32_t Int(const QString& command);
    double Float(const QString& command);
    std::uint32_t UInt64Low(const QString& command);
    void CheckEnding();
    void Append(const QString& line);

    // The menu items that start a read-back or a sequence of their own
    // (refresh, storage bins, settings file) are greyed while one runs.
    QList<QAction*> GuardedActions() const;

    TJT6400App& FApp;
    TProgramState& FState;
    TMainForm& FForm;
    TCommunication& FComm;
    TTaskQueue& FQueue;
    TMessageForm& FSplash;
    bool FRunning = false;
};
