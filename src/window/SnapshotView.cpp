// Showing the generator in the window: its identity, its variant, a settings
// snapshot, the status displays, and the rules that grey out the controls a
// mode makes meaningless.
#include "window/MainForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextEdit>

#include <algorithm>

#include "model/Capabilities.h"
#include "model/SettingTable.h"
#include "model/SettingsSnapshot.h"
#include "model/SyncRules.h"
#include "widgets/PlusSpinEdit.h"
#include "window/ControlEnabling.h"

// Showing values is no edit: item indexes are set with setCurrentIndex,
// which runs none of the user's change signals (they follow activated), and
// the changes of check boxes, spin edits and multiplexer lists are not
// signalled while the window shows values (TShowing). Each control is filled
// from the record in the order the generator was read.

void TMainForm::ShowIdentity(const QStringList& texts)
{
    setWindowTitle(texts.value(0));
    SerialNumberLbl->setText(texts.value(1));
    FWVersionLbl->setText(texts.value(2));
    FPGAVersionLbl->setText(texts.value(3));
}

void TMainForm::ClearStatus()
{
    ErrorLabel->hide();
    PeriodCountLbl->setText(QStringLiteral("P: ----"));
    ShotCountLbl->setText(QStringLiteral("Count: ----"));
}

void TMainForm::ShowVariant(const TVariantValues& v)
{
    BlueBanner->setVisible(!v.GreenBanner);
    GreenBanner->setVisible(v.GreenBanner);
    FeatureLabel->setVisible(v.FeatureLabelShown);
    if (v.FeatureLabelShown)
        FeatureLabel->SetCaption(v.FeatureLabelCaption);
    QGroupBox* plusGroup = PlusOptionGrp;
    if (v.PlusFeatures) {
        SetControlEnabled(plusGroup, true);
        plusGroup->show();
        EnabledAsParent(plusGroup);
        PlusOptionMemo->hide();
        if (!v.PlusCaption.isEmpty()) {
            SystemPageControl->setTabText(SystemPageControl->indexOf(PlusPage), v.PlusCaption);
            plusGroup->setTitle(v.PlusCaption);
        }
        if (!v.SystemResolutionCaption.isEmpty())
            SystemResolutionLbl->setText(v.SystemResolutionCaption);
    } else {
        QTextEdit* memo = PlusOptionMemo;
        memo->move(0, memo->y());
        memo->show();
        plusGroup->hide();
        SetControlEnabled(plusGroup, false);
        EnabledAsParent(plusGroup);
    }
}

void TMainForm::ShowSnapshot(const TSettingsSnapshot& snapshot)
{
    const TShowing showing(*this);
    if (snapshot.Variant().PlusFeatures)
        ShowPlusFeatures(snapshot);
    ShowSystemSettings(snapshot);
    for (int n = 1; n <= std::min(snapshot.ChannelCount, kMaxChannel); ++n)
        ShowChannel(snapshot, n);
    ShowChannelPages(snapshot.DeviceIdentity.Model);
    SetResolution(snapshot);
    SetRanges(snapshot);
}

void TMainForm::ShowFirstPages()
{
    SetControlEnabled(PeriodAdj, true);
    ChPageControl->setCurrentIndex(0);
    SystemPageControl->setCurrentIndex(0);
}

void TMainForm::ShowPlusFeatures(const TSettingsSnapshot& snapshot)
{
    const TSystemSettings& s = snapshot.SystemSettings;
    PeriodCounterEn->setChecked(s.PeriodCounterEnabled == 1);
    SetControlEnabled(PeriodCounterEn, true);
    PeriodCounterAutoEn->setChecked(s.PeriodAutoUpdate == 1);
    SetControlEnabled(PeriodCounterAutoEn, true);
    PeriodCountAdj->setValue(s.PeriodsToAverage);
    SetControlEnabled(PeriodCountAdj, true);
    ShotCountEnbl->setChecked(s.ShotCountEnabled == 1);
    ShotCountSel->setCurrentIndex(s.ShotCountSource);
    SetControlEnabled(ShotCountSel, true);
    SetControlEnabled(SynchUpdateBtn, s.SyncUpdateAuto == 0);
    SynchEnable->setChecked(s.SyncUpdateAuto == 0);
    CycleCountAdj->setValue(s.CycleCount);
}

void TMainForm::ShowSystemSettings(const TSettingsSnapshot& snapshot)
{
    const TSystemSettings& s = snapshot.SystemSettings;
    PeriodAdj->setValue(s.Period);
    SysBurstAdj->setValue(static_cast<double>(s.BurstCount));
    SystemModeSel->setCurrentIndex(IndexOf(s.SystemMode));
    SysDutyOnAdj->setValue(static_cast<double>(s.DutyOnCount));
    SysDutyOffAdj->setValue(static_cast<double>(s.DutyOffCount));
    // The re-arm mode exists on Plus and high-resolution generators only.
    const QStringList extModes = Captions(TKeywordTable::ktExtMode, snapshot.Variant().PlusFeatures);
    if (ExtModeSel->count() < extModes.size())
        ExtModeSel->addItems(extModes.mid(ExtModeSel->count()));
    ExtModeSel->setCurrentIndex(IndexOf(s.ExtMode));
    TrigThresholdAdj->setValue(s.TriggerLevel);
    TriggerEdgeSel->setCurrentIndex(IndexOf(s.TriggerEdge));
    GatePolaritySel->setCurrentIndex(IndexOf(s.GatePolarity));
    AutoStartEnbl->setChecked(s.AutoStart == 1);
}

QStringList TMainForm::SyncItems(int n) const
{
    QStringList items;
    const QComboBox* sync = ChannelControls.ChSyncSourceSel[n];
    for (int i = 0; i < sync->count(); ++i)
        items << sync->itemText(i);
    return items;
}

void TMainForm::ShowChannel(const TSettingsSnapshot& snapshot, int n)
{
    const TChannelSettings& r = snapshot.ChannelSettings[n];
    const TChannelControls& c = ChannelControls;
    const int channels = snapshot.ChannelCount;
    const bool plus = snapshot.Variant().PlusFeatures;

    c.ChEnableBox[n]->setChecked(r.Enabled == 1);
    c.ChDelayAdj[n]->setValue(r.Delay);
    c.ChWidthAdj[n]->setValue(r.Width);
    c.ChModeSel[n]->setCurrentIndex(IndexOf(r.Mode));
    // A count the generator holds above the edit's maximum is shown as it
    // is, not clamped: the edit's range grows to hold it.
    if (r.BurstCount > c.ChBurstAdj[n]->MaxValue())
        c.ChBurstAdj[n]->setMaxValue(r.BurstCount);
    c.ChBurstAdj[n]->setValue(static_cast<double>(r.BurstCount));
    c.ChDutyOnAdj[n]->setValue(r.DutyOnCount);
    c.ChDutyOffAdj[n]->setValue(r.DutyOffCount);

    // The sync list offers T0 and the other channels in use, never the
    // channel itself; trimmed once, on the first read-back.
    QComboBox* sync = c.ChSyncSourceSel[n];
    if (sync->count() > channels) {
        for (int i = sync->count() - 1; i >= channels + 1; --i)
            sync->removeItem(i);
        sync->removeItem(n);
    }
    const TSyncSelection selection = SyncSelection(SyncItems(n), r.SyncSource);
    sync->setCurrentIndex(selection.ItemIndex);
    if (selection.ItemIndex < 0)
        sync->setEditText(selection.EditText);

    c.ChPolaritySel[n]->setCurrentIndex(IndexOf(r.Polarity));
    c.ChWaitCountAdj[n]->setValue(r.WaitCount);
    QComboBox* gate = c.ChGateModeSel[n];
    const QStringList gateModes = Captions(TKeywordTable::ktChannelGateMode, plus);
    if (gate->count() < gateModes.size())
        gate->addItems(gateModes.mid(gate->count()));
    gate->setCurrentIndex(IndexOf(r.GateMode));

    // Output stage and mux gate of a standard channel.
    if (n <= snapshot.StandardChannelCount()) {
        c.ChAmplitudeAdj[n]->setValue(r.Amplitude);
        if (snapshot.MuxGateSupported) {
            c.ChMuxGateSel[n]->setCurrentIndex(IndexOf(r.MuxGate));
            c.ChMuxGateGrp[n]->show();
        } else {
            c.ChMuxGateGrp[n]->hide();
        }
    }

    LayOutMuxList(n, channels, r.MuxMask);
    ApplyChannelModeRules(n, r.Mode);
}

void TMainForm::LayOutMuxList(int n, int channels, int mask)
{
    QListWidget* list = ChannelControls.ChMuxSel[n];
    // Ticks set here are the program's, not the user's: no edit is signalled.
    const QSignalBlocker block(list);

    const TMuxLayout layout = MuxLayoutOf(channels);
    list->resize(list->width(), layout.Height);
    const int inner = list->width() - 2 * list->frameWidth();
    list->setGridSize(QSize(inner / layout.Columns, list->gridSize().height()));
    list->setProperty("Columns", layout.Columns);

    for (int k = 0; k < layout.Items && k < list->count(); ++k)
        list->item(k)->setCheckState((mask >> k) & 1 ? Qt::Checked : Qt::Unchecked);

    for (int i = list->count() - 1; i >= channels; --i)
        delete list->takeItem(i);
}

// ---- Status displays

void TMainForm::ShowShotCount(const QString& text)
{
    ShotCountLbl->setText(text);
}

void TMainForm::ShowMeasuredPeriod(const QString& text)
{
    PeriodCountLbl->setText(text);
}

void TMainForm::ShowError(const QString& text)
{
    if (!text.isEmpty())
        ErrorLabel->SetCaption(text);
    ErrorLabel->show();
}

void TMainForm::BlinkError()
{
    ErrorLabel->setVisible(ErrorLabel->isHidden());
}

bool TMainForm::PlusPageShown() const
{
    return SystemPageControl->currentWidget() == PlusPage;
}

void TMainForm::GreySequenceActions(bool grey)
{
    if (grey) {
        FGreyed.clear();
        QList<QAction*> actions{RefreshAction, SaveToFileAction, RestoreFromFileAction};
        for (QAction* a : SaveToBinActions)
            if (a)
                actions << a;
        for (QAction* a : RestoreFromBinActions)
            if (a)
                actions << a;
        for (QAction* a : actions) {
            FGreyed.append({a, a->isEnabled()});
            a->setEnabled(false);
        }
    } else {
        for (const auto& [action, enabled] : FGreyed)
            action->setEnabled(enabled);
        FGreyed.clear();
    }
}

// ---- Enabling rules

namespace {

void setAll(std::initializer_list<QWidget*> controls, bool enabled)
{
    for (QWidget* c : controls)
        SetControlEnabled(c, enabled);
}

// Which mode groups a pulse mode uses: Continuous/Normal and Single Shot
// none, Burst the burst count, Duty Cycle the on and off counts. A mode
// outside the list is not Known and leaves the controls as they are.
struct TModeGroups {
    bool Known = false;
    bool Burst = false;
    bool Duty = false;
};

template <typename E>
TModeGroups GroupsOf(E mode)
{
    switch (mode) {
        case E::SingleShot:
            return {true, false, false};
        case E::Burst:
            return {true, true, false};
        case E::DutyCycle:
            return {true, false, true};
        default:
            // Continuous or Normal, the first of the list; any other number
            // names no mode.
            return {IndexOf(mode) == 0, false, false};
    }
}

}  // namespace

void TMainForm::ApplySystemModeRules(TSystemMode mode)
{
    const TModeGroups g = GroupsOf(mode);
    if (!g.Known)
        return;
    setAll({findChild<QWidget*>(QStringLiteral("BurstCountGrp")), SysBurstAdj}, g.Burst);
    setAll({findChild<QWidget*>(QStringLiteral("DutyCycleGrp")), SysDutyOnAdj, SysDutyOffAdj}, g.Duty);
    setAll({findChild<QWidget*>(QStringLiteral("DutyCycleCCGrp")), CycleCountAdj}, g.Duty);
}

void TMainForm::ApplyChannelModeRules(int n, TChannelMode mode)
{
    if (n < 1 || n > kMaxChannel)
        return;
    const TModeGroups g = GroupsOf(mode);
    if (!g.Known)
        return;
    const TChannelControls& c = ChannelControls;
    setAll({c.ChBurstCountGrp[n], c.ChBurstAdj[n]}, g.Burst);
    setAll({c.ChDutyOnGrp[n], c.ChDutyOnAdj[n], c.ChDutyOffGrp[n], c.ChDutyOffAdj[n]}, g.Duty);
}

bool TMainForm::ApplyTriggerModeRules(TExtMode mode)
{
    bool threshold = false, gatePolarity = false, edge = false, periodCounter = false;
    switch (mode) {
        case TExtMode::Disabled:
            break;
        case TExtMode::Triggered:
            threshold = edge = periodCounter = true;
            break;
        case TExtMode::Gated:
            threshold = gatePolarity = true;
            break;
        default:
            return false;  // re-arm and unknown modes keep the present states
    }
    setAll({findChild<QWidget*>(QStringLiteral("ExtThresholdGrp")), TrigThresholdAdj}, threshold);
    setAll({findChild<QWidget*>(QStringLiteral("GatePolGrp")), GatePolaritySel}, gatePolarity);
    setAll({findChild<QWidget*>(QStringLiteral("ExtTrigEdgGrp")), TriggerEdgeSel}, edge);
    setAll({findChild<QWidget*>(QStringLiteral("PeriodCounterGrp")), PeriodCounterEn, PeriodCounterAutoEn,
            PeriodCountAdj, PeriodCountClear},
           periodCounter);
    return true;
}

void TMainForm::ShowPeriodCounterOff()
{
    const TShowing showing(*this);
    PeriodCounterEn->setChecked(false);
}
