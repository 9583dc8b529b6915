// The window's intents on their own: showing a snapshot, and the user's
// edits reported as typed signals (the tests drive the controls as the user
// would).
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "model/Capabilities.h"
#include "model/SettingsSnapshot.h"
#include "widgets/PlusSpinEdit.h"
#include "window/ControlEnabling.h"
#include "window/MainForm.h"

namespace {

struct TEdit {
    TSettingId Id;
    int Channel;
    double Value;
    bool operator==(const TEdit&) const = default;
};

class WindowIntents : public ::testing::Test {
protected:
    WindowIntents()
    {
        QObject::connect(&form, &TMainForm::SettingEdited,
                         [this](TSettingId id, int channel, double value) { edits.push_back({id, channel, value}); });
    }
    // Picks an item as the user does.
    static void Pick(QComboBox* list, int index)
    {
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    // Types a whole text into a list's entry field.
    static void Type(QComboBox* list, const QString& text)
    {
        list->lineEdit()->setText(text);
        emit list->lineEdit()->textEdited(text);
    }

    bool Reported(TSettingId id, int channel, double value) const
    {
        return std::any_of(edits.begin(), edits.end(), [&](const TEdit& e) {
            return e.Id == id && e.Channel == channel && std::abs(e.Value - value) <= 1e-12 * std::abs(value);
        });
    }

    TMainForm form;
    std::vector<TEdit> edits;
};

TSettingsSnapshot Snapshot6424()
{
    TSettingsSnapshot s;
    s.DeviceIdentity.Model = "6424";
    s.HighResolution = true;
    s.ChannelCount = ChannelCountOf("6424");
    s.TimingResolution = TimingResolutionOf(false, true);
    s.MuxGateSupported = true;
    s.SystemSettings.Period = 2e-3;
    s.SystemSettings.SystemMode = TSystemMode::DutyCycle;
    s.SystemSettings.ExtMode = TExtMode::ReArm;
    s.SystemSettings.TriggerEdge = TTriggerEdge::Rising;
    s.SystemSettings.GatePolarity = TGatePolarity::High;
    s.SystemSettings.ShotCountSource = 3;
    s.SystemSettings.SyncUpdateAuto = 0;
    for (int n = 1; n <= 8; ++n) {
        TChannelSettings& c = s.ChannelSettings[n];
        c.Enabled = n % 2;
        c.Width = 1e-6 * n;
        c.Mode = ModeAt<TChannelMode>(n % 4);
        c.Polarity = TChannelPolarity::Normal;
        c.GateMode = ModeAt<TChannelGateMode>(n % 5);
        c.MuxGate = ModeAt<TMuxGateMode>(n % 4);
        c.MuxMask = n == 2 ? 0b1010 : 0;
        c.SyncSource = n - 1;
    }
    return s;
}

TEST_F(WindowIntents, ShowsASnapshotWithTheItemsOfItsVariant)
{
    const TSettingsSnapshot s = Snapshot6424();
    form.ShowSnapshot(s);

    EXPECT_DOUBLE_EQ(form.PeriodAdj->Value(), 2e-3);
    EXPECT_EQ(form.SystemModeSel->currentText(), "Duty Cycle");
    EXPECT_EQ(form.ExtModeSel->currentText(), "ReArm");
    EXPECT_EQ(form.TriggerEdgeSel->currentText(), "Rising");
    EXPECT_EQ(form.GatePolaritySel->currentText(), "High");
    EXPECT_EQ(form.ShotCountSel->currentText(), "ChC");
    EXPECT_TRUE(form.SynchEnable->isChecked());
    const TChannelControls& c = form.ChannelControls;
    for (int n = 1; n <= 8; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(c.ChModeSel[n]->currentIndex(), n % 4);
        EXPECT_EQ(c.ChGateModeSel[n]->currentIndex(), n % 5);
        EXPECT_EQ(c.ChGateModeSel[n]->count(), 5);  // the "…WR" modes of the Plus features
        EXPECT_DOUBLE_EQ(c.ChWidthAdj[n]->Value(), 1e-6 * n);
        // Burst mode (2) offers the burst count, duty cycle (3) the counts.
        EXPECT_EQ(ControlEnabled(c.ChBurstAdj[n]), n % 4 == 2);
        EXPECT_EQ(ControlEnabled(c.ChDutyOnAdj[n]), n % 4 == 3);
        // The sync list offers T0 and the other channels.
        EXPECT_EQ(c.ChSyncSourceSel[n]->count(), 8);
        EXPECT_EQ(c.ChSyncSourceSel[n]->currentText(), GetChSyncName(n - 1));
    }
    EXPECT_EQ(c.ChMuxGateSel[3]->currentText(), "Invert");
    EXPECT_EQ(c.ChMuxSel[2]->item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(c.ChMuxSel[2]->item(2)->checkState(), Qt::Unchecked);
    EXPECT_EQ(c.ChMuxSel[2]->item(3)->checkState(), Qt::Checked);

    // What the window shows is no edit: no control reports it.
    EXPECT_TRUE(edits.empty());
}

TEST_F(WindowIntents, ListsOfAStandardGeneratorLackThePlusItems)
{
    TSettingsSnapshot s = Snapshot6424();
    s.DeviceIdentity.Model = "6404";
    s.HighResolution = false;
    s.ChannelCount = ChannelCountOf("6404");
    s.SystemSettings.ExtMode = TExtMode::Gated;
    form.ShowSnapshot(s);
    EXPECT_EQ(form.ExtModeSel->count(), 3);
    EXPECT_EQ(form.ExtModeSel->currentText(), "Gated");
    EXPECT_EQ(form.ChannelControls.ChGateModeSel[1]->count(), 3);
}

TEST_F(WindowIntents, EditsAreReportedAsSettingChannelAndValue)
{
    const TChannelControls& c = form.ChannelControls;
    form.ShowSnapshot(Snapshot6424());
    const struct {
        const char* what;
        std::function<void()> act;
        TEdit edit;
    } cases[] = {
        {"channel mode", [&] { Pick(c.ChModeSel[3], 2); }, {TSettingId::siChannelMode, 3, 2}},
        {"system mode", [&] { Pick(form.SystemModeSel, 1); }, {TSettingId::siSystemMode, 0, 1}},
        {"typed caption", [&] { Type(form.ExtModeSel, "Triggered"); }, {TSettingId::siExtMode, 0, 1}},
        {"mux gate", [&] { Pick(c.ChMuxGateSel[4], 2); }, {TSettingId::siMuxGate, 4, 2}},
        {"sync item", [&] { Pick(c.ChSyncSourceSel[2], c.ChSyncSourceSel[2]->findText("Ch D")); },
         {TSettingId::siSyncSource, 2, 4}},
        {"sync name typed", [&] { Type(c.ChSyncSourceSel[5], "CHB"); }, {TSettingId::siSyncSource, 5, 2}},
        {"width", [&] { c.ChWidthAdj[6]->setValue(4e-6); }, {TSettingId::siWidth, 6, 4e-6}},
        {"period", [&] { form.PeriodAdj->setValue(1e-3); }, {TSettingId::siPeriod, 0, 1e-3}},
        {"enable", [&] { c.ChEnableBox[2]->setChecked(true); }, {TSettingId::siEnabled, 2, 1}},
        {"auto start", [&] { form.AutoStartEnbl->setChecked(true); }, {TSettingId::siAutoStart, 0, 1}},
        {"synchronous update", [&] { form.SynchEnable->setChecked(false); }, {TSettingId::siSyncUpdateAuto, 0, 1}},
        {"multiplexer", [&] { c.ChMuxSel[1]->item(2)->setCheckState(Qt::Checked); }, {TSettingId::siMuxMask, 1, 4}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        edits.clear();
        k.act();
        ASSERT_EQ(edits.size(), 1u);
        EXPECT_EQ(edits[0].Id, k.edit.Id);
        EXPECT_EQ(edits[0].Channel, k.edit.Channel);
        EXPECT_DOUBLE_EQ(edits[0].Value, k.edit.Value);
    }
    // Clearing automatic update offers the update button again.
    form.SynchEnable->setChecked(true);
    EXPECT_TRUE(form.SynchUpdateBtn->isEnabled());
}

TEST_F(WindowIntents, TextThatNamesNothingIsNoEditAndGivesWayToTheStoredSelection)
{
    form.SetStoredValues([](TSettingId id, int channel) {
        return id == TSettingId::siChannelMode && channel == 2 ? 3.0 : id == TSettingId::siSyncSource ? 0.0 : 1.0;
    });
    QComboBox* mode = form.ChannelControls.ChModeSel[2];
    Type(mode, "Burs");
    Type(form.ChannelControls.ChSyncSourceSel[3], "Ch Z");
    EXPECT_TRUE(edits.empty());
    emit mode->lineEdit()->editingFinished();
    EXPECT_EQ(mode->currentIndex(), 3);
    EXPECT_EQ(mode->currentText(), "Duty Cycle");
    emit form.ChannelControls.ChSyncSourceSel[3]->lineEdit()->editingFinished();
    EXPECT_EQ(form.ChannelControls.ChSyncSourceSel[3]->currentText(), "T0");
    EXPECT_TRUE(edits.empty());
}

TEST_F(WindowIntents, AValueShownOrAPeriodCounterShownOffIsNoEdit)
{
    form.ShowSetting(TSettingId::siDelay, 4, 5e-7);
    EXPECT_DOUBLE_EQ(form.ChannelControls.ChDelayAdj[4]->Value(), 5e-7);
    form.PeriodCounterEn->setChecked(true);
    edits.clear();
    form.ShowPeriodCounterOff();
    EXPECT_FALSE(form.PeriodCounterEn->isChecked());
    EXPECT_TRUE(edits.empty());
    // The user's own change of the same controls is an edit.
    form.ChannelControls.ChDelayAdj[4]->setValue(6e-7);
    EXPECT_TRUE(Reported(TSettingId::siDelay, 4, 6e-7));
}

TEST_F(WindowIntents, MenuCommandsAndButtonsAreSignals)
{
    QSignalSpy save(&form, &TMainForm::SaveToBinRequested);
    QSignalSpy restore(&form, &TMainForm::RestoreFromBinRequested);
    QSignalSpy refresh(&form, &TMainForm::RefreshRequested);
    QSignalSpy run(&form, &TMainForm::RunStopClicked);
    form.SaveToBinActions[3]->trigger();
    form.RestoreFromBinActions[0]->trigger();
    form.RefreshAction->trigger();
    form.RunStopBtn->click();
    ASSERT_EQ(save.size(), 1);
    EXPECT_EQ(save[0][0].toInt(), 3);
    ASSERT_EQ(restore.size(), 1);
    EXPECT_EQ(restore[0][0].toInt(), 0);
    EXPECT_EQ(refresh.size(), 1);
    EXPECT_EQ(run.size(), 1);
}

TEST_F(WindowIntents, StatusTexts)
{
    form.show();
    form.ShowError("Error 12");
    EXPECT_TRUE(form.ErrorLabel->isVisible());
    form.BlinkError();
    EXPECT_FALSE(form.ErrorLabel->isVisible());
    form.ShowShotCount("Count: 7");
    form.ShowMeasuredPeriod("P: 1 ms");
    EXPECT_EQ(form.ShotCountLbl->text(), "Count: 7");
    EXPECT_EQ(form.PeriodCountLbl->text(), "P: 1 ms");
    form.ClearStatus();
    EXPECT_FALSE(form.ErrorLabel->isVisible());
    EXPECT_EQ(form.ShotCountLbl->text(), "Count: ----");
    EXPECT_EQ(form.PeriodCountLbl->text(), "P: ----");
    EXPECT_FALSE(form.PlusPageShown());
    form.SystemPageControl->setCurrentWidget(form.PlusPage);
    EXPECT_TRUE(form.PlusPageShown());
}

}  // namespace
