// The user's edits of the window's controls, reported as typed signals: which
// setting, which channel, which value. The window's own lists also keep what
// typed text means: an item's exact caption picks it, a channel's name picks
// it in a sync list, and text that names nothing gives way to the stored
// selection when the user leaves the field.
#include "window/MainForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include "model/Capabilities.h"
#include "model/Settings.h"
#include "widgets/PlusSpinEdit.h"

namespace {

// The index a list stands for: the picked item, or -1 for typed text.
int SelectedIndex(const QComboBox* list)
{
    const int index = list->currentIndex();
    return index >= 0 && list->currentText() == list->itemText(index) ? index : -1;
}

void ShowIndex(QComboBox* list, int index)
{
    const QSignalBlocker block(list);
    list->setCurrentIndex(index);
    list->setEditText(index >= 0 ? list->itemText(index) : QString());
}

}  // namespace

void TMainForm::Edited(TSettingId id, int channel, double value)
{
    if (FShowing == 0)
        emit SettingEdited(id, channel, value);
}

void TMainForm::ConnectEdits()
{
    const TChannelControls& c = ChannelControls;
    auto spin = [this](TPlusSpinEdit* control, TSettingId id, int n) {
        connect(control, &TPlusSpinEdit::OnChange, this,
                [this, id, n](TPlusSpinEdit* s) { Edited(id, n, s->Value()); });
    };
    auto box = [this](QCheckBox* control, TSettingId id, int n) {
        connect(control, &QCheckBox::toggled, this, [this, id, n](bool on) { Edited(id, n, on ? 1 : 0); });
    };
    for (int n = 1; n <= kMaxChannel; ++n) {
        box(c.ChEnableBox[n], TSettingId::siEnabled, n);
        spin(c.ChDelayAdj[n], TSettingId::siDelay, n);
        spin(c.ChWidthAdj[n], TSettingId::siWidth, n);
        spin(c.ChAmplitudeAdj[n], TSettingId::siAmplitude, n);
        spin(c.ChBurstAdj[n], TSettingId::siBurstCount, n);
        spin(c.ChWaitCountAdj[n], TSettingId::siWaitCount, n);
        spin(c.ChDutyOnAdj[n], TSettingId::siDutyOnCount, n);
        spin(c.ChDutyOffAdj[n], TSettingId::siDutyOffCount, n);
        BindList(c.ChModeSel[n], TSettingId::siChannelMode, n);
        BindList(c.ChPolaritySel[n], TSettingId::siPolarity, n);
        BindList(c.ChGateModeSel[n], TSettingId::siGateMode, n);
        // Only standard channels have a mux gate.
        if (n <= MaxStandardChannelCount())
            BindList(c.ChMuxGateSel[n], TSettingId::siMuxGate, n);
        BindList(c.ChSyncSourceSel[n], TSettingId::siSyncSource, n);
        QListWidget* mux = c.ChMuxSel[n];
        connect(mux, &QListWidget::itemChanged, this, [this, mux, n] {
            int mask = 0;
            for (int i = 0; i < mux->count() && i < kMaxChannel; ++i)
                if (mux->item(i)->checkState() == Qt::Checked)
                    mask |= 1 << i;
            Edited(TSettingId::siMuxMask, n, mask);
        });
    }

    spin(PeriodAdj, TSettingId::siPeriod, 0);
    spin(SysBurstAdj, TSettingId::siSystemBurstCount, 0);
    spin(SysDutyOnAdj, TSettingId::siSystemDutyOnCount, 0);
    spin(SysDutyOffAdj, TSettingId::siSystemDutyOffCount, 0);
    spin(TrigThresholdAdj, TSettingId::siTriggerLevel, 0);
    BindList(SystemModeSel, TSettingId::siSystemMode, 0);
    BindList(ExtModeSel, TSettingId::siExtMode, 0);
    BindList(TriggerEdgeSel, TSettingId::siTriggerEdge, 0);
    BindList(GatePolaritySel, TSettingId::siGatePolarity, 0);
    box(AutoStartEnbl, TSettingId::siAutoStart, 0);
    connect(RunStopBtn, &QPushButton::clicked, this, &TMainForm::RunStopClicked);

    box(ShotCountEnbl, TSettingId::siShotCountEnabled, 0);
    BindList(ShotCountSel, TSettingId::siShotCountSource, 0);
    connect(ClearShotCount, &QPushButton::clicked, this, &TMainForm::ShotCountClearClicked);
    box(PeriodCounterEn, TSettingId::siPeriodCounterEnabled, 0);
    box(PeriodCounterAutoEn, TSettingId::siPeriodAutoUpdate, 0);
    spin(PeriodCountAdj, TSettingId::siPeriodsToAverage, 0);
    connect(PeriodCountClear, &QPushButton::clicked, this, &TMainForm::PeriodCountClearClicked);
    // Ticked: the generator waits for the update command, so automatic
    // update is off and the button that gives the command is offered.
    connect(SynchEnable, &QCheckBox::toggled, this, [this](bool on) {
        Edited(TSettingId::siSyncUpdateAuto, 0, on ? 0 : 1);
        SynchUpdateBtn->setEnabled(on);
    });
    connect(SynchUpdateBtn, &QPushButton::clicked, this, &TMainForm::SyncUpdateClicked);
    spin(CycleCountAdj, TSettingId::siCycleCount, 0);
}

// A picked item, or typed text that names an item (or, for sync lists, a
// channel), is an edit; text left standing that names nothing is replaced
// by the stored selection when editing ends, and is no edit.
void TMainForm::BindList(QComboBox* list, TSettingId id, int n)
{
    const bool channelNames = id == TSettingId::siSyncSource;
    auto edited = [this, list, id, n, channelNames] {
        if (channelNames) {
            const int source = GetChannelNumber(list->currentText());
            if (source != kNoChannel)
                Edited(id, n, source);
        } else {
            const int index = SelectedIndex(list);
            if (index >= 0)
                Edited(id, n, index);
        }
    };
    connect(list, qOverload<int>(&QComboBox::activated), this, edited);
    QLineEdit* edit = list->lineEdit();
    if (!edit)
        return;
    connect(edit, &QLineEdit::textEdited, this, [list, edited, channelNames](const QString& text) {
        const int item = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (item >= 0) {
            const QSignalBlocker block(list);
            list->setCurrentIndex(item);
            edited();
        } else if (channelNames && GetChannelNumber(text) != kNoChannel) {
            edited();
        }
    });
    connect(edit, &QLineEdit::editingFinished, this, [this, list, id, n, channelNames] {
        const bool named =
            SelectedIndex(list) >= 0 || (channelNames && GetChannelNumber(list->currentText()) != kNoChannel);
        if (!named)
            ShowStoredSetting(list, id, n);
    });
}

void TMainForm::SetStoredValues(std::function<double(TSettingId, int)> stored)
{
    FStoredValue = std::move(stored);
}

void TMainForm::ShowStoredSetting(QComboBox* list, TSettingId id, int n)
{
    const int value = FStoredValue ? RoundCount(FStoredValue(id, n)) : 0;
    if (id == TSettingId::siSyncSource)
        ShowSyncSource(n, value);
    else
        ShowIndex(list, value);
}

void TMainForm::ShowSyncSource(int n, int source)
{
    if (n < 1 || n > kMaxChannel)
        return;
    ShowIndex(ChannelControls.ChSyncSourceSel[n], GetChannelIndex(SyncItems(n), source));
}

void TMainForm::ShowSetting(TSettingId id, int n, double value)
{
    const TShowing showing(*this);
    const bool channel = n >= 1 && n <= kMaxChannel;
    TPlusSpinEdit* spin = nullptr;
    switch (id) {
        case TSettingId::siPeriod:
            spin = PeriodAdj;
            break;
        case TSettingId::siSystemBurstCount:
            spin = SysBurstAdj;
            break;
        case TSettingId::siSystemDutyOnCount:
            spin = SysDutyOnAdj;
            break;
        case TSettingId::siSystemDutyOffCount:
            spin = SysDutyOffAdj;
            break;
        case TSettingId::siTriggerLevel:
            spin = TrigThresholdAdj;
            break;
        case TSettingId::siPeriodsToAverage:
            spin = PeriodCountAdj;
            break;
        case TSettingId::siCycleCount:
            spin = CycleCountAdj;
            break;
        case TSettingId::siDelay:
            spin = channel ? ChannelControls.ChDelayAdj[n] : nullptr;
            break;
        case TSettingId::siWidth:
            spin = channel ? ChannelControls.ChWidthAdj[n] : nullptr;
            break;
        case TSettingId::siAmplitude:
            spin = channel ? ChannelControls.ChAmplitudeAdj[n] : nullptr;
            break;
        case TSettingId::siBurstCount:
            spin = channel ? ChannelControls.ChBurstAdj[n] : nullptr;
            break;
        case TSettingId::siDutyOnCount:
            spin = channel ? ChannelControls.ChDutyOnAdj[n] : nullptr;
            break;
        case TSettingId::siDutyOffCount:
            spin = channel ? ChannelControls.ChDutyOffAdj[n] : nullptr;
            break;
        case TSettingId::siWaitCount:
            spin = channel ? ChannelControls.ChWaitCountAdj[n] : nullptr;
            break;
        default:
            break;
    }
    if (spin)
        spin->setValue(value);
}
