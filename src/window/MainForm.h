#pragma once

#include <QMainWindow>

#include <array>

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
class QTimer;
class TPlusSpinEdit;
struct TSettingsSnapshot;

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

// The panel's main window.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);

    // Period, delay and width controls for the connected model: steps,
    // decimals and period minimum, then limits of the channels in use.
    void SetResolution(const TSettingsSnapshot& snapshot);
    void SetRanges(const TSettingsSnapshot& snapshot);
    // The channel pages a model shows, the captions of its virtual pages and
    // the groups those pages lack.
    void ShowChannelPages(const QString& model);

    // Run/Stop display: the button's caption and the moving pulse picture.
    void ShowRunning(bool running);

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

    // Timers
    QTimer* StatusTimer = nullptr;
    QTimer* TaskTimer = nullptr;
    QTimer* LaunchTimer = nullptr;

private:
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
    void BuildTimers();
};
