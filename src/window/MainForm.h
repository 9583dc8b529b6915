#pragma once

#include <QMainWindow>

#include <QList>
#include <QPair>
#include <QStringList>

#include <array>
#include <functional>

#include "model/SettingTable.h"
#include "window/TextFit.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QMovie;
class QPushButton;
class QTabWidget;
class QTextEdit;
class TCommandTerminal;
class TPlusSpinEdit;
struct TSettingsSnapshot;
struct TVariantValues;

// The per-channel controls, found by name once the window is built. Index 1 to 8
// is the channel (A to H); index 0 is unused. An entry is null when the window
// has no control of that name (page G's mode group is "ChannelModeGrp7").
struct TChannelControls {
    template <typename T>
    using PerChannel = std::array<T*, 9>;
    PerChannel<QCheckBox> ChEnableBox{};
    PerChannel<TPlusSpinEdit> ChDelayAdj{};
    PerChannel<TPlusSpinEdit> ChWidthAdj{};
    PerChannel<QComboBox> ChModeSel{};
    PerChannel<TPlusSpinEdit> ChAmplitudeAdj{};
    PerChannel<TPlusSpinEdit> ChBurstAdj{};
    PerChannel<QGroupBox> ChBurstCountGrp{};
    PerChannel<TPlusSpinEdit> ChWaitCountAdj{};
    PerChannel<QComboBox> ChSyncSourceSel{};
    PerChannel<QComboBox> ChPolaritySel{};
    PerChannel<TPlusSpinEdit> ChDutyOnAdj{};
    PerChannel<QGroupBox> ChDutyOnGrp{};
    PerChannel<TPlusSpinEdit> ChDutyOffAdj{};
    PerChannel<QGroupBox> ChDutyOffGrp{};
    PerChannel<QComboBox> ChGateModeSel{};
    PerChannel<QListWidget> ChMuxSel{};
    PerChannel<QComboBox> ChMuxGateSel{};
    PerChannel<QGroupBox> ChMuxGateGrp{};
};

// Looks up every pattern for channels 1 to 8 in the window. Throws
// std::logic_error when a name belongs to a control of another kind.
TChannelControls FindChannelControls(const QWidget& window);

// The panel's main window. The rest of the program talks to it through its
// intents: it shows what it is given (identity, variant, a settings
// snapshot, status texts), applies the enabling rules of the modes, and
// reports every edit of the user as a typed signal. The widget members stay
// reachable for tests, which stand in for the user.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);

    // ---- What the window shows

    // The window caption and the serial-number, firmware and FPGA labels,
    // in this order.
    void ShowIdentity(const QStringList& texts);
    // Banners, feature label, and the Plus page (or its memo) of a variant.
    void ShowVariant(const TVariantValues& variant);
    // The status displays a read-back starts from: no error shown, the shot
    // and period counters unknown.
    void ClearStatus();
    // Every setting of a snapshot read from the generator: the Plus features
    // (when the variant has them), the system settings, each channel in use
    // with its lists, sync source, multiplexer and mode rules; then the
    // model's pages, steps and limits.
    //
    // What the window shows is no edit: none of the Show… methods, nor the
    // steps and limits, signal SettingEdited; only a person's edit does.
    void ShowSnapshot(const TSettingsSnapshot& snapshot);
    // After a read-back: the period editable, the first pages in front.
    void ShowFirstPages();
    // One setting's value in its spin edit (Period, Delay, Width and the
    // other numbers).
    void ShowSetting(TSettingId id, int channel, double value);
    // Channel N's sync list showing Source without signalling an edit: its
    // item, or no item and an empty text when the list does not offer it.
    void ShowSyncSource(int n, int source);
    // Where a list that is left with typed text naming nothing takes its
    // selection from again: the stored value of a setting.
    void SetStoredValues(std::function<double(TSettingId id, int channel)> stored);
    // The period counter unticked.
    void ShowPeriodCounterOff();

    // Status texts of the poll.
    void ShowShotCount(const QString& text);
    void ShowMeasuredPeriod(const QString& text);
    // The error caption shown (Text empty: the caption stays).
    void ShowError(const QString& text);
    // The error caption shown when hidden, hidden when shown.
    void BlinkError();
    // The Plus page is the system page in front.
    bool PlusPageShown() const;
    // Greys the menu items that start a read-back or a sequence of their own
    // (refresh, storage bins, settings file), and gives them back the state
    // they had.
    void GreySequenceActions(bool grey);

    // ---- Enabling rules

    // Burst count, duty-cycle counts and cycle count by the system mode; a
    // number outside the mode list changes nothing.
    void ApplySystemModeRules(TSystemMode mode);
    // Burst and duty-cycle controls of channel N (1..8) by its mode; a number
    // outside the list, or a channel outside 1..8, changes nothing.
    void ApplyChannelModeRules(int n, TChannelMode mode);
    // Threshold, gate polarity, trigger edge and period-counter controls by
    // the external mode; false (nothing changed) for ReArm and unknown modes.
    bool ApplyTriggerModeRules(TExtMode mode);

    // Period, delay and width controls for the connected model: steps,
    // decimals and period minimum, then limits of the channels in use.
    void SetResolution(const TSettingsSnapshot& snapshot);
    void SetRanges(const TSettingsSnapshot& snapshot);
    // The channel pages a model shows, the captions of its virtual pages and
    // the groups those pages lack.
    void ShowChannelPages(const QString& model);

    // Run/Stop display: the button's caption and the moving pulse picture.
    void ShowRunning(bool running);
    // Tools > Logging Enabled: its tick.
    void ShowLogging(bool enabled);
    // The command terminal: its entry field, history and echo.
    TCommandTerminal& Terminal() { return *FTerminal; }

    // Top strip
    QLabel* BlueBanner = nullptr;
    QLabel* GreenBanner = nullptr;
    TFitLabel* FeatureLabel = nullptr;
    TFitLabel* ErrorLabel = nullptr;
    QLabel* PulseAnimate = nullptr;
    QMovie* PulseMovie = nullptr;
    QPushButton* RunStopBtn = nullptr;

    // System page
    QTabWidget* SystemPageControl = nullptr;
    QWidget* SystemPage = nullptr;
    QWidget* PlusPage = nullptr;
    QComboBox* SystemModeSel = nullptr;
    TPlusSpinEdit* PeriodAdj = nullptr;
    TPlusSpinEdit* SysBurstAdj = nullptr;
    QCheckBox* AutoStartEnbl = nullptr;
    TPlusSpinEdit* SysDutyOnAdj = nullptr;
    TPlusSpinEdit* SysDutyOffAdj = nullptr;
    QComboBox* ExtModeSel = nullptr;
    TPlusSpinEdit* TrigThresholdAdj = nullptr;
    QComboBox* GatePolaritySel = nullptr;
    QComboBox* TriggerEdgeSel = nullptr;

    // Plus page
    QGroupBox* PlusOptionGrp = nullptr;
    QCheckBox* ShotCountEnbl = nullptr;
    QComboBox* ShotCountSel = nullptr;
    QPushButton* ClearShotCount = nullptr;
    QLabel* ShotCountLbl = nullptr;
    QCheckBox* PeriodCounterEn = nullptr;
    QCheckBox* PeriodCounterAutoEn = nullptr;
    TPlusSpinEdit* PeriodCountAdj = nullptr;
    QPushButton* PeriodCountClear = nullptr;
    QLabel* PeriodCountLbl = nullptr;
    QCheckBox* SynchEnable = nullptr;
    QPushButton* SynchUpdateBtn = nullptr;
    TPlusSpinEdit* CycleCountAdj = nullptr;
    QLabel* SystemResolutionLbl = nullptr;
    QTextEdit* PlusOptionMemo = nullptr;

    // Channel pages
    QTabWidget* ChPageControl = nullptr;
    std::array<QWidget*, 9> ChannelTabs{};  // TabChA … TabChH at 1 … 8
    TChannelControls ChannelControls;

    // Bottom strip
    QComboBox* SendEdit = nullptr;
    QPushButton* SendBtn = nullptr;
    QTextEdit* ResponseList = nullptr;
    QLabel* SerialNumberLbl = nullptr;
    QLabel* FWVersionLbl = nullptr;
    QLabel* FPGAVersionLbl = nullptr;

    // Menu items
    QAction* ExitAction = nullptr;
    QAction* RestartAction = nullptr;
    std::array<QAction*, 7> SaveToBinActions{};       // N11 … N61 at 1 … 6
    std::array<QAction*, 7> RestoreFromBinActions{};  // Default01 at 0, N12 … N62 at 1 … 6
    QAction* SaveToFileAction = nullptr;
    QAction* RestoreFromFileAction = nullptr;
    QAction* RefreshAction = nullptr;
    QAction* CaptureScreenShotAction = nullptr;
    QAction* LoggingEnabledAction = nullptr;
    QAction* TimingDiagramAction = nullptr;
    QAction* RemoteAccessAction = nullptr;
    QAction* WebSiteAction = nullptr;
    QAction* AboutAction = nullptr;

signals:
    // The user has edited a setting (Channel 0 for system settings): a spin
    // edit's value, a check box as 1 or 0 (the synchronous-update box as the
    // automatic-update flag it clears), a list's item position, a sync list's
    // channel number, a multiplexer list's ticks as a mask.
    void SettingEdited(TSettingId id, int channel, double value);
    void RunStopClicked();
    void ShotCountClearClicked();
    void PeriodCountClearClicked();
    void SyncUpdateClicked();
    // Menu commands.
    void SaveToBinRequested(int bin);
    void RestoreFromBinRequested(int bin);
    void SaveToFileRequested();
    void RestoreFromFileRequested();
    void RefreshRequested();
    void CaptureRequested();
    void TimingDiagramRequested();
    void WebSiteRequested();
    void AboutRequested();
    void RemoteAccessRequested();
    void LoggingRequested();
    void RestartRequested();
    void ExitRequested();

private:
    // While one lives, the window is showing values: its controls' changes
    // are not the user's, and no edit is signalled.
    class TShowing {
    public:
        explicit TShowing(TMainForm& form) : FForm(form) { ++FForm.FShowing; }
        ~TShowing() { --FForm.FShowing; }
        TShowing(const TShowing&) = delete;
        TShowing& operator=(const TShowing&) = delete;

    private:
        TMainForm& FForm;
    };
    // SettingEdited, unless the window is showing values.
    void Edited(TSettingId id, int channel, double value);
    void ShowPlusFeatures(const TSettingsSnapshot& snapshot);
    void ShowSystemSettings(const TSettingsSnapshot& snapshot);
    void ShowChannel(const TSettingsSnapshot& snapshot, int n);
    void LayOutMuxList(int n, int channels, int mask);
    QStringList SyncItems(int n) const;
    // Signals the user's edits of every control.
    void ConnectEdits();
    void BindList(QComboBox* list, TSettingId id, int n);
    void ShowStoredSetting(QComboBox* list, TSettingId id, int n);

    std::function<double(TSettingId, int)> FStoredValue;
    int FShowing = 0;
    TCommandTerminal* FTerminal = nullptr;
    QList<QPair<QAction*, bool>> FGreyed;

    // Puts the window at its designed place, (600, 42), or as far left and up
    // from there as a smaller screen needs to show it whole.
    void PlaceOnScreen();
    void BuildTopStrip(QWidget* client);
    void BuildSystemArea(QWidget* client);
    void BuildSystemPage(QWidget* page);
    void BuildPlusPage(QWidget* page);
    void BuildChannelArea(QWidget* client);
    void BuildChannelPage(QWidget* page, int n);
    void BuildBottomStrip(QWidget* client);
    void BuildMenus();
};
