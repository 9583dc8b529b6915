#include "readback/ReadBack.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>

#include "comm/Communication.h"
#include "comm/LineOwner.h"
#include "model/Capabilities.h"
#include "readback/Enabling.h"
#include "window/MainForm.h"
#include "serial/JTComPort.h"
#include "window/MessageForm.h"
#include "model/ProgramState.h"
#include "model/Settings.h"
#include "readback/SettingsLines.h"
#include "scheduling/TaskQueue.h"
#include "widgets/PlusSpinEdit.h"

// Item indexes are set with setCurrentIndex, which runs none of the user's
// change handlers (they follow activated); check boxes and spin edits run
// theirs, which store the value shown in the records and drop their
// commands while CommandsDisabled is set. Each control is filled from the
// record in the order the generator was read, as the handlers expect.

TSyncSelection SyncSelection(const QStringList& items, int source)
{
    TSyncSelection s;
    s.SyncSource = source;
    s.ItemIndex = GetChannelIndex(items, source);
    if (s.ItemIndex < 0)
        s.EditText = GetChSyncName(source);
    return s;
}

TSyncSelection SyncSelection(const QStringList& items, const QString& answer, int previous)
{
    return SyncSelection(items, SyncSourceOf(answer, previous));
}

TReadBack::TReadBack(TProgramState& state, TMainForm& form, TCommunication& comm, TLineOwner& line, TTaskQueue& queue,
                     TMessageForm& splash)
    : FState(state), FForm(form), FComm(comm), FLine(line), FQueue(queue), FSplash(splash), FReader(comm)
{
    connect(FForm.RefreshAction, &QAction::triggered, this, &TReadBack::RefreshClick);
}

void TReadBack::RefreshClick()
{
    FState.RefreshRequested = -1;
    FQueue.Wake();
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
    ::TriggerModesEnable(FForm, FState, FQueue);
}

QList<QAction*> TReadBack::GuardedActions() const
{
    QList<QAction*> actions{FForm.RefreshAction, FForm.SaveToFileAction, FForm.RestoreFromFileAction};
    for (QAction* a : FForm.SaveToBinActions)
        if (a)
            actions << a;
    for (QAction* a : FForm.RestoreFromBinActions)
        if (a)
            actions << a;
    return actions;
}

bool TReadBack::Initialize()
{
    if (FRunning || FState.Terminating)
        return false;
    if (FState.DemoMode) {
        DemoReadBack();
        emit SettingsChanged();
        return true;
    }

    FRunning = true;
    FGreyed.clear();
    for (QAction* a : GuardedActions()) {
        FGreyed.append({a, a->isEnabled()});
        a->setEnabled(false);
    }
    NormalReadBack();
    return true;
}

void TReadBack::DemoReadBack()
{
    FState.SettingsList.clear();
    FState.SettingsList.append(SettingsTimeStampLine(QDateTime::currentDateTime()));
    FState.ErrorCode = 0;
    FForm.ErrorLabel->hide();
    FForm.PeriodCountLbl->setText(QStringLiteral("P: ----"));
    FForm.ShotCountLbl->setText(QStringLiteral("Count: ----"));
    FForm.StatusTimer->stop();
    FForm.setWindowTitle(QStringLiteral(" Model 6404+  SW Version: ") + FileVersionText() +
                         QStringLiteral(" ComPort: Demo"));
    FForm.SerialNumberLbl->setText(QStringLiteral("Serial Number: 1234"));
    FForm.FWVersionLbl->setText(QStringLiteral("Firmware Ver: 1.00"));
    FForm.FPGAVersionLbl->setText(QStringLiteral("FPGA Ver: 1.25"));
    FState.PlusOption = true;
}

void TReadBack::NormalReadBack()
{
    // Status displays cleared; a reported error is forgotten: the status
    // poll asks for errors again.
    FState.ErrorCode = 0;
    FForm.ErrorLabel->hide();
    FForm.PeriodCountLbl->setText(QStringLiteral("P: ----"));
    FForm.ShotCountLbl->setText(QStringLiteral("Count: ----"));

    // No poll round or queued command is started meanwhile; handlers drop
    // their commands. ("Ignore" to a lost answer asks for the poll again; it
    // stays off while commands are disabled.)
    FForm.StatusTimer->stop();
    FForm.TaskTimer->stop();
    FState.CommandsDisabled = true;

    // The splash form for the long cases.
    FSplashShown = FState.RecallRequested != 0 || FState.RefreshRequested != 0;
    if (FSplashShown)
        FSplash.ShowNow();

    // What the model says before any query: the window adapts to it, so that
    // the controls accept the values that follow.
    FReader.Begin(FState);
    ShowIdentity();
    ShowVariant();
    FForm.SetResolution(FState);
    FForm.SetRanges(FState);

    // The queries, on the line; the answers come back as one snapshot.
    TLineOwner* line = &FLine;
    FLine.Post([this, line, snapshot = static_cast<TSettingsSnapshot>(FState)](TCommunication& channel) mutable {
        channel.SetCommandsDisabled(true);
        TSnapshotReader reader(channel, [line] { return !line->Ending(); });
        const bool complete = reader.ReadSettings(snapshot);
        channel.SetCommandsDisabled(false);
        TLineOwner::Deliver(this, [this, snapshot = std::move(snapshot), complete] { ReadBackDone(snapshot, complete); });
    });
}

void TReadBack::ReadBackDone(const TSettingsSnapshot& snapshot, bool complete)
{
    static_cast<TSettingsSnapshot&>(FState) = snapshot;
    if (complete && !FState.Terminating) {
        ShowSnapshot();
    } else {
        // The program is ending (communications lost, exit or restart): no
        // timer restarted.
        FState.CommandsDisabled = false;
        FSplash.hide();
    }
    for (const auto& [action, enabled] : FGreyed)
        action->setEnabled(enabled);
    FGreyed.clear();
    FRunning = false;
    emit SettingsChanged();
}

void TReadBack::ShowSnapshot()
{
    if (FState.Variant().PlusFeatures)
        ShowPlusFeatures();
    ShowSystemSettings();
    for (int n = 1; n <= std::min(FState.ChannelCount, kMaxChannel); ++n)
        ShowChannel(n);
    FForm.ShowChannelPages(FState.DeviceIdentity.Model);
    FForm.SetResolution(FState);
    FForm.SetRanges(FState);

    FState.CommandsDisabled = false;
    SetControlEnabled(FForm.PeriodAdj, true);
    FForm.ChPageControl->setCurrentIndex(0);
    FForm.SystemPageControl->setCurrentIndex(0);

    // The only commands a read-back can cause; they go out afterwards
    // through the queue.
    SystemModesEnable();
    TriggerModesEnable();

    FForm.StatusTimer->start();
    FForm.TaskTimer->start();
    if (FSplashShown)
        FSplash.hide();
}

void TReadBack::ShowIdentity()
{
    const QStringList texts = IdentityTexts(FState.DeviceIdentity, FComm.Port().Port());
    FForm.setWindowTitle(texts[0]);
    FForm.SerialNumberLbl->setText(texts[1]);
    FForm.FWVersionLbl->setText(texts[2]);
    FForm.FPGAVersionLbl->setText(texts[3]);
}

void TReadBack::ShowVariant()
{
    const TVariantValues v = FState.Variant();
    FForm.BlueBanner->setVisible(!v.GreenBanner);
    FForm.GreenBanner->setVisible(v.GreenBanner);
    FForm.FeatureLabel->setVisible(v.FeatureLabelShown);
    if (v.FeatureLabelShown)
        FForm.FeatureLabel->SetCaption(v.FeatureLabelCaption);
    QGroupBox* plusGroup = FForm.PlusOptionGrp;
    if (v.PlusFeatures) {
        SetControlEnabled(plusGroup, true);
        plusGroup->show();
        EnabledAsParent(plusGroup);
        FForm.PlusOptionMemo->hide();
        if (!v.PlusCaption.isEmpty()) {
            FForm.SystemPageControl->setTabText(FForm.SystemPageControl->indexOf(FForm.PlusPage), v.PlusCaption);
            plusGroup->setTitle(v.PlusCaption);
        }
        if (!v.SystemResolutionCaption.isEmpty())
            FForm.SystemResolutionLbl->setText(v.SystemResolutionCaption);
    } else {
        QTextEdit* memo = FForm.PlusOptionMemo;
        memo->move(0, memo->y());
        memo->show();
        plusGroup->hide();
        SetControlEnabled(plusGroup, false);
        EnabledAsParent(plusGroup);
    }
}

void TReadBack::ShowPlusFeatures()
{
    const TSystemSettings& s = FState.SystemSettings;
    TMainForm& f = FForm;
    f.PeriodCounterEn->setChecked(s.PeriodCounterEnabled == 1);
    SetControlEnabled(f.PeriodCounterEn, true);
    f.PeriodCounterAutoEn->setChecked(s.PeriodAutoUpdate == 1);
    SetControlEnabled(f.PeriodCounterAutoEn, true);
    f.PeriodCountAdj->setValue(s.PeriodsToAverage);
    SetControlEnabled(f.PeriodCountAdj, true);
    f.ShotCountEnbl->setChecked(s.ShotCountEnabled == 1);
    f.ShotCountSel->setCurrentIndex(s.ShotCountSource);
    SetControlEnabled(f.ShotCountSel, true);
    SetControlEnabled(f.SynchUpdateBtn, s.SyncUpdateAuto == 0);
    f.SynchEnable->setChecked(s.SyncUpdateAuto == 0);
    f.CycleCountAdj->setValue(s.CycleCount);
}

void TReadBack::ShowSystemSettings()
{
    const TSystemSettings& s = FState.SystemSettings;
    TMainForm& f = FForm;
    f.PeriodAdj->setValue(s.Period);
    f.SysBurstAdj->setValue(static_cast<double>(s.BurstCount));
    f.SystemModeSel->setCurrentIndex(s.SystemMode);
    f.SysDutyOnAdj->setValue(static_cast<double>(s.DutyOnCount));
    f.SysDutyOffAdj->setValue(static_cast<double>(s.DutyOffCount));
    // The re-arm mode exists on Plus and high-resolution generators only.
    if (FState.Variant().PlusFeatures && f.ExtModeSel->count() <= 3)
        f.ExtModeSel->addItem(QStringLiteral("ReArm"));
    f.ExtModeSel->setCurrentIndex(s.ExtMode);
    f.TrigThresholdAdj->setValue(s.TriggerLevel);
    f.TriggerEdgeSel->setCurrentIndex(s.TriggerEdge);
    f.GatePolaritySel->setCurrentIndex(s.GatePolarity);
    f.AutoStartEnbl->setChecked(s.AutoStart == 1);
}

void TReadBack::ShowChannel(int n)
{
    const TChannelSettings& r = FState.ChannelSettings[n];
    const TChannelControls& c = FForm.ChannelControls;
    const int channels = FState.ChannelCount;

    c.ChEnableBox[n]->setChecked(r.Enabled == 1);
    c.ChDelayAdj[n]->setValue(r.Delay);
    c.ChWidthAdj[n]->setValue(r.Width);
    c.ChModeSel[n]->setCurrentIndex(r.Mode);
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
    QStringList items;
    for (int i = 0; i < sync->count(); ++i)
        items << sync->itemText(i);
    const TSyncSelection selection = SyncSelection(items, r.SyncSource);
    sync->setCurrentIndex(selection.ItemIndex);
    if (selection.ItemIndex < 0)
        sync->setEditText(selection.EditText);

    c.ChPolaritySel[n]->setCurrentIndex(r.Polarity);
    c.ChWaitCountAdj[n]->setValue(r.WaitCount);
    QComboBox* gate = c.ChGateModeSel[n];
    if (FState.Variant().PlusFeatures && gate->count() < 4)
        gate->addItems({QStringLiteral("ActiveLoWR"), QStringLiteral("ActiveHiWR")});
    gate->setCurrentIndex(r.GateMode);

    // Output stage and mux gate of a standard channel.
    if (n <= FState.StandardChannelCount()) {
        c.ChAmplitudeAdj[n]->setValue(r.Amplitude);
        if (FState.MuxGateSupported) {
            c.ChMuxGateSel[n]->setCurrentIndex(r.MuxGate);
            c.ChMuxGateGrp[n]->show();
        } else {
            c.ChMuxGateGrp[n]->hide();
        }
    }

    LayOutMuxList(n);
    ChModesEnable(n);
}

void TReadBack::LayOutMuxList(int n)
{
    QListWidget* list = FForm.ChannelControls.ChMuxSel[n];
    const int channels = FState.ChannelCount;
    // Ticks set here are the program's, not the user's: no handler runs.
    const QSignalBlocker block(list);

    const TMuxLayout layout = MuxLayoutOf(channels);
    list->resize(list->width(), layout.Height);
    const int inner = list->width() - 2 * list->frameWidth();
    list->setGridSize(QSize(inner / layout.Columns, list->gridSize().height()));
    list->setProperty("Columns", layout.Columns);

    const int mask = FState.ChannelSettings[n].MuxMask;
    for (int k = 0; k < layout.Items && k < list->count(); ++k)
        list->item(k)->setCheckState((mask >> k) & 1 ? Qt::Checked : Qt::Unchecked);

    for (int i = list->count() - 1; i >= channels; --i)
        delete list->takeItem(i);
}
