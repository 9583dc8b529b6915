#include "ReadBack.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>

#include "App.h"
#include "Capabilities.h"
#include "Communication.h"
#include "Enabling.h"
#include "JT6400.h"
#include "JTComPort.h"
#include "MessageInfo.h"
#include "ProgramState.h"
#include "Settings.h"
#include "SettingsLines.h"
#include "TaskQueue.h"
#include "plussped.h"

// Item indexes are set with setCurrentIndex, which runs none of the user's
// change handlers (they follow activated); check boxes run theirs, and the
// handlers drop their commands while CommandsDisabled is set.
namespace {

QString puls(int n, const char* suffix)
{
    return QStringLiteral(":PULS") + QString::number(n) + QLatin1String(suffix);
}

}  // namespace

TSyncSelection SyncSelection(const QStringList& items, const QString& answer, int previous)
{
    TSyncSelection s;
    const int number = GetChannelNumber(answer);
    s.SyncSource = number == kNoChannel ? previous : number;
    s.ItemIndex = GetChannelIndex(items, s.SyncSource);
    if (s.ItemIndex < 0)
        s.EditText = GetChSyncName(s.SyncSource);
    return s;
}

TReadBack::TReadBack(TJT6400App& app)
    : FApp(app),
      FState(app.State()),
      FForm(app.Form()),
      FComm(app.Comm()),
      FQueue(app.Queue()),
      FSplash(app.MessageForm())
{
    FApp.Initialize = [this] { Initialize(); };
    connect(FForm.Up1, &QAction::triggered, this, &TReadBack::Up1Click);
}

TReadBack::~TReadBack()
{
    FApp.Initialize = nullptr;
}

QString TReadBack::FileVersionText()
{
    return QStringLiteral(JT6400_VERSION);
}

void TReadBack::Up1Click()
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
    QList<QAction*> actions{FForm.Up1, FForm.SaveToFile1, FForm.RestoreSettingsFromFile1};
    for (QAction* a : FForm.SaveToBin)
        if (a)
            actions << a;
    for (QAction* a : FForm.RestoreFromBin)
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
        return true;
    }

    FRunning = true;
    QList<QPair<QAction*, bool>> greyed;
    for (QAction* a : GuardedActions()) {
        greyed.append({a, a->isEnabled()});
        a->setEnabled(false);
    }
    struct Restore {
        TReadBack& rb;
        QList<QPair<QAction*, bool>>& greyed;
        ~Restore()
        {
            for (const auto& [action, enabled] : greyed)
                action->setEnabled(enabled);
            rb.FRunning = false;
        }
    } restore{*this, greyed};

    try {
        NormalReadBack();
    } catch (const TAborted&) {
        // The program is ending (communications lost, exit or restart): no
        // further query, no timer restarted.
        FState.CommandsDisabled = false;
        FSplash.hide();
    }
    return true;
}

void TReadBack::CheckEnding()
{
    if (FState.Terminating)
        throw TAborted{};
    // "Ignore" to a lost answer restarts the status poll; it stays off until
    // the read-back is done.
    FForm.StatusTimer->stop();
}

QString TReadBack::Text(const QString& command)
{
    const QString answer = FComm.QueryDevice(command);
    CheckEnding();
    return answer;
}

std::int32_t TReadBack::Int(const QString& command)
{
    const std::int32_t v = FComm.QueryInteger(command);
    CheckEnding();
    return v;
}

double TReadBack::Float(const QString& command)
{
    const double v = FComm.QueryFloat(command);
    CheckEnding();
    return v;
}

std::uint32_t TReadBack::UInt64Low(const QString& command)
{
    const std::int64_t v = FComm.QueryInt64(command);
    CheckEnding();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(v));
}

void TReadBack::Append(const QString& line)
{
    FState.SettingsList.append(line);
}

void TReadBack::DemoReadBack()
{
    FState.SettingsList.clear();
    Append(SettingsTimeStampLine(QDateTime::currentDateTime()));
    FState.ErrorCode = 0;
    FForm.ErrorLabel->hide();
    FForm.PCountlbl->setText(QStringLiteral("P: ----"));
    FForm.ShotCountlbl->setText(QStringLiteral("Count: ----"));
    FForm.StatusTimer->stop();
    FForm.setWindowTitle(QStringLiteral(" Model 6404+  SW Version: ") + FileVersionText() +
                         QStringLiteral(" ComPort: Demo"));
    FForm.SerialNumberlbl->setText(QStringLiteral("Serial Number: 1234"));
    FForm.FWVersionlbl->setText(QStringLiteral("Firmware Ver: 1.00"));
    FForm.FPGAVersionlbl->setText(QStringLiteral("FPGA Ver: 1.25"));
    FState.PlusOption = true;
}

void TReadBack::NormalReadBack()
{
    // 1-2. A fresh snapshot; status displays cleared.
    FState.SettingsList.clear();
    Append(SettingsTimeStampLine(QDateTime::currentDateTime()));
    // A reported error is forgotten: the status poll asks for errors again.
    FState.ErrorCode = 0;
    FForm.ErrorLabel->hide();
    FForm.PCountlbl->setText(QStringLiteral("P: ----"));
    FForm.ShotCountlbl->setText(QStringLiteral("Count: ----"));

    // 3. Nothing else reaches the line meanwhile; handlers drop their commands.
    FForm.StatusTimer->stop();
    FForm.TaskTimer->stop();
    FState.CommandsDisabled = true;

    // 4. The splash form for the long cases, painted before the first query.
    const bool splash = FState.RecallRequested != 0 || FState.RefreshRequested != 0;
    if (splash)
        FSplash.ShowNow();
    QCoreApplication::processEvents();
    CheckEnding();

    SetIdentity();  // 5.

    // 6.
    FState.SystemSettings.ShotCountEnabled = 0;
    FState.SystemSettings.PeriodCounterEnabled = 0;
    FForm.BlueBanner->show();
    FForm.GreenBanner->hide();

    FState.ChannelCount = ChannelCountOf(FState.DeviceIdentity.Model);  // 7.
    SetVariant();                                                       // 8.
    if (FState.PlusOption || FState.HighResolution)
        ReadPlusFeatures();

    FForm.SetResolution(FState);  // 9.
    FForm.SetRanges(FState);

    ReadSystemSettings();  // 10.
    ProbeMuxGate();        // 11.
    for (int n = 1; n <= std::min(FState.ChannelCount, kMaxChannel); ++n)  // 12.
        ReadChannel(n);
    SetChannelPages();  // 13.

    FForm.SetResolution(FState);  // 14.
    FForm.SetRanges(FState);

    FState.CommandsDisabled = false;  // 15.

    // 16.
    SetControlEnabled(FForm.PeriodAdj, true);
    FForm.ChPageControl->setCurrentIndex(0);
    FForm.SystemPageControl->setCurrentIndex(0);

    // 17. The only commands a read-back can cause; they go out afterwards
    // through the queue.
    SystemModesEnable();
    TriggerModesEnable();

    // 18-19.
    FForm.StatusTimer->start();
    FForm.TaskTimer->start();
    if (splash)
        FSplash.hide();
}

void TReadBack::SetIdentity()
{
    const TDeviceIdentity& id = FState.DeviceIdentity;
    FForm.setWindowTitle(ManufacturerName(id) + QStringLiteral(" Model ") + id.Model +
                         QStringLiteral("  SW Version: ") + FileVersionText() + QStringLiteral(" ComPort: ") +
                         QString::number(FForm.ComPort->Port()));
    FForm.SerialNumberlbl->setText(QStringLiteral("Serial Number: ") + QString::number(id.SerialNumber));
    FForm.FWVersionlbl->setText(QStringLiteral("Firmware Ver: ") + id.FirmwareVersion);
    FForm.FPGAVersionlbl->setText(QStringLiteral("FPGA Ver: ") + id.FpgaVersion);
    for (const QString& text : {FForm.windowTitle(), FForm.SerialNumberlbl->text(), FForm.FWVersionlbl->text(),
                                FForm.FPGAVersionlbl->text()})
        Append(SettingsCommentLine(text));
}

void TReadBack::SetVariant()
{
    QGroupBox* plusGroup = FForm.PlusOptionGrp;
    if (FState.PlusOption || FState.HighResolution) {
        FState.TimingResolution = 5e-9;
        SetControlEnabled(plusGroup, true);
        plusGroup->show();
        EnabledAsParent(plusGroup);
        FForm.PlusOptionMemo->hide();
        FForm.FeatureLabel->show();
        if (FState.PlusOption) {
            FForm.FeatureLabel->SetCaption(QStringLiteral("Plus Option"));
        } else {
            FState.TimingResolution = 4e-9;
            FForm.BlueBanner->hide();
            FForm.GreenBanner->show();
            FForm.FeatureLabel->SetCaption(QStringLiteral("Verdalis High Resolution 6420"));
            const QString enhanced = QStringLiteral("Enhanced Options");
            FForm.SystemPageControl->setTabText(FForm.SystemPageControl->indexOf(FForm.PlusPage), enhanced);
            plusGroup->setTitle(enhanced);
            FForm.SystemResolutionlbl->setText(QStringLiteral("System Resolution: 4ns"));
        }
    } else {
        QTextEdit* memo = FForm.PlusOptionMemo;
        memo->move(0, memo->y());
        memo->show();
        plusGroup->hide();
        SetControlEnabled(plusGroup, false);
        EnabledAsParent(plusGroup);
        FForm.FeatureLabel->hide();
        FState.TimingResolution = 1e-8;
    }
}

void TReadBack::ReadPlusFeatures()
{
    TSystemSettings& s = FState.SystemSettings;
    TMainForm& f = FForm;

    // P1
    QString q = QStringLiteral(":PULS0:EXTP:STAT");
    s.PeriodCounterEnabled = Int(q);
    Append(SettingsIntLine(q, s.PeriodCounterEnabled));
    f.PeriodCounterEn->setChecked(s.PeriodCounterEnabled == 1);
    SetControlEnabled(f.PeriodCounterEn, true);
    // P2
    q = QStringLiteral(":PULS0:EXTP:AUT");
    s.PeriodAutoUpdate = Int(q);
    Append(SettingsIntLine(q, s.PeriodAutoUpdate));
    f.PCAutoEn->setChecked(s.PeriodAutoUpdate == 1);
    SetControlEnabled(f.PCAutoEn, true);
    // P3
    q = QStringLiteral(":PULS0:EXTP:NCOU");
    s.PeriodsToAverage = Int(q);
    Append(SettingsIntLine(q, s.PeriodsToAverage));
    f.PCountadj->setValue(s.PeriodsToAverage);
    SetControlEnabled(f.PCountadj, true);
    // P4
    q = QStringLiteral(":PULS0:COUN:STAT");
    s.ShotCountEnabled = Int(q);
    Append(SettingsIntLine(q, s.ShotCountEnabled));
    f.ShotCountEnbl->setChecked(s.ShotCountEnabled == 1);
    // P5
    q = QStringLiteral(":PULS0:COUN:SOUR");
    const QString source = Text(q);
    ApplyKeyword(TKeywordTable::ktShotCountSource, source, s.ShotCountSource);
    Append(SettingsAnswerLine(q, source));
    f.ShotCountSel->setCurrentIndex(s.ShotCountSource);
    SetControlEnabled(f.ShotCountSel, true);
    // P6
    q = QStringLiteral(":SYST:UPD:AUTO");
    s.SyncUpdateAuto = Int(q);
    Append(SettingsIntLine(q, s.SyncUpdateAuto));
    SetControlEnabled(f.SynchUpdatebtn, s.SyncUpdateAuto == 0);
    f.SynchEnable->setChecked(s.SyncUpdateAuto == 0);
    // P7
    q = QStringLiteral(":PULS0:CCO");
    s.CycleCount = Int(q);
    Append(SettingsIntLine(q, s.CycleCount));
    f.CycleCountAdj->setValue(s.CycleCount);
}

void TReadBack::ReadSystemSettings()
{
    TSystemSettings& s = FState.SystemSettings;
    TMainForm& f = FForm;

    auto keyword = [&](const char* query, TKeywordTable table, std::int32_t& field) {
        const QString q = QLatin1String(query);
        const QString answer = Text(q);
        ApplyKeyword(table, answer, field);
        Append(SettingsAnswerLine(q, answer));
    };
    auto count = [&](const char* query, std::uint32_t& field, TPlusSpinEdit* control) {
        const QString q = QLatin1String(query);
        field = UInt64Low(q);
        Append(SettingsUIntLine(q, field));
        control->setValue(static_cast<double>(field));
    };

    // S1
    QString q = QStringLiteral(":PULS0:PER");
    s.Period = Float(q);
    Append(SettingsRealLine(q, s.Period));
    f.PeriodAdj->setValue(s.Period);
    // S2 to S5
    count(":PULS0:BCO", s.BurstCount, f.SysBurstAdj);
    keyword(":PULS0:MOD", TKeywordTable::ktSystemMode, s.SystemMode);
    f.SystemModeSel->setCurrentIndex(s.SystemMode);
    count(":PULS0:PCO", s.DutyOnCount, f.SysDutyOnAdj);
    count(":PULS0:OCO", s.DutyOffCount, f.SysDutyOffAdj);
    // S6: the re-arm mode exists on Plus and high-resolution generators only.
    keyword(":PULS0:EXT:MODE", TKeywordTable::ktExtMode, s.ExtMode);
    if ((FState.PlusOption || FState.HighResolution) && f.ExtModeSel->count() <= 3)
        f.ExtModeSel->addItem(QStringLiteral("ReArm"));
    f.ExtModeSel->setCurrentIndex(s.ExtMode);
    // S7
    q = QStringLiteral(":PULS0:EXT:LEV");
    s.TriggerLevel = Float(q);
    Append(SettingsRealLine(q, s.TriggerLevel));
    f.TrigThresholdAdj->setValue(s.TriggerLevel);
    // S8, S9
    keyword(":PULS0:EXT:EDG", TKeywordTable::ktTriggerEdge, s.TriggerEdge);
    f.TriggerEdgeSel->setCurrentIndex(s.TriggerEdge);
    keyword(":PULS0:EXT:POL", TKeywordTable::ktGatePolarity, s.GatePolarity);
    f.GatePolaritySel->setCurrentIndex(s.GatePolarity);
    // S10
    q = QStringLiteral(":SYST:AUT");
    s.AutoStart = Int(q);
    Append(SettingsIntLine(q, s.AutoStart));
    f.AutoStartEnbl->setChecked(s.AutoStart == 1);
}

void TReadBack::ProbeMuxGate()
{
    FState.MuxGateSupported = true;
    if (Text(QStringLiteral(":PULS1:MUXG")).contains(QLatin1Char('?')))
        FState.MuxGateSupported = false;
}

void TReadBack::ReadChannel(int n)
{
    TChannelSettings& r = FState.ChannelSettings[n];
    const TChannelControls& c = FForm.ChannelControls;
    const int channels = FState.ChannelCount;

    auto integer = [&](const char* suffix, std::int32_t& field) {
        const QString q = puls(n, suffix);
        field = Int(q);
        Append(SettingsIntLine(q, field));
    };
    auto real = [&](const char* suffix, double& field) {
        const QString q = puls(n, suffix);
        field = Float(q);
        Append(SettingsRealLine(q, field));
    };
    auto keyword = [&](const char* suffix, TKeywordTable table, std::int32_t& field) {
        const QString q = puls(n, suffix);
        const QString answer = Text(q);
        ApplyKeyword(table, answer, field);
        Append(SettingsAnswerLine(q, answer));
    };

    integer(":STAT", r.Enabled);  // 1
    c.ChEnablebox[n]->setChecked(r.Enabled == 1);
    real(":DEL", r.Delay);  // 2
    c.ChDelayAdj[n]->setValue(r.Delay);
    real(":WIDT", r.Width);  // 3
    c.ChWidthAdj[n]->setValue(r.Width);
    keyword(":CMOD", TKeywordTable::ktChannelMode, r.Mode);  // 4
    c.ChModeSel[n]->setCurrentIndex(r.Mode);
    integer(":BCO", r.BurstCount);  // 5
    c.ChBurstAdj[n]->setValue(r.BurstCount);
    integer(":PCO", r.DutyOnCount);  // 6
    c.ChDutyOnAdj[n]->setValue(r.DutyOnCount);
    integer(":OCO", r.DutyOffCount);  // 7
    c.ChDutyOffAdj[n]->setValue(r.DutyOffCount);

    // 8. The sync list offers T0 and the other channels in use, never the
    // channel itself; trimmed once, on the first read-back.
    QComboBox* sync = c.ChSyncSourceSel[n];
    if (sync->count() > channels) {
        for (int i = sync->count() - 1; i >= channels + 1; --i)
            sync->removeItem(i);
        sync->removeItem(n);
    }
    // 9
    {
        const QString q = puls(n, ":SYNC");
        const QString answer = Text(q);
        QStringList items;
        for (int i = 0; i < sync->count(); ++i)
            items << sync->itemText(i);
        const TSyncSelection s = SyncSelection(items, answer, r.SyncSource);
        r.SyncSource = s.SyncSource;
        Append(SettingsAnswerLine(q, answer));
        sync->setCurrentIndex(s.ItemIndex);
        if (s.ItemIndex < 0)
            sync->setEditText(s.EditText);
    }
    keyword(":POL", TKeywordTable::ktChannelPolarity, r.Polarity);  // 10
    c.ChPolaritySel[n]->setCurrentIndex(r.Polarity);
    integer(":WCO", r.WaitCount);  // 11
    c.ChWaitCountAdj[n]->setValue(r.WaitCount);
    // 12
    keyword(":CGAT", TKeywordTable::ktChannelGateMode, r.GateMode);
    QComboBox* gate = c.ChGateModeSel[n];
    if ((FState.PlusOption || FState.HighResolution) && gate->count() < 4)
        gate->addItems({QStringLiteral("ActiveLoWR"), QStringLiteral("ActiveHiWR")});
    gate->setCurrentIndex(r.GateMode);

    // 13. Output stage, multiplexer and mux gate of a standard channel.
    if (n <= FState.StandardChannelCount()) {
        real(":OUTP:AMPL", r.Amplitude);
        c.ChAmplitudeAdj[n]->setValue(r.Amplitude);
        integer(":MUX", r.MuxMask);
        if (FState.MuxGateSupported) {
            integer(":MUXG", r.MuxGate);
            c.ChMuxGateSel[n]->setCurrentIndex(r.MuxGate);
            c.ChMuxGateGrp[n]->show();
        } else {
            c.ChMuxGateGrp[n]->hide();
        }
    }

    LayOutMuxList(n);  // 14
    ChModesEnable(n);  // 15
}

void TReadBack::LayOutMuxList(int n)
{
    QListWidget* list = FForm.ChannelControls.ChMuxSel[n];
    const int channels = FState.ChannelCount;
    // Ticks set here are the program's, not the user's: no handler runs.
    const QSignalBlocker block(list);

    const int columns = channels == 2 ? 2 : 4;
    const int height = channels == 2 || channels == 4 ? 20 : 40;
    list->resize(list->width(), height);
    const int inner = list->width() - 2 * list->frameWidth();
    list->setGridSize(QSize(inner / columns, list->gridSize().height()));
    list->setProperty("Columns", columns);

    int ticked = 2;
    if (channels > 2)
        ticked = 4;
    if (channels > 4)
        ticked = 8;
    const int mask = FState.ChannelSettings[n].MuxMask;
    for (int k = 0; k < ticked && k < list->count(); ++k)
        list->item(k)->setCheckState((mask >> k) & 1 ? Qt::Checked : Qt::Unchecked);

    for (int i = list->count() - 1; i >= channels; --i)
        delete list->takeItem(i);
}

void TReadBack::SetChannelPages()
{
    QTabWidget* pages = FForm.ChPageControl;
    const QString& model = FState.DeviceIdentity.Model;
    auto showPage = [&](int index, bool on) {
        pages->setTabEnabled(index, on);
        pages->setTabVisible(index, on);
    };
    auto hideVirtualGroups = [&](int n) {
        for (const char* base : {"ChAmplitudeAdjGrp", "ChPolarityGrp", "ChMuxGrp", "ChMuxGateGrp"})
            if (auto* g = FForm.findChild<QGroupBox*>(QLatin1String(base) + QString::number(n)))
                g->hide();
    };

    for (int index = 2; index <= 7; ++index)
        showPage(index, false);
    if (model == QLatin1String("6402+") || model == QLatin1String("6422")) {
        for (int n : {3, 4}) {
            showPage(n - 1, true);
            pages->setTabText(n - 1, VirtualPageCaption(model, n));
            hideVirtualGroups(n);
        }
    }
    if (model == QLatin1String("6404") || model == QLatin1String("6404+") || model == QLatin1String("6422") ||
        model == QLatin1String("6424")) {
        showPage(2, true);
        showPage(3, true);
        if (model == QLatin1String("6404+") || model == QLatin1String("6424")) {
            for (int n = 5; n <= 8; ++n) {
                showPage(n - 1, true);
                pages->setTabText(n - 1, VirtualPageCaption(model, n));
                hideVirtualGroups(n);
            }
        }
    }
}
