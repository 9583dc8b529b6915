// The main window as built: names, kinds, design values, page differences.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTabWidget>

#include "window/MainForm.h"
#include "model/ProgramState.h"
#include "widgets/PlusSpinEdit.h"

namespace {

class MainForm : public ::testing::Test {
protected:
    TMainForm form;
};

}  // namespace

TEST_F(MainForm, EveryChannelPatternIsFoundForAllEightPages)
{
    const TChannelControls& c = form.ChannelControls;
    for (int n = 1; n <= 8; ++n) {
        SCOPED_TRACE(n);
        const QObject* all[] = {c.ChEnableBox[n],     c.ChDelayAdj[n],    c.ChWidthAdj[n],      c.ChModeSel[n],
                                c.ChAmplitudeAdj[n],  c.ChBurstAdj[n],    c.ChBurstCountGrp[n], c.ChWaitCountAdj[n],
                                c.ChSyncSourceSel[n], c.ChPolaritySel[n], c.ChDutyOnAdj[n],     c.ChDutyOnGrp[n],
                                c.ChDutyOffAdj[n],    c.ChDutyOffGrp[n],  c.ChGateModeSel[n],   c.ChMuxSel[n],
                                c.ChMuxGateSel[n],    c.ChMuxGateGrp[n]};
        for (const QObject* o : all) {
            ASSERT_NE(o, nullptr);
            EXPECT_TRUE(o->objectName().endsWith(QString::number(n))) << o->objectName().toStdString();
        }
    }
    // Page G's mode group carries an irregular name.
    EXPECT_EQ(form.findChild<QGroupBox*>("ChModeGrp7"), nullptr);
    EXPECT_NE(form.findChild<QGroupBox*>("ChannelModeGrp7"), nullptr);
    EXPECT_NE(form.findChild<QComboBox*>("ChModeSel7"), nullptr);
}

TEST_F(MainForm, ANameOfTheWrongKindIsAnError)
{
    QWidget window;
    auto* impostor = new QCheckBox(&window);
    impostor->setObjectName("ChDelayAdj3");
    EXPECT_THROW(FindChannelControls(window), std::logic_error);
}

TEST_F(MainForm, ChannelPagesDifferOnlyWhereDesigned)
{
    const TChannelControls& c = form.ChannelControls;
    for (int n = 1; n <= 8; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(c.ChDelayAdj[n]->Decimals(), n >= 5 ? 9 : 12);
        EXPECT_EQ(c.ChWaitCountAdj[n]->MaxValue(), n >= 4 ? 100000 : 1000000);
        EXPECT_EQ(c.ChBurstAdj[n]->Value(), 1);
        EXPECT_EQ(c.ChWaitCountAdj[n]->Value(), n >= 3 ? 1 : 0);
        EXPECT_DOUBLE_EQ(c.ChWidthAdj[n]->Value(), n >= 3 ? 2e-7 : 1000);
        EXPECT_EQ(c.ChDelayAdj[n]->Value(), 1000);
        EXPECT_EQ(c.ChAmplitudeAdj[n]->ThousandSeparator(), n == 1 ? QChar(',') : QChar());
        EXPECT_EQ(c.ChBurstAdj[n]->ThousandSeparator(), n == 6 ? QChar() : QChar(','));
        EXPECT_EQ(form.ChPageControl->isTabEnabled(n - 1), n != 5);
        EXPECT_EQ(form.ChPageControl->tabText(n - 1), QString("Ch ") + QChar('A' + n - 1));
        EXPECT_TRUE(c.ChEnableBox[n]->isChecked());
        EXPECT_EQ(c.ChMuxSel[n]->count(), 8);
        EXPECT_EQ(c.ChSyncSourceSel[n]->count(), 9);
        EXPECT_TRUE(c.ChModeSel[n]->isEditable());
    }
}

TEST_F(MainForm, SystemControlsCarryTheirDesignValues)
{
    EXPECT_EQ(form.windowTitle(), "6400 Pulse Generator");
    EXPECT_EQ(form.centralWidget()->size(), QSize(622, 710));

    EXPECT_EQ(form.PeriodAdj->Decimals(), 9);
    EXPECT_DOUBLE_EQ(form.PeriodAdj->MinValue(), 2e-7);
    EXPECT_EQ(form.PeriodAdj->Value(), 1000);
    EXPECT_EQ(form.SysBurstAdj->Value(), 4000000000.0);
    EXPECT_EQ(form.SysDutyOnAdj->Value(), 1);
    EXPECT_EQ(form.TrigThresholdAdj->Value(), 2.5);
    EXPECT_EQ(form.PeriodCountAdj->ThousandSeparator(), QChar());
    EXPECT_EQ(form.CycleCountAdj->Value(), 1000000);
    EXPECT_EQ(form.ShotCountSel->currentIndex(), -1);
    EXPECT_FALSE(form.SynchUpdateBtn->isEnabled());
    EXPECT_EQ(form.ExtModeSel->count(), 3);
    EXPECT_EQ(form.SystemPageControl->tabText(0), "System Options");
    EXPECT_EQ(form.SystemPageControl->tabText(1), "Plus Options");
    EXPECT_EQ(form.RunStopBtn->text(), "Run");
}

TEST_F(MainForm, MenuItemsBearTheirNamesAndCaptions)
{
    struct Item {
        const char* name;
        const char* caption;
    };
    const Item items[] = {
        {"Exit1", "Exit"},
        {"R1", "Restart App"},
        {"N11", "1"},
        {"N61", "6"},
        {"Default01", "Default 0"},
        {"N12", "1"},
        {"N62", "6"},
        {"SaveToFile1", "Save Settings To File"},
        {"RestoreSettingsFromFile1", "Restore Settings From File"},
        {"Up1", "Refresh"},
        {"CaptureScreenShot1", "Capture Screen Shot"},
        {"EnableLoggingMenu", "Logging Enabled"},
        {"TimingDiagram1", "Timing Diagram"},
        {"WebSite1", "Web Site"},
        {"About1", "About"},
    };
    for (const Item& i : items) {
        const auto* a = form.findChild<QAction*>(i.name);
        ASSERT_NE(a, nullptr) << i.name;
        EXPECT_EQ(a->text(), i.caption) << i.name;
    }
}

TEST_F(MainForm, ModelSetUpOfPeriodDelayAndWidthControls)
{
    struct Case {
        const char* model;
        bool plus, high;
        int channels;
        double step;
        int periodDecimals;
        double periodMin, periodMax;
        int fineDelayDecimals, coarseDelayDecimals, widthDecimals;
        double fineDelayStep, delayLimit, widthMin;
    };
    const Case cases[] = {
        {"6402", false, false, 2, 1e-8, 8, 2e-7, 1000, 8, 8, 8, 1e-8, 1000, 1e-8},
        {"6404+", true, false, 8, 5e-9, 9, 5e-8, 1000, 9, 9, 9, 5e-9, 1000, 1e-8},
        {"6424", false, true, 8, 4e-9, 9, 4e-8, 4000, 12, 9, 9, 5e-12, 4000, 8e-9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        TMainForm f;
        TProgramState state;
        state.DeviceIdentity.Model = c.model;
        state.PlusOption = c.plus;
        state.HighResolution = c.high;
        state.ChannelCount = c.channels;
        state.TimingResolution = c.step;
        f.SetResolution(state);
        f.SetRanges(state);
        f.SetResolution(state);
        f.SetRanges(state);

        EXPECT_DOUBLE_EQ(f.PeriodAdj->Increment(), c.step);
        EXPECT_EQ(f.PeriodAdj->Decimals(), c.periodDecimals);
        EXPECT_DOUBLE_EQ(f.PeriodAdj->MinValue(), c.periodMin);
        EXPECT_EQ(f.PeriodAdj->MaxValue(), c.periodMax);
        const int standard = state.StandardChannelCount();
        for (int n = 1; n <= 8; ++n) {
            SCOPED_TRACE(n);
            const TPlusSpinEdit* delay = f.ChannelControls.ChDelayAdj[n];
            const TPlusSpinEdit* width = f.ChannelControls.ChWidthAdj[n];
            const bool fine = c.high && n <= standard;
            EXPECT_DOUBLE_EQ(delay->Increment(), fine ? c.fineDelayStep : c.step);
            EXPECT_EQ(delay->Decimals(), fine ? c.fineDelayDecimals : c.coarseDelayDecimals);
            EXPECT_EQ(width->Decimals(), c.widthDecimals);
            EXPECT_DOUBLE_EQ(width->Increment(), c.step);
            // Channels beyond the model keep their design-time limits.
            const bool inUse = n <= c.channels;
            EXPECT_EQ(delay->MaxValue(), inUse ? c.delayLimit : 1000);
            EXPECT_EQ(delay->MinValue(), inUse ? -c.delayLimit : -1000);
            EXPECT_DOUBLE_EQ(width->MinValue(), inUse ? c.widthMin : 1e-8);
        }
    }
}
