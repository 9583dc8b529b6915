// The change handlers of the channel pages, the system page and the Plus
// page. Each one stores the new value in the program's copy of the settings
// and queues one generator command; none of them talks to the port. One
// handler serves the same control on all eight channel pages and takes the
// channel from the last character of the control's name.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "model/Settings.h"

class IDialogs;
class QCheckBox;
class QComboBox;
class QListWidget;
class TMainForm;
class TPlusSpinEdit;
class TTaskQueue;
struct TProgramState;

class TSettingsHandlers : public QObject {
    Q_OBJECT
public:
    // Binds every handler to its controls. The window's design values are
    // already in place, so binding fires nothing.
    TSettingsHandlers(TMainForm& form, TProgramState& state, TTaskQueue& queue, IDialogs& dialogs);

    // Channel of a per-channel control: the digit its name ends with; 0 when
    // the name does not end in 1 to 8.
    static int ChannelOf(const QObject* control);

    // Channel pages.
    void SetChEnableState(QCheckBox* sender);
    void SetChannelDelay(TPlusSpinEdit* sender);
    void SetChannelWidth(TPlusSpinEdit* sender);
    void SetChAmplitude(TPlusSpinEdit* sender);
    void SetChannelMode(QComboBox* sender);
    void SetChannelBurst(TPlusSpinEdit* sender);
    void SetChannelWaitCount(TPlusSpinEdit* sender);
    void SetChannelDCOn(TPlusSpinEdit* sender);
    void SetChannelDCOff(TPlusSpinEdit* sender);
    void SetChannelPolarity(QComboBox* sender);
    void SetChannelGateMode(QComboBox* sender);
    void SetChMuxGate(QComboBox* sender);
    void SetChannelMux(QListWidget* sender);
    void SetChannelSyncSource(QComboBox* sender);

    // System page and Run/Stop.
    void PeriodAdjChange();
    void SystemModeSelChange();
    void SysBurstAdjChange();
    void SysDutyOnAdjChange();
    void SysDutyOffAdjChange();
    void ExtModeSelChange();
    void TriggerEdgeSelClick();
    void TrigThresholdAdjChange();
    void GatePolaritySelChange();
    void AutoStartEnblClick();
    void RunStopBtnClick();
    void SystemStart();
    void SystemStop();

    // Plus page.
    void ShotCountEnblClick();
    void ShotCountSelChange();
    void ClearShotCountClick();
    void PeriodCounterEnClick();
    void PeriodCounterAutoEnClick();
    void PeriodCountAdjChange();
    void PeriodCountClearClick();
    void SynchEnableClick();
    void SynchUpdateBtnClick();
    void CycleCountAdjChange();

signals:
    // A handler has stored a new value in the program's copy of the settings
    // (also while a read-back fills the controls).
    void SettingsChanged();

private:
    using TListHandler = std::function<void(TSettingsHandlers*, QComboBox*)>;

    void Queue(const QString& command);
    void SetChannelCount(TPlusSpinEdit* sender, std::int32_t TChannelSettings::*field, const char* part);
    bool SetChannelKeyword(QComboBox* sender, std::int32_t TChannelSettings::*field, const char* part,
                           TKeywordTable table);
    static QStringList SyncItems(const QComboBox* list);
    // Binds a selection list: a picked item, or typed text that names an
    // item (or, for sync lists, a channel), runs Handler; text left standing
    // that names nothing is replaced by the stored selection when editing
    // ends, and nothing is sent for it.
    void BindList(QComboBox* list, TListHandler handler, std::function<int()> storedIndex,
                  bool acceptChannelNames = false);
    // The index a list stands for: the picked item, or -1 for typed text.
    static int SelectedIndex(const QComboBox* list);
    static void ShowIndex(QComboBox* list, int index);

    TMainForm& FForm;
    TProgramState& FState;
    TTaskQueue& FQueue;
    IDialogs& FDialogs;
};
