#include "settings/SettingsHandlers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMovie>
#include <QPushButton>
#include <QSignalBlocker>

#include "model/Capabilities.h"
#include "platform/Dialogs.h"
#include "readback/Enabling.h"
#include "window/MainForm.h"
#include "model/ProgramState.h"
#include "model/Settings.h"
#include "model/SyncRules.h"
#include "scheduling/TaskQueue.h"
#include "widgets/PlusSpinEdit.h"

namespace {

QString ChannelPrefix(int n)
{
    return QStringLiteral(":PULS") + QString::number(n);
}

}  // namespace

TSettingsHandlers::TSettingsHandlers(TMainForm& form, TProgramState& state, TTaskQueue& queue, IDialogs& dialogs)
    : FForm(form), FState(state), FQueue(queue), FDialogs(dialogs)
{
    const TChannelControls& c = form.ChannelControls;
    auto spin = [this](TPlusSpinEdit* control, void (TSettingsHandlers::*handler)(TPlusSpinEdit*)) {
        connect(control, &TPlusSpinEdit::OnChange, this, [this, handler](TPlusSpinEdit* s) { (this->*handler)(s); });
    };
    for (int n = 1; n <= 8; ++n) {
        QCheckBox* enable = c.ChEnableBox[n];
        connect(enable, &QCheckBox::toggled, this, [this, enable] { SetChEnableState(enable); });
        spin(c.ChDelayAdj[n], &TSettingsHandlers::SetChannelDelay);
        spin(c.ChWidthAdj[n], &TSettingsHandlers::SetChannelWidth);
        spin(c.ChAmplitudeAdj[n], &TSettingsHandlers::SetChAmplitude);
        spin(c.ChBurstAdj[n], &TSettingsHandlers::SetChannelBurst);
        spin(c.ChWaitCountAdj[n], &TSettingsHandlers::SetChannelWaitCount);
        spin(c.ChDutyOnAdj[n], &TSettingsHandlers::SetChannelDCOn);
        spin(c.ChDutyOffAdj[n], &TSettingsHandlers::SetChannelDCOff);
        TChannelSettings& ch = FState.ChannelSettings[n];
        BindList(c.ChModeSel[n], &TSettingsHandlers::SetChannelMode, [&ch] { return ch.Mode; });
        BindList(c.ChPolaritySel[n], &TSettingsHandlers::SetChannelPolarity, [&ch] { return ch.Polarity; });
        BindList(c.ChGateModeSel[n], &TSettingsHandlers::SetChannelGateMode, [&ch] { return ch.GateMode; });
        // Only standard channels have a mux gate.
        if (n <= MaxStandardChannelCount())
            BindList(c.ChMuxGateSel[n], &TSettingsHandlers::SetChMuxGate, [&ch] { return ch.MuxGate; });
        QComboBox* sync = c.ChSyncSourceSel[n];
        BindList(
            sync, &TSettingsHandlers::SetChannelSyncSource,
            [&ch, sync] { return GetChannelIndex(SyncItems(sync), ch.SyncSource); }, true);
        QListWidget* mux = c.ChMuxSel[n];
        connect(mux, &QListWidget::itemChanged, this, [this, mux] { SetChannelMux(mux); });
    }

    TSystemSettings& sys = FState.SystemSettings;
    connect(form.PeriodAdj, &TPlusSpinEdit::OnChange, this, &TSettingsHandlers::PeriodAdjChange);
    connect(form.SysBurstAdj, &TPlusSpinEdit::OnChange, this, &TSettingsHandlers::SysBurstAdjChange);
    connect(form.SysDutyOnAdj, &TPlusSpinEdit::OnChange, this, &TSettingsHandlers::SysDutyOnAdjChange);
    connect(form.SysDutyOffAdj, &TPlusSpinEdit::OnChange, this, &TSettingsHandlers::SysDutyOffAdjChange);
    connect(form.TrigThresholdAdj, &TPlusSpinEdit::OnChange, this, &TSettingsHandlers::TrigThresholdAdjChange);
    BindList(
        form.SystemModeSel, [](TSettingsHandlers* h, QComboBox*) { h->SystemModeSelChange(); },
        [&sys] { return sys.SystemMode; });
    BindList(
        form.ExtModeSel, [](TSettingsHandlers* h, QComboBox*) { h->ExtModeSelChange(); },
        [&sys] { return sys.ExtMode; });
    BindList(
        form.TriggerEdgeSel, [](TSettingsHandlers* h, QComboBox*) { h->TriggerEdgeSelClick(); },
        [&sys] { return sys.TriggerEdge; });
    BindList(
        form.GatePolaritySel, [](TSettingsHandlers* h, QComboBox*) { h->GatePolaritySelChange(); },
        [&sys] { return sys.GatePolarity; });
    connect(form.AutoStartEnbl, &QCheckBox::toggled, this, &TSettingsHandlers::AutoStartEnblClick);
    connect(form.RunStopBtn, &QPushButton::clicked, this, &TSettingsHandlers::RunStopBtnClick);

    connect(form.ShotCountEnbl, &QCheckBox::toggled, this, &TSettingsHandlers::ShotCountEnblClick);
    BindList(
        form.ShotCountSel, [](TSettingsHandlers* h, QComboBox*) { h->ShotCountSelChange(); },
        [&sys] { return sys.ShotCountSource; });
    connect(form.ClearShotCount, &QPushButton::clicked, this, &TSettingsHandlers::ClearShotCountClick);
    connect(form.PeriodCounterEn, &QCheckBox::toggled, this, &TSettingsHandlers::PeriodCounterEnClick);
    connect(form.PeriodCounterAutoEn, &QCheckBox::toggled, this, &TSettingsHandlers::PeriodCounterAutoEnClick);
    connect(form.PeriodCountAdj, &TPlusSpinEdit::OnChange, this, &TSettingsHandlers::PeriodCountAdjChange);
    connect(form.PeriodCountClear, &QPushButton::clicked, this, &TSettingsHandlers::PeriodCountClearClick);
    connect(form.SynchEnable, &QCheckBox::toggled, this, &TSettingsHandlers::SynchEnableClick);
    connect(form.SynchUpdateBtn, &QPushButton::clicked, this, &TSettingsHandlers::SynchUpdateBtnClick);
    connect(form.CycleCountAdj, &TPlusSpinEdit::OnChange, this, &TSettingsHandlers::CycleCountAdjChange);
}

int TSettingsHandlers::ChannelOf(const QObject* control)
{
    const QString name = control ? control->objectName() : QString();
    if (name.isEmpty())
        return 0;
    const int digit = name.back().digitValue();
    return digit >= 1 && digit <= 8 ? digit : 0;
}

QStringList TSettingsHandlers::SyncItems(const QComboBox* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

void TSettingsHandlers::Queue(const QString& command)
{
    FQueue.QueuedCommandToPort(command);
    emit SettingsChanged();
}

int TSettingsHandlers::SelectedIndex(const QComboBox* list)
{
    const int index = list->currentIndex();
    return index >= 0 && list->currentText() == list->itemText(index) ? index : -1;
}

void TSettingsHandlers::ShowIndex(QComboBox* list, int index)
{
    const QSignalBlocker block(list);
    list->setCurrentIndex(index);
    list->setEditText(index >= 0 ? list->itemText(index) : QString());
}

void TSettingsHandlers::BindList(QComboBox* list, TListHandler handler, std::function<int()> storedIndex,
                                 bool acceptChannelNames)
{
    connect(list, qOverload<int>(&QComboBox::activated), this, [this, list, handler] { handler(this, list); });
    QLineEdit* edit = list->lineEdit();
    if (!edit)
        return;
    connect(edit, &QLineEdit::textEdited, this, [this, list, handler, acceptChannelNames](const QString& text) {
        const int item = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (item >= 0) {
            const QSignalBlocker block(list);
            list->setCurrentIndex(item);
            handler(this, list);
        } else if (acceptChannelNames && GetChannelNumber(text) != kNoChannel) {
            handler(this, list);
        }
    });
    // Typed text that names nothing is never sent; once the user leaves the
    // field it gives way to the stored selection again.
    connect(edit, &QLineEdit::editingFinished, this, [list, storedIndex, acceptChannelNames] {
        const bool named =
            SelectedIndex(list) >= 0 || (acceptChannelNames && GetChannelNumber(list->currentText()) != kNoChannel);
        if (!named)
            ShowIndex(list, storedIndex());
    });
}

// ---- Channel pages

// A count of channel n: rounded to the nearest integer, stored and queued.
void TSettingsHandlers::SetChannelCount(TPlusSpinEdit* sender, std::int32_t TChannelSettings::*field, const char* part)
{
    const int n = ChannelOf(sender);
    if (n == 0)
        return;
    FState.ChannelSettings[n].*field = RoundCount(sender->Value());
    Queue(ChannelPrefix(n) + part + CountText(sender->Value()));
}

// A keyword setting of channel n: the picked item's index is stored and its
// keyword queued; typed text that names no item sends nothing.
bool TSettingsHandlers::SetChannelKeyword(QComboBox* sender, std::int32_t TChannelSettings::*field, const char* part,
                                          TKeywordTable table)
{
    const int n = ChannelOf(sender);
    const int index = SelectedIndex(sender);
    if (n == 0 || index < 0)
        return false;
    FState.ChannelSettings[n].*field = index;
    Queue(ChannelPrefix(n) + part + KeywordOf(table, index));
    return true;
}

void TSettingsHandlers::SetChEnableState(QCheckBox* sender)
{
    const int n = ChannelOf(sender);
    if (n == 0)
        return;
    const int value = sender->isChecked() ? 1 : 0;
    FState.ChannelSettings[n].Enabled = value;
    Queue(ChannelPrefix(n) + ":STAT " + QString::number(value));
}

void TSettingsHandlers::SetChannelDelay(TPlusSpinEdit* sender)
{
    const int n = ChannelOf(sender);
    if (n == 0)
        return;
    const double value = sender->Value();
    const double step = DelayCheckStep(FState.HighResolution, FState.TimingResolution);
    TChannelSettings& ch = FState.ChannelSettings[n];
    if (!CheckResolution(value, step)) {
        // Rounded to the nearest step and shown; the control's change event
        // sends that value.
        sender->setValue(RoundToStep(value, step));
        return;
    }
    ch.Delay = value;
    Queue(ChannelPrefix(n) + ":DEL " + FixedText(value, 12));
}

void TSettingsHandlers::SetChannelWidth(TPlusSpinEdit* sender)
{
    const int n = ChannelOf(sender);
    if (n == 0)
        return;
    const double value = sender->Value();
    TChannelSettings& ch = FState.ChannelSettings[n];
    if (!CheckResolution(value, FState.TimingResolution)) {
        sender->setValue(RoundToStep(value, FState.TimingResolution));
        return;
    }
    ch.Width = value;
    Queue(ChannelPrefix(n) + ":WIDT " + FixedText(value, 9));
}

void TSettingsHandlers::SetChAmplitude(TPlusSpinEdit* sender)
{
    const int n = ChannelOf(sender);
    if (n == 0)
        return;
    FState.ChannelSettings[n].Amplitude = sender->Value();
    Queue(ChannelPrefix(n) + ":OUTP:AMPL " + FixedText(sender->Value(), 2));
}

void TSettingsHandlers::SetChannelMode(QComboBox* sender)
{
    if (SetChannelKeyword(sender, &TChannelSettings::Mode, ":CMOD ", TKeywordTable::ktChannelMode))
        ChModesEnable(FForm, FState, ChannelOf(sender));
}

void TSettingsHandlers::SetChannelBurst(TPlusSpinEdit* sender)
{
    SetChannelCount(sender, &TChannelSettings::BurstCount, ":BCO ");
}

void TSettingsHandlers::SetChannelWaitCount(TPlusSpinEdit* sender)
{
    SetChannelCount(sender, &TChannelSettings::WaitCount, ":WCO ");
}

void TSettingsHandlers::SetChannelDCOn(TPlusSpinEdit* sender)
{
    SetChannelCount(sender, &TChannelSettings::DutyOnCount, ":PCO ");
}

void TSettingsHandlers::SetChannelDCOff(TPlusSpinEdit* sender)
{
    SetChannelCount(sender, &TChannelSettings::DutyOffCount, ":OCO ");
}

void TSettingsHandlers::SetChannelPolarity(QComboBox* sender)
{
    SetChannelKeyword(sender, &TChannelSettings::Polarity, ":POL ", TKeywordTable::ktChannelPolarity);
}

void TSettingsHandlers::SetChannelGateMode(QComboBox* sender)
{
    SetChannelKeyword(sender, &TChannelSettings::GateMode, ":CGAT ", TKeywordTable::ktChannelGateMode);
}

void TSettingsHandlers::SetChMuxGate(QComboBox* sender)
{
    const int n = ChannelOf(sender);
    const int index = SelectedIndex(sender);
    if (n == 0 || index < 0)
        return;
    FState.ChannelSettings[n].MuxGate = index;
    Queue(ChannelPrefix(n) + ":MUXG " + QString::number(index));
}

void TSettingsHandlers::SetChannelMux(QListWidget* sender)
{
    const int n = ChannelOf(sender);
    if (n == 0)
        return;
    // Items beyond the model's channels do not count.
    const int usable = MuxLayoutOf(FState.ChannelCount).Items;
    int mask = 0;
    for (int i = 0; i < usable && i < sender->count(); ++i)
        if (sender->item(i)->checkState() == Qt::Checked)
            mask |= 1 << i;
    FState.ChannelSettings[n].MuxMask = mask;
    Queue(ChannelPrefix(n) + ":MUX " + QString::number(mask));
}

void TSettingsHandlers::SetChannelSyncSource(QComboBox* sender)
{
    const int c = ChannelOf(sender);
    if (c == 0)
        return;
    const int s = GetChannelNumber(sender->currentText());
    if (s == kNoChannel)
        return;
    const QString error = SyncSourceError(FState.ChannelSettings, FState.ChannelCount, c, s);
    if (!error.isEmpty()) {
        FDialogs.MessageDlg(error, QString(), TMsgButton::mbOK, TMsgKind::mkError);
        ShowIndex(sender, GetChannelIndex(SyncItems(sender), FState.ChannelSettings[c].SyncSource));
        return;
    }
    FState.ChannelSettings[c].SyncSource = s;
    Queue(ChannelPrefix(c) + ":SYNC " + GetChCmdName(s));
}

// ---- System page

void TSettingsHandlers::PeriodAdjChange()
{
    const double value = FForm.PeriodAdj->Value();
    if (!CheckResolution(value, FState.TimingResolution)) {
        FForm.PeriodAdj->setValue(RoundToStep(value, FState.TimingResolution));
        return;
    }
    FState.SystemSettings.Period = value;
    Queue(":PULS0:PER " + FixedText(value, 9));
}

void TSettingsHandlers::SystemModeSelChange()
{
    const int index = SelectedIndex(FForm.SystemModeSel);
    if (index < 0)
        return;
    FState.SystemSettings.SystemMode = index;
    Queue(":PULS0:MOD " + KeywordOf(TKeywordTable::ktSystemMode, index));
    SystemModesEnable(FForm, FState);
}

void TSettingsHandlers::SysBurstAdjChange()
{
    const double value = FForm.SysBurstAdj->Value();
    FState.SystemSettings.BurstCount = RoundUnsignedCount(value);
    Queue(":PULS0:BCO " + UnsignedCountText(value));
}

void TSettingsHandlers::SysDutyOnAdjChange()
{
    const double value = FForm.SysDutyOnAdj->Value();
    FState.SystemSettings.DutyOnCount = RoundUnsignedCount(value);
    Queue(":PULS0:PCO " + UnsignedCountText(value));
}

void TSettingsHandlers::SysDutyOffAdjChange()
{
    const double value = FForm.SysDutyOffAdj->Value();
    FState.SystemSettings.DutyOffCount = RoundUnsignedCount(value);
    Queue(":PULS0:OCO " + UnsignedCountText(value));
}

void TSettingsHandlers::ExtModeSelChange()
{
    const int index = SelectedIndex(FForm.ExtModeSel);
    if (index < 0)
        return;
    FState.SystemSettings.ExtMode = index;
    Queue(":PULS0:EXT:MOD " + KeywordOf(TKeywordTable::ktExtMode, index));
    TriggerModesEnable(FForm, FState, FQueue);
}

void TSettingsHandlers::TriggerEdgeSelClick()
{
    const int index = SelectedIndex(FForm.TriggerEdgeSel);
    if (index < 0)
        return;
    FState.SystemSettings.TriggerEdge = index;
    Queue(":PULS0:EXT:EDG " + KeywordOf(TKeywordTable::ktTriggerEdge, index));
}

void TSettingsHandlers::TrigThresholdAdjChange()
{
    const double value = FForm.TrigThresholdAdj->Value();
    FState.SystemSettings.TriggerLevel = value;
    Queue(":PULS0:EXT:LEV " + FixedText(value, 2));
}

void TSettingsHandlers::GatePolaritySelChange()
{
    const int index = SelectedIndex(FForm.GatePolaritySel);
    if (index < 0)
        return;
    FState.SystemSettings.GatePolarity = index;
    Queue(":PULS0:EXT:POL " + KeywordOf(TKeywordTable::ktGatePolarity, index));
}

void TSettingsHandlers::AutoStartEnblClick()
{
    Queue(FForm.AutoStartEnbl->isChecked() ? ":SYST:AUT 1" : ":SYST:AUT 0");
}

void TSettingsHandlers::RunStopBtnClick()
{
    if (FState.SystemRunning)
        SystemStop();
    else
        SystemStart();
}

void TSettingsHandlers::SystemStart()
{
    FForm.ShowRunning(true);
    Queue(":PULS0:STAT ON");
    FState.SystemRunning = true;
}

void TSettingsHandlers::SystemStop()
{
    FState.SystemRunning = false;
    FForm.ShowRunning(false);
    Queue(":PULS0:STAT OFF");
}

// ---- Plus page

void TSettingsHandlers::ShotCountEnblClick()
{
    const bool on = FForm.ShotCountEnbl->isChecked();
    FState.SystemSettings.ShotCountEnabled = on ? 1 : 0;
    Queue(on ? ":PULS0:COUN:STAT 1" : ":PULS0:COUN:STAT 0");
}

void TSettingsHandlers::ShotCountSelChange()
{
    const int index = SelectedIndex(FForm.ShotCountSel);
    if (index < 0)
        return;
    FState.SystemSettings.ShotCountSource = index;
    Queue(":PULS0:COUN:SOUR " + KeywordOf(TKeywordTable::ktShotCountSource, index));
}

void TSettingsHandlers::ClearShotCountClick()
{
    Queue(":PULS0:COUN:CL");
}

void TSettingsHandlers::PeriodCounterEnClick()
{
    const bool on = FForm.PeriodCounterEn->isChecked();
    FState.SystemSettings.PeriodCounterEnabled = on ? 1 : 0;
    Queue(on ? ":PULS0:EXTP:STAT ON" : ":PULS0:EXTP:STAT OFF");
}

void TSettingsHandlers::PeriodCounterAutoEnClick()
{
    const bool on = FForm.PeriodCounterAutoEn->isChecked();
    FState.SystemSettings.PeriodAutoUpdate = on ? 1 : 0;
    Queue(on ? ":PULS0:EXTP:AUT ON" : ":PULS0:EXTP:AUT OFF");
}

void TSettingsHandlers::PeriodCountAdjChange()
{
    FState.SystemSettings.PeriodsToAverage = RoundCount(FForm.PeriodCountAdj->Value());
    Queue(":PULS0:EXTP:NCOU " + CountText(FForm.PeriodCountAdj->Value()));
}

void TSettingsHandlers::PeriodCountClearClick()
{
    Queue(":PULS0:EXTP:CL");
    FForm.PeriodCountLbl->setText("P: ----");
}

void TSettingsHandlers::SynchEnableClick()
{
    const bool on = FForm.SynchEnable->isChecked();
    FState.SystemSettings.SyncUpdateAuto = on ? 0 : 1;
    Queue(on ? ":SYST:UPD:AUTO 0" : ":SYST:UPD:AUTO 1");
    FForm.SynchUpdateBtn->setEnabled(on);
}

void TSettingsHandlers::SynchUpdateBtnClick()
{
    Queue(":SYST:UPD:EX");
}

void TSettingsHandlers::CycleCountAdjChange()
{
    FState.SystemSettings.CycleCount = RoundCount(FForm.CycleCountAdj->Value());
    Queue(":PULS0:CCO " + CountText(FForm.CycleCountAdj->Value()));
}
