// One full read-back per model against the simulated generator: the queries
// on the line, the program's records, the window and the settings snapshot.
#include "readback/ReadBackRig.h"

#include "model/ProgramState.h"
#include "scheduling/TaskQueue.h"
#include "widgets/PlusSpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTextEdit>

#include <gtest/gtest.h>
#include "jt6400/Version.h"

namespace {

struct TModelCase {
    const char* Model;
    int Channels;
    int Standard;
    bool Plus;
    bool High;
    // Channel pages shown (A = 0) and the captions expected on them.
    QStringList Captions;
};
void PrintTo(const TModelCase& c, std::ostream* os)
{
    *os << c.Model;
}

const TModelCase kModels[] = {
    {"6402", 2, 2, false, false, {"Ch A", "Ch B"}},
    {"6404", 4, 4, false, false, {"Ch A", "Ch B", "Ch C", "Ch D"}},
    {"6402+", 4, 2, true, false, {"Ch A", "Ch B", "ChC(V)", "ChD(V)"}},
    {"6404+", 8, 4, true, false, {"Ch A", "Ch B", "Ch C", "Ch D", "Ch E(V)", "Ch F(V)", "Ch G(V)", "Ch H(V)"}},
    {"6422", 4, 2, false, true, {"Ch A", "Ch B", "ChC(V)", "ChD(V)"}},
    {"6424", 8, 4, false, true, {"Ch A", "Ch B", "Ch C", "Ch D", "Ch E(V)", "Ch F(V)", "Ch G(V)", "Ch H(V)"}},
};

const char* const kModeWords[] = {"NORM", "SING", "BURS", "DCYC"};
const char* const kPolarityWords[] = {"INV", "NORM"};
const char* const kGateWords[] = {"DIS", "LOW", "HIGH"};

QString letter(int n)
{
    return QString(QChar('A' + n - 1));
}
// The channel that channel N is synchronised to in the test set-up.
int syncOf(int n)
{
    return n - 1;
}
QString syncWord(int n)
{
    return syncOf(n) == 0 ? QStringLiteral("T0") : QStringLiteral("CH") + letter(syncOf(n));
}
int muxOf(const TModelCase& m, int n)
{
    return n == 1 ? (m.Channels > 2 ? 5 : 3) : (1 << (n - 1));
}

// Set commands that give every setting a value of its own.
QStringList setUp(const TModelCase& m)
{
    QStringList c{":PULS0:PER 0.002",    ":PULS0:BCO 4000000000", ":PULS0:MOD BURS",     ":PULS0:PCO 7",
                  ":PULS0:OCO 9",        ":PULS0:EXT:MODE TRIG",  ":PULS0:EXT:LEV 1.25", ":PULS0:EXT:EDG FALL",
                  ":PULS0:EXT:POL HIGH", ":SYST:AUT ON"};
    if (m.Plus || m.High)
        c << ":PULS0:EXTP:STAT ON"
          << ":PULS0:EXTP:AUT ON"
          << ":PULS0:EXTP:NCOU 4"
          << ":PULS0:COUN:STAT ON"
          << ":PULS0:COUN:SOUR CHB"
          << ":SYST:UPD:AUTO 0"
          << ":PULS0:CCO 12";
    for (int n = 1; n <= m.Channels; ++n) {
        const QString p = QStringLiteral(":PULS%1").arg(n);
        c << p + QStringLiteral(":STAT %1").arg(n % 2) << p + QStringLiteral(":DEL %1e-7").arg(n)
          << p + QStringLiteral(":WIDT %1e-6").arg(n) << p + ":CMOD " + kModeWords[n % 4]
          << p + QStringLiteral(":BCO %1").arg(10 + n) << p + QStringLiteral(":PCO %1").arg(20 + n)
          << p + QStringLiteral(":OCO %1").arg(30 + n) << p + ":SYNC " + syncWord(n)
          << p + ":POL " + kPolarityWords[n % 2] << p + QStringLiteral(":WCO %1").arg(n)
          << p + ":CGAT " + kGateWords[n % 3];
        if (n <= m.Standard)
            c << p + QStringLiteral(":OUTP:AMPL 3.%1").arg(5 + n) << p + QStringLiteral(":MUX %1").arg(muxOf(m, n))
              << p + QStringLiteral(":MUXG %1").arg(n % 4);
    }
    return c;
}

QStringList expectedQueries(const TModelCase& m)
{
    QStringList q;
    if (m.Plus || m.High)
        q << ":PULS0:EXTP:STAT?"
          << ":PULS0:EXTP:AUT?"
          << ":PULS0:EXTP:NCOU?"
          << ":PULS0:COUN:STAT?"
          << ":PULS0:COUN:SOUR?"
          << ":SYST:UPD:AUTO?"
          << ":PULS0:CCO?";
    q << ":PULS0:PER?"
      << ":PULS0:BCO?"
      << ":PULS0:MOD?"
      << ":PULS0:PCO?"
      << ":PULS0:OCO?"
      << ":PULS0:EXT:MODE?"
      << ":PULS0:EXT:LEV?"
      << ":PULS0:EXT:EDG?"
      << ":PULS0:EXT:POL?"
      << ":SYST:AUT?";
    q << ":PULS1:MUXG?";
    for (int n = 1; n <= m.Channels; ++n) {
        for (const char* s :
             {":STAT?", ":DEL?", ":WIDT?", ":CMOD?", ":BCO?", ":PCO?", ":OCO?", ":SYNC?", ":POL?", ":WCO?", ":CGAT?"})
            q << QStringLiteral(":PULS%1").arg(n) + s;
        if (n <= m.Standard)
            for (const char* s : {":OUTP:AMPL?", ":MUX?", ":MUXG?"})
                q << QStringLiteral(":PULS%1").arg(n) + s;
    }
    return q;
}

QStringList expectedSettings(const TModelCase& m)
{
    QStringList l{QStringLiteral("// Jentrix Model %1  SW Version: " JT6400_VERSION " ComPort: 3").arg(m.Model),
                  "// Serial Number: 1234", "// Firmware Ver: 2.1.0", "// FPGA Ver: 3.0.7"};
    if (m.Plus || m.High)
        l << ":PULS0:EXTP:STAT 1"
          << ":PULS0:EXTP:AUT 1"
          << ":PULS0:EXTP:NCOU 4"
          << ":PULS0:COUN:STAT 1"
          << ":PULS0:COUN:SOUR CHB"
          << ":SYST:UPD:AUTO 0"
          << ":PULS0:CCO 12";
    l << ":PULS0:PER 0.002"
      << ":PULS0:BCO 4000000000"
      << ":PULS0:MOD BURS"
      << ":PULS0:PCO 7"
      << ":PULS0:OCO 9"
      << ":PULS0:EXT:MODE TRIG"
      << ":PULS0:EXT:LEV 1.25"
      << ":PULS0:EXT:EDG FALL"
      << ":PULS0:EXT:POL HIGH"
      << ":SYST:AUT 1";
    for (int n = 1; n <= m.Channels; ++n) {
        const QString p = QStringLiteral(":PULS%1").arg(n);
        l << p + QStringLiteral(":STAT %1").arg(n % 2) << p + QStringLiteral(":DEL %1E-7").arg(n)
          << p + QStringLiteral(":WIDT %1E-6").arg(n) << p + ":CMOD " + kModeWords[n % 4]
          << p + QStringLiteral(":BCO %1").arg(10 + n) << p + QStringLiteral(":PCO %1").arg(20 + n)
          << p + QStringLiteral(":OCO %1").arg(30 + n) << p + ":SYNC " + syncWord(n)
          << p + ":POL " + kPolarityWords[n % 2] << p + QStringLiteral(":WCO %1").arg(n)
          << p + ":CGAT " + kGateWords[n % 3];
        if (n <= m.Standard)
            l << p + QStringLiteral(":OUTP:AMPL 3.%1").arg(5 + n) << p + QStringLiteral(":MUX %1").arg(muxOf(m, n))
              << p + QStringLiteral(":MUXG %1").arg(n % 4);
    }
    return l;
}

QStringList items(const QComboBox* box)
{
    QStringList l;
    for (int i = 0; i < box->count(); ++i)
        l << box->itemText(i);
    return l;
}

class ReadBackPerModel : public ::testing::TestWithParam<TModelCase> {};

TEST_P(ReadBackPerModel, QueriesRecordsWindowAndSnapshot)
{
    const TModelCase& m = GetParam();
    TReadBackRig rig;
    rig.WithPoll = true;
    rig.Connect(m.Model, setUp(m));
    TMainForm& f = rig.Form();
    TProgramState& s = rig.State();
    f.show();

    // What the window looks like while the generator is being read.
    bool splashDuring = false, disabledDuring = false, refreshMenuDuring = true;
    QTimer::singleShot(0, [&] {
        splashDuring = rig.App->MessageForm().isVisible();
        disabledDuring = rig.App->Queue().CommandsDisabled();
        refreshMenuDuring = f.RefreshAction->isEnabled();
    });
    // The timers as the read-back leaves them: the task timer's first tick,
    // with nothing queued, stops it again. (The poll's rounds are not part
    // of this test's traffic.)
    bool taskTimerAfter = false, statusTimerAfter = false;
    QObject::connect(rig.ReadBack.get(), &TReadBack::SettingsChanged, [&] {
        taskTimerAfter = rig.App->Queue().Awake();
        statusTimerAfter = rig.Poll->Active();
        rig.Poll->Stop();
    });
    // Showing what was read is no edit: the window signals none.
    int edits = 0;
    QObject::connect(&f, &TMainForm::SettingEdited, [&] { ++edits; });
    rig.App->LaunchTimerTimer();
    ASSERT_TRUE(rig.Settle());
    EXPECT_EQ(edits, 0);
    EXPECT_TRUE(splashDuring);
    EXPECT_TRUE(disabledDuring);
    EXPECT_FALSE(refreshMenuDuring);

    // The line: exactly the expected queries, nothing else.
    EXPECT_EQ(rig.Received(), expectedQueries(m));

    // The snapshot, line by line, the time stamp by pattern.
    ASSERT_FALSE(s.SettingsList.isEmpty());
    EXPECT_TRUE(QRegularExpression(R"(^// [^,]+,\d\d:\d\d:\d\d$)").match(s.SettingsList.first()).hasMatch())
        << s.SettingsList.first().toStdString();
    EXPECT_EQ(s.SettingsList.mid(1), expectedSettings(m));

    // Afterwards: commands flow again, timers run, splash gone, menus back.
    EXPECT_FALSE(rig.App->Queue().CommandsDisabled());
    EXPECT_TRUE(taskTimerAfter);
    EXPECT_TRUE(statusTimerAfter);
    EXPECT_FALSE(rig.App->MessageForm().isVisible());
    EXPECT_TRUE(f.RefreshAction->isEnabled());
    EXPECT_TRUE(f.SaveToFileAction->isEnabled());
    EXPECT_EQ(rig.App->Queue().TaskCount(), 0);

    // Identity and variant.
    EXPECT_EQ(f.windowTitle(),
              QStringLiteral("Jentrix Model %1  SW Version: " JT6400_VERSION " ComPort: 3").arg(m.Model));
    EXPECT_EQ(f.SerialNumberLbl->text(), "Serial Number: 1234");
    EXPECT_EQ(f.FWVersionLbl->text(), "Firmware Ver: 2.1.0");
    EXPECT_EQ(f.FPGAVersionLbl->text(), "FPGA Ver: 3.0.7");
    EXPECT_EQ(s.ChannelCount, m.Channels);
    EXPECT_DOUBLE_EQ(s.TimingResolution, m.High ? 4e-9 : m.Plus ? 5e-9 : 1e-8);
    EXPECT_EQ(f.GreenBanner->isVisible(), m.High);
    EXPECT_EQ(f.BlueBanner->isVisible(), !m.High);
    EXPECT_EQ(f.FeatureLabel->isVisible(), m.Plus || m.High);
    if (m.Plus || m.High) {
        EXPECT_EQ(f.FeatureLabel->text(), m.High ? "Verdalis High Resolution 6420" : "Plus Option");
    }
    EXPECT_EQ(f.SystemPageControl->tabText(1), m.High ? "Enhanced Options" : "Plus Options");
    EXPECT_EQ(f.PlusOptionGrp->title(), m.High ? "Enhanced Options" : "Plus Options");
    EXPECT_EQ(f.SystemResolutionLbl->text(), m.High ? "System Resolution: 4ns" : "System Resolution: 5 ns");
    EXPECT_EQ(f.PlusOptionMemo->isHidden(), m.Plus || m.High);
    EXPECT_EQ(f.PlusOptionGrp->isHidden(), !(m.Plus || m.High));
    EXPECT_EQ(f.PlusOptionGrp->isEnabled(), m.Plus || m.High);
    if (!(m.Plus || m.High)) {
        EXPECT_EQ(f.PlusOptionMemo->geometry().x(), 0);
        EXPECT_EQ(f.PlusOptionMemo->size(), QSize(607, 202));
        EXPECT_FALSE(f.ShotCountEnbl->isEnabled());
        EXPECT_FALSE(f.PeriodCountAdj->isEnabled());
    }
    EXPECT_DOUBLE_EQ(f.PeriodAdj->MinValue(), m.High ? 4e-8 : m.Plus ? 5e-8 : 2e-7);
    EXPECT_EQ(f.ChannelControls.ChDelayAdj[1]->Decimals(), m.High ? 12 : m.Plus ? 9 : 8);
    EXPECT_EQ(f.SystemPageControl->currentIndex(), 0);
    EXPECT_EQ(f.ChPageControl->currentIndex(), 0);

    // System records and controls.
    const TSystemSettings& sys = s.SystemSettings;
    EXPECT_DOUBLE_EQ(sys.Period, 0.002);
    EXPECT_EQ(sys.BurstCount, 4000000000u);
    EXPECT_EQ(sys.SystemMode, TSystemMode::Burst);
    EXPECT_EQ(sys.DutyOnCount, 7u);
    EXPECT_EQ(sys.DutyOffCount, 9u);
    EXPECT_EQ(sys.ExtMode, TExtMode::Triggered);
    EXPECT_DOUBLE_EQ(sys.TriggerLevel, 1.25);
    EXPECT_EQ(sys.TriggerEdge, TTriggerEdge::Falling);
    EXPECT_EQ(sys.GatePolarity, TGatePolarity::High);
    EXPECT_EQ(sys.AutoStart, 1);
    EXPECT_DOUBLE_EQ(f.PeriodAdj->Value(), 0.002);
    EXPECT_EQ(f.SysBurstAdj->Value(), 4000000000.0);
    EXPECT_EQ(f.SystemModeSel->currentIndex(), 2);
    EXPECT_EQ(f.SysDutyOffAdj->Value(), 9);
    EXPECT_EQ(f.ExtModeSel->currentIndex(), 1);
    EXPECT_EQ(f.ExtModeSel->count(), m.Plus || m.High ? 4 : 3);
    EXPECT_DOUBLE_EQ(f.TrigThresholdAdj->Value(), 1.25);
    EXPECT_EQ(f.TriggerEdgeSel->currentIndex(), 0);
    EXPECT_EQ(f.GatePolaritySel->currentIndex(), 1);
    EXPECT_TRUE(f.AutoStartEnbl->isChecked());
    // Burst mode and triggered: burst count and edge editable, duty cycle and
    // gate polarity greyed.
    EXPECT_TRUE(f.SysBurstAdj->Enabled());
    EXPECT_FALSE(f.SysDutyOnAdj->Enabled());
    EXPECT_TRUE(f.TriggerEdgeSel->isEnabled());
    EXPECT_FALSE(f.GatePolaritySel->isEnabled());
    EXPECT_TRUE(f.PeriodAdj->Enabled());

    if (m.Plus || m.High) {
        EXPECT_EQ(sys.PeriodCounterEnabled, 1);
        EXPECT_EQ(sys.ShotCountSource, 2);
        EXPECT_EQ(sys.CycleCount, 12);
        EXPECT_TRUE(f.PeriodCounterEn->isChecked());
        EXPECT_TRUE(f.PeriodCounterAutoEn->isChecked());
        EXPECT_EQ(f.PeriodCountAdj->Value(), 4);
        EXPECT_TRUE(f.ShotCountEnbl->isChecked());
        EXPECT_EQ(f.ShotCountSel->currentText(), "ChB");
        EXPECT_TRUE(f.SynchEnable->isChecked());
        EXPECT_TRUE(f.SynchUpdateBtn->isEnabled());
        EXPECT_EQ(f.CycleCountAdj->Value(), 12);
    }
    EXPECT_EQ(f.PeriodCountLbl->text(), "P: ----");
    EXPECT_EQ(f.ShotCountLbl->text(), "Count: ----");

    // Channels.
    EXPECT_TRUE(s.MuxGateSupported);
    const TChannelControls& c = f.ChannelControls;
    for (int n = 1; n <= m.Channels; ++n) {
        SCOPED_TRACE(n);
        const TChannelSettings& r = s.ChannelSettings[n];
        EXPECT_EQ(r.Enabled, n % 2);
        EXPECT_EQ(c.ChEnableBox[n]->isChecked(), n % 2 == 1);
        EXPECT_DOUBLE_EQ(r.Delay, n * 1e-7);
        EXPECT_DOUBLE_EQ(c.ChDelayAdj[n]->Value(), n * 1e-7);
        EXPECT_DOUBLE_EQ(c.ChWidthAdj[n]->Value(), n * 1e-6);
        EXPECT_EQ(c.ChModeSel[n]->currentIndex(), n % 4);
        EXPECT_EQ(c.ChBurstAdj[n]->Value(), 10 + n);
        EXPECT_EQ(c.ChDutyOnAdj[n]->Value(), 20 + n);
        EXPECT_EQ(c.ChDutyOffAdj[n]->Value(), 30 + n);
        EXPECT_EQ(c.ChWaitCountAdj[n]->Value(), n);
        EXPECT_EQ(c.ChPolaritySel[n]->currentIndex(), n % 2);
        EXPECT_EQ(c.ChGateModeSel[n]->currentIndex(), n % 3);
        EXPECT_EQ(c.ChGateModeSel[n]->count(), m.Plus || m.High ? 5 : 3);
        EXPECT_EQ(c.ChBurstAdj[n]->Enabled(), n % 4 == 2);
        EXPECT_EQ(c.ChDutyOffGrp[n]->isEnabled(), n % 4 == 3);

        // Sync list: T0 and every other channel in use.
        QStringList sync{"T0"};
        for (int k = 1; k <= m.Channels; ++k)
            if (k != n)
                sync << QStringLiteral("Ch ") + letter(k);
        EXPECT_EQ(items(c.ChSyncSourceSel[n]), sync);
        EXPECT_EQ(r.SyncSource, syncOf(n));
        EXPECT_EQ(c.ChSyncSourceSel[n]->currentText(), syncOf(n) == 0 ? "T0" : "Ch " + letter(syncOf(n)));

        // Multiplexer list: one item per channel in use, columns by count.
        QListWidget* mux = c.ChMuxSel[n];
        ASSERT_EQ(mux->count(), m.Channels);
        EXPECT_EQ(mux->height(), m.Channels == 8 ? 40 : 20);
        EXPECT_EQ(mux->property("Columns").toInt(), m.Channels == 2 ? 2 : 4);
        for (int k = 0; k < m.Channels; ++k)
            EXPECT_EQ(mux->item(k)->text(), letter(k + 1));
        if (n <= m.Standard) {
            for (int k = 0; k < m.Channels; ++k)
                EXPECT_EQ(mux->item(k)->checkState() == Qt::Checked, ((muxOf(m, n) >> k) & 1) == 1) << k;
            EXPECT_DOUBLE_EQ(r.Amplitude, 3.5 + n * 0.1);
            EXPECT_DOUBLE_EQ(c.ChAmplitudeAdj[n]->Value(), 3.5 + n * 0.1);
            EXPECT_EQ(c.ChMuxGateSel[n]->currentIndex(), n % 4);
            EXPECT_FALSE(c.ChMuxGateGrp[n]->isHidden());
        } else {
            EXPECT_EQ(r.Amplitude, 0);
            EXPECT_EQ(r.MuxMask, 0);
        }
    }
    // Multiplexer items are laid out in the columns the list claims.
    QListWidget* mux1 = c.ChMuxSel[1];
    f.ChPageControl->setCurrentIndex(0);
    mux1->doItemsLayout();
    const QRect a = mux1->visualItemRect(mux1->item(0));
    const QRect b = mux1->visualItemRect(mux1->item(1));
    EXPECT_EQ(a.top(), b.top());
    EXPECT_GT(b.left(), a.left());
    if (m.Channels == 8) {
        EXPECT_GT(mux1->visualItemRect(mux1->item(4)).top(), a.top());
        EXPECT_EQ(mux1->visualItemRect(mux1->item(4)).left(), a.left());
    }
    for (int n = m.Channels + 1; n <= 8; ++n)
        EXPECT_EQ(s.ChannelSettings[n], TChannelSettings{}) << n;

    // Pages.
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        const bool shown = i < m.Captions.size();
        EXPECT_EQ(f.ChPageControl->isTabVisible(i), shown);
        EXPECT_EQ(f.ChPageControl->isTabEnabled(i), shown);
        if (shown) {
            EXPECT_EQ(f.ChPageControl->tabText(i), m.Captions[i]);
        }
        const int n = i + 1;
        if (shown && n > m.Standard) {
            for (const char* g : {"ChAmplitudeAdjGrp", "ChPolarityGrp", "ChMuxGrp", "ChMuxGateGrp"})
                EXPECT_TRUE(f.findChild<QGroupBox*>(g + QString::number(n))->isHidden()) << g;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Models, ReadBackPerModel, ::testing::ValuesIn(kModels), [](const auto& info) {
    std::string name = info.param.Model;
    for (char& ch : name)
        if (ch == '+')
            ch = 'P';
    return "Model" + name;
});

}  // namespace
