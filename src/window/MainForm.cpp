#include "window/MainForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMovie>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTextEdit>

#include <stdexcept>

#include "model/SettingTable.h"
#include "window/CommandTerminal.h"
#include "window/MainFormDesign.h"
#include "widgets/PlusSpinEdit.h"
#include "widgets/WheelGuard.h"

using jt::design::TSpinDesign;

namespace {

constexpr int kClientWidth = 622;
constexpr int kClientHeight = 710;
constexpr int kPulseLeft = 452;            // the running-pulse picture in the banner
constexpr QPoint kDesignedPlace(600, 42);  // the window's top-left corner on the screen

// A control of kind T with caption Caption, named and placed as designed.
template <typename T>
T* Placed(QWidget* parent, const QString& name, const QString& caption, QRect geometry, const char* hint = "")
{
    auto* control = new T(caption, parent);
    control->setObjectName(name);
    control->setGeometry(geometry);
    if (*hint)
        control->setToolTip(hint);
    return control;
}

QGroupBox* Group(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    return Placed<QGroupBox>(parent, name, caption, geometry);
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, QRect geometry)
{
    return Placed<QLabel>(parent, name, text, geometry);
}

QCheckBox* CheckBox(QWidget* parent, const QString& name, const QString& caption, QRect geometry, const char* hint = "")
{
    return Placed<QCheckBox>(parent, name, caption, geometry, hint);
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption, QRect geometry, const char* hint = "")
{
    return Placed<QPushButton>(parent, name, caption, geometry, hint);
}

// Every combo box of the window is an editable drop-down: an item can be picked
// or any text typed, and no item may be selected (index -1).
QComboBox* ComboBox(QWidget* parent, const QString& name, const QStringList& items, int index, QRect geometry,
                    const char* hint = "")
{
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->addItems(items);
    c->setCurrentIndex(index);
    if (index < 0)
        c->setEditText(QString());
    c->setGeometry(geometry);
    c->setToolTip(hint);
    return c;
}

// Design values go in the order the control expects them, before any change
// handler is attached, so building the window runs no handler.
TPlusSpinEdit* SpinEdit(QWidget* parent, const QString& name, QRect geometry, const TSpinDesign& d)
{
    auto* s = new TPlusSpinEdit(parent);
    s->setObjectName(name);
    s->setGeometry(geometry);
    s->setAutoSize(d.AutoSize);
    s->setBorderStyle(d.Border ? TSpinBorderStyle::bsSingle : TSpinBorderStyle::bsNone);
    s->setDecimals(d.Decimals);
    s->setIncrement(d.Increment);
    s->setMaxValue(d.MaxValue);
    s->setMinValue(d.MinValue);
    if (d.Value)
        s->setValue(*d.Value);
    s->setThousandSeparator(d.Separator ? QChar(',') : QChar());
    s->setToolTip(d.Hint);
    return s;
}

using TNameIndex = QHash<QString, QObject*>;

template <typename T>
void LookUp(const TNameIndex& names, const char* pattern, TChannelControls::PerChannel<T>& table)
{
    for (int n = 1; n <= 8; ++n) {
        const QString name = QString::fromLatin1(pattern) + QString::number(n);
        QObject* found = names.value(name);
        if (!found) {
            table[n] = nullptr;
            continue;
        }
        T* typed = qobject_cast<T*>(found);
        if (!typed)
            throw std::logic_error("Invalid class typecast: " + name.toStdString() + " is a " +
                                   found->metaObject()->className());
        table[n] = typed;
    }
}

}  // namespace

TChannelControls FindChannelControls(const QWidget& window)
{
    // One walk over the window's objects instead of one per name.
    TNameIndex names;
    for (QObject* o : window.findChildren<QObject*>())
        if (!o->objectName().isEmpty() && !names.contains(o->objectName()))
            names.insert(o->objectName(), o);
    TChannelControls c;
    LookUp(names, "ChEnablebox", c.ChEnableBox);
    LookUp(names, "ChDelayAdj", c.ChDelayAdj);
    LookUp(names, "ChWidthAdj", c.ChWidthAdj);
    LookUp(names, "ChModeSel", c.ChModeSel);
    LookUp(names, "ChAmplitudeAdj", c.ChAmplitudeAdj);
    LookUp(names, "ChBurstAdj", c.ChBurstAdj);
    LookUp(names, "ChBurstCountGrp", c.ChBurstCountGrp);
    LookUp(names, "ChWaitCountAdj", c.ChWaitCountAdj);
    LookUp(names, "ChSyncSourceSel", c.ChSyncSourceSel);
    LookUp(names, "ChPolaritySel", c.ChPolaritySel);
    LookUp(names, "ChDutyOnAdj", c.ChDutyOnAdj);
    LookUp(names, "ChDutyOnGrp", c.ChDutyOnGrp);
    LookUp(names, "ChDutyOffAdj", c.ChDutyOffAdj);
    LookUp(names, "ChDutyOffGrp", c.ChDutyOffGrp);
    LookUp(names, "ChGateModeSel", c.ChGateModeSel);
    LookUp(names, "ChMuxSel", c.ChMuxSel);
    LookUp(names, "ChMuxGateSel", c.ChMuxGateSel);
    LookUp(names, "ChMuxGateGrp", c.ChMuxGateGrp);
    return c;
}

// The pictures are compiled into this static library; the resource must be
// registered from outside any namespace.
static void InitArtwork()
{
    Q_INIT_RESOURCE(art);
}

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    InitArtwork();
    setObjectName("MainForm");
    setWindowTitle("6400 Pulse Generator");
    setFont(PanelFont(11));

    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    BuildMenus();
    BuildTopStrip(client);
    BuildSystemArea(client);
    BuildChannelArea(client);
    BuildBottomStrip(client);

    ChannelControls = FindChannelControls(*this);
    ConnectEdits();
    // Selection lists and spin edits change only for the wheel when focused.
    for (QComboBox* list : findChildren<QComboBox*>())
        GuardWheel(list);
    for (TPlusSpinEdit* edit : findChildren<TPlusSpinEdit*>())
        GuardWheel(edit);
    // Single fixed border: the window is exactly the client area plus its menu.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/art/jt6400-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    PlaceOnScreen();
}

void TMainForm::PlaceOnScreen()
{
    ensurePolished();
    layout()->activate();  // the fixed size, menu bar included
    const QScreen* screen = QGuiApplication::screenAt(kDesignedPlace);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    QPoint place = kDesignedPlace;
    if (screen) {
        const QRect area = screen->availableGeometry();
        const QSize size = frameGeometry().size();
        place.setX(std::max(area.left(), std::min(place.x(), area.right() + 1 - size.width())));
        place.setY(std::max(area.top(), std::min(place.y(), area.bottom() + 1 - size.height())));
    }
    move(place);
}

void TMainForm::BuildTopStrip(QWidget* client)
{
    BlueBanner = Label(client, "BlueBanner", {}, {0, 0, 615, 72});
    BlueBanner->setPixmap(QPixmap(":/art/BlueBanner.jpg"));
    GreenBanner = Label(client, "GreenBanner", {}, {0, 0, 615, 72});
    GreenBanner->setPixmap(QPixmap(":/art/GreenBanner.jpg"));
    GreenBanner->setScaledContents(true);

    // The model and error captions share the banner between its lettering
    // and the pulse picture; a caption too long for it is set smaller.
    const int captionWidth = kPulseLeft - 2 - 213;
    FeatureLabel = new TFitLabel("Plus Option", 16, {213, 29, captionWidth, 22}, client);
    FeatureLabel->setObjectName("FeatureLabel");
    FeatureLabel->setStyleSheet("color: white;");
    FeatureLabel->hide();

    ErrorLabel = new TFitLabel("Error Label", 27, {213, -4, captionWidth, 36}, client);
    ErrorLabel->setObjectName("ErrorLabel");
    ErrorLabel->setStyleSheet("color: red;");
    ErrorLabel->hide();

    PulseAnimate = Label(client, "PulseAnimate", {}, {kPulseLeft, 0, 57, 41});
    PulseAnimate->setScaledContents(true);
    PulseMovie = new QMovie(":/art/PulseAnimate.gif", QByteArray(), this);
    PulseMovie->setObjectName("PulseMovie");
    PulseMovie->setScaledSize({57, 41});
    PulseMovie->setSpeed(200);
    PulseAnimate->setMovie(PulseMovie);
    PulseMovie->jumpToFrame(0);

    RunStopBtn = Button(client, "RunStopbtn", "Run", {524, 0, 95, 68}, "Starts(arms) or stops(disarms) the system");
}

void TMainForm::ShowRunning(bool running)
{
    if (running) {
        PulseMovie->start();
        PulseAnimate->show();
        RunStopBtn->setText("Stop");
    } else {
        PulseMovie->stop();
        PulseAnimate->hide();
        RunStopBtn->setText("Run");
    }
}

void TMainForm::BuildSystemArea(QWidget* client)
{
    auto* box = Group(client, "GroupBox23", {}, {0, 70, 619, 241});
    SystemPageControl = new QTabWidget(box);
    SystemPageControl->setObjectName("SystemPageControl");
    SystemPageControl->setDocumentMode(true);
    SystemPageControl->setGeometry(4, 4, 611, 233);

    SystemPage = new QWidget;
    SystemPage->setObjectName("SystemPage");
    SystemPageControl->addTab(SystemPage, "System Options");
    BuildSystemPage(SystemPage);

    PlusPage = new QWidget;
    PlusPage->setObjectName("PlusPage");
    SystemPageControl->addTab(PlusPage, "Plus Options");
    BuildPlusPage(PlusPage);
}

void TMainForm::BuildSystemPage(QWidget* page)
{
    auto* sys = Group(page, "Systemgrp", "System", {2, 2, 605, 200});

    auto* modeGrp = Group(sys, "GroupBox88", "Pulse Mode", {8, 18, 180, 46});
    SystemModeSel =
        ComboBox(modeGrp, "SystemModeSel", Captions(TKeywordTable::ktSystemMode), 0, {8, 17, 164, 22});

    auto* periodGrp = Group(sys, "PeriodGrp", "Period", {8, 66, 180, 46});
    PeriodAdj = SpinEdit(periodGrp, "PeriodAdj", {8, 17, 164, 22},
                         {.Decimals = 9,
                          .Increment = 1e-8,
                          .MaxValue = 1000,
                          .MinValue = 2e-7,
                          .Value = 1000,
                          .Hint = "Sets system pulse period"});

    auto* burstGrp = Group(sys, "BurstCountGrp", "Burst Count", {8, 114, 180, 46});
    SysBurstAdj = SpinEdit(burstGrp, "SysBurstAdj", {8, 17, 164, 22},
                           {.MaxValue = 4000000000.0,
                            .MinValue = 1,
                            .Value = 4000000000.0,
                            .Hint = "Sets number of burst counts when in system burst mode"});

    AutoStartEnbl = CheckBox(sys, "AutoStartEnbl", "Auto Start", {14, 168, 160, 20},
                             "Sets system auto start (will start on power up)");

    auto* dutyGrp =
        Group(sys, "DutyCycleGrp", CaptionOf(TKeywordTable::ktSystemMode, TSystemMode::DutyCycle), {196, 18, 170, 110});
    auto* onGrp = Group(dutyGrp, "OnCountGrp", "On Counts", {6, 17, 158, 44});
    SysDutyOnAdj = SpinEdit(
        onGrp, "SysDutyOnAdj", {6, 16, 146, 22},
        {.MaxValue = 4000000000.0, .MinValue = 1, .Hint = "Sets number of on counts when in system duty cycle mode"});
    auto* offGrp = Group(dutyGrp, "OffCountGrp", "Off Counts", {6, 62, 158, 44});
    SysDutyOffAdj = SpinEdit(
        offGrp, "SysDutyOffAdj", {6, 16, 146, 22},
        {.MaxValue = 4000000000.0, .MinValue = 1, .Hint = "Sets number of off counts when in system duty cycle mode"});

    auto* ext = Group(sys, "Externalgrp", "External Trigger/Gate", {374, 18, 224, 110});
    auto* extMode = Group(ext, "GroupBox105", "Mode", {6, 17, 104, 44});
    // The Plus features' items are added when a generator that has them is read.
    ExtModeSel = ComboBox(extMode, "ExtModeSel", Captions(TKeywordTable::ktExtMode, false), 0, {6, 16, 92, 22});
    auto* thr = Group(ext, "ExtThresholdGrp", "Threshold (V)", {114, 17, 104, 44});
    TrigThresholdAdj = SpinEdit(thr, "TrigThresholdAdj", {6, 16, 92, 22},
                                {.Decimals = 2,
                                 .Increment = 0.01,
                                 .MaxValue = 15,
                                 .MinValue = 0.2,
                                 .Value = 2.5,
                                 .Hint = "Sets input trigger/gate threshold level"});
    auto* pol = Group(ext, "GatePolGrp", "Gate Polarity", {6, 62, 104, 44});
    GatePolaritySel = ComboBox(pol, "GatePolaritySel", Captions(TKeywordTable::ktGatePolarity), 0, {6, 16, 92, 22});
    auto* edge = Group(ext, "ExtTrigEdgGrp", "Trigger Edge", {114, 62, 104, 44});
    TriggerEdgeSel = ComboBox(edge, "TriggerEdgeSel", Captions(TKeywordTable::ktTriggerEdge), 0, {6, 16, 92, 22});
}

void TMainForm::BuildPlusPage(QWidget* page)
{
    PlusOptionGrp = Group(page, "PlusOptionGrp", "Plus Options", {2, 2, 605, 200});

    auto* shot = Group(PlusOptionGrp, "GroupBox32", "Shot Counter", {8, 18, 190, 124});
    shot->setToolTip("System shot counter");
    ShotCountEnbl = CheckBox(shot, "ShotCountEnbl", "Enable", {8, 18, 90, 20});
    Label(shot, "Label17", "Source Select", {8, 44, 80, 18});
    ShotCountSel = ComboBox(shot, "ShotCountSel", Captions(TKeywordTable::ktShotCountSource), -1, {92, 42, 90, 22});
    ClearShotCount = Button(shot, "ClearShotCount", "Clear", {8, 70, 64, 24});
    ShotCountLbl = Label(shot, "ShotCountlbl", "Count: 4,294,967,296", {8, 100, 176, 18});

    auto* pc = Group(PlusOptionGrp, "PeriodCounterGrp", "Period Counter", {204, 18, 200, 124});
    pc->setToolTip("Measures period of incomming trigger pulses");
    PeriodCounterEn = CheckBox(pc, "PeriodCounterEn", "Enabled", {8, 18, 90, 20});
    PeriodCounterAutoEn = CheckBox(pc, "PCAutoEn", "Auto update", {100, 18, 95, 20});
    Label(pc, "Label1", "Periods to Average", {8, 46, 110, 18});
    PeriodCountAdj = SpinEdit(pc, "PCountadj", {122, 44, 56, 22},
                              {.Border = true, .MaxValue = 15, .MinValue = 1, .Value = 1, .Separator = false});
    PeriodCountClear = Button(pc, "PCountClear", "Clear", {8, 70, 64, 24});
    PeriodCountLbl = Label(pc, "PCountlbl", "P: 21.474,836,480", {8, 100, 186, 18});

    auto* sync = Group(PlusOptionGrp, "SynchUpdategrp", "Sync Update", {410, 18, 188, 60});
    sync->setToolTip("Synchronously updates channel timers");
    SynchEnable = CheckBox(sync, "SynchEnable", "Enable", {8, 24, 80, 20});
    SynchUpdateBtn = Button(sync, "SynchUpdatebtn", "Update", {100, 20, 76, 26});
    SynchUpdateBtn->setEnabled(false);

    auto* cc = Group(PlusOptionGrp, "DutyCycleCCGrp", "Duty Cycle Counts", {410, 82, 188, 60});
    cc->setToolTip("Number of duty cycle - cycles");
    CycleCountAdj = SpinEdit(cc, "CycleCountAdj", {8, 24, 120, 1},
                             {.AutoSize = true, .Border = true, .MaxValue = 1000000, .MinValue = 0, .Value = 1000000});

    SystemResolutionLbl = Label(PlusOptionGrp, "SystemResolutionlbl", "System Resolution: 5 ns", {10, 160, 260, 18});

    PlusOptionMemo = new QTextEdit(page);
    PlusOptionMemo->setObjectName("PlusOptionMemo");
    PlusOptionMemo->setReadOnly(true);
    // In the place of the Plus group, which standard models do not show: wide
    // enough for every line unwrapped and high enough for all of them.
    PlusOptionMemo->setGeometry(0, 0, 607, 202);
    PlusOptionMemo->setPlainText(QStringList{
        "Plus options include:",
        "- Shot counter with ability to select from multiple sources.",
        "- System resolution of 5ns (period, widths and delays).",
        "- Synchronous update. Update all channel widths and delays at one time. ",
        "- Period counter. Measures the input trigger period. ",
        "- Extra \"Virtual Channels\". Virtual channels  can be muxed with standard channels",
        "  to create complex pulse trains. ",
        "- Duty cycle cycle counts. Control number of cycles when in duty cycle mode. ",
        "- Additional burst and duty cycle modes when using external trigger. ",
        "",
        "Jentrix Instruments",
        "Ask your Jentrix sales office about upgrading to a Plus model.",
    }
                                     .join('\n'));
    PlusOptionMemo->hide();
}

void TMainForm::BuildChannelArea(QWidget* client)
{
    auto* box = Group(client, "ChannelGrp", "Channels", {0, 317, 619, 270});
    QFont titleFont = box->font();
    titleFont.setPixelSize(16);
    box->setFont(titleFont);
    ChPageControl = new QTabWidget(box);
    ChPageControl->setObjectName("ChPageControl");
    ChPageControl->setFont(font());
    ChPageControl->setDocumentMode(true);
    ChPageControl->setGeometry(4, 22, 611, 244);
    for (int n = 1; n <= 8; ++n) {
        const QChar letter = QChar('A' + n - 1);
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("TabCh") + letter);
        ChPageControl->addTab(page, QStringLiteral("Ch ") + letter);
        ChannelTabs[n] = page;
        BuildChannelPage(page, n);
        const auto d = jt::design::ChannelPage(n);
        if (!d.PageEnabled) {
            page->setEnabled(false);
            ChPageControl->setTabEnabled(n - 1, false);
        }
    }
}

void TMainForm::BuildChannelPage(QWidget* page, int n)
{
    const auto d = jt::design::ChannelPage(n);
    auto name = [n](const char* base) { return QString::fromLatin1(base) + QString::number(n); };
    auto grp = [&](QWidget* parent, const char* base, const QString& caption, QRect r) {
        auto* g = new QGroupBox(caption, parent);
        g->setObjectName(name(base));
        g->setGeometry(r);
        return g;
    };

    auto* f = grp(page, "ChFunctGrp", {}, {2, 2, 603, 214});

    CheckBox(f, name("ChEnablebox"), "Enabled", {12, 6, 120, 20}, "Enables or disables channel ")->setChecked(true);

    auto* delay = grp(f, "ChDelayGrp", "Delay", {6, 28, 190, 46});
    SpinEdit(delay, name("ChDelayAdj"), {6, 17, 178, 22},
             {.Decimals = d.DelayDecimals,
              .Increment = 1e-8,
              .MaxValue = 1000,
              .MinValue = -1000,
              .Value = 1000,
              .Hint = "Sets channel delay from selected sync source"});
    auto* width = grp(f, "ChWidthGrp", "Width", {6, 76, 190, 46});
    SpinEdit(width, name("ChWidthAdj"), {6, 17, 178, 22},
             {.Decimals = 9,
              .Increment = 1e-8,
              .MaxValue = 1000,
              .MinValue = 1e-8,
              .Value = d.WidthValue.value_or(1000),
              .Hint = "Sets channel pulse width"});
    auto* ampl = grp(f, "ChAmplitudeAdjGrp", "Amplitude (V)", {6, 124, 190, 46});
    SpinEdit(ampl, name("ChAmplitudeAdj"), {6, 17, 178, 22},
             {.Decimals = 2,
              .Increment = 0.01,
              .MaxValue = 5,
              .MinValue = 3.3,
              .Value = 5,
              .Separator = d.AmplitudeSeparator,
              .Hint = "Sets channel output amplitude"});

    auto* mode = new QGroupBox("Channel Mode", f);
    mode->setObjectName(d.ModeGroupName ? QString(d.ModeGroupName) : name("ChModeGrp"));
    mode->setGeometry(202, 4, 180, 46);
    ComboBox(mode, name("ChModeSel"), Captions(TKeywordTable::ktChannelMode), 0, {6, 17, 168, 22},
             "Channel pulse mode");
    auto* burst = grp(f, "ChBurstCountGrp", "Burst Count", {202, 52, 180, 46});
    SpinEdit(burst, name("ChBurstAdj"), {6, 17, 168, 22},
             {.MaxValue = 1000000,
              .MinValue = 1,
              .Value = d.BurstValue,
              .Separator = d.BurstSeparator,
              .Hint = "Sets channel burst count when in channel burst mode"});
    auto* on = grp(f, "ChDutyOnGrp", "Duty Cycle On", {202, 100, 180, 46});
    SpinEdit(on, name("ChDutyOnAdj"), {6, 17, 168, 22},
             {.MaxValue = 1000000,
              .MinValue = 1,
              .Hint = "Sets channel number of on counts when in channel duty cycle mode"});
    auto* off = grp(f, "ChDutyOffGrp", "Duty Cycle Off", {202, 148, 180, 46});
    SpinEdit(off, name("ChDutyOffAdj"), {6, 17, 168, 22},
             {.MaxValue = 1000000,
              .MinValue = 1,
              .Hint = "Sets channel number of off counts when in channel duty cycle mode"});

    auto* sync = grp(f, "ChSyncSourceGrp", "Sync Source", {388, 4, 102, 46});
    ComboBox(sync, name("ChSyncSourceSel"), {"T0", "Ch A", "Ch B", "Ch C", "Ch D", "Ch E", "Ch F", "Ch G", "Ch H"}, 0,
             {6, 17, 90, 22}, "Channel sync source");
    auto* pol = grp(f, "ChPolarityGrp", "Polarity", {494, 4, 103, 46});
    ComboBox(pol, name("ChPolaritySel"), Captions(TKeywordTable::ktChannelPolarity), 0, {6, 17, 91, 22},
             "Channel output polarity");
    auto* gate = grp(f, "ChGateModeGrp", "Gate Mode", {388, 52, 102, 46});
    // Narrower margins than its neighbours: the widest items ("ActiveLoWR")
    // need the room.
    ComboBox(gate, name("ChGateModeSel"), Captions(TKeywordTable::ktChannelGateMode, false), 0, {4, 17, 94, 22});
    auto* wait = grp(f, "ChWaitCountGrp", "Wait Count", {494, 52, 103, 46});
    SpinEdit(wait, name("ChWaitCountAdj"), {6, 17, 91, 22},
             {.MaxValue = d.WaitCountMax,
              .MinValue = 0,
              .Value = d.WaitCountValue,
              .Hint = "Sets number of pulses to wait until outputs start"});

    auto* mux = grp(f, "ChMuxGrp", "Multiplexer", {388, 100, 209, 62});
    auto* list = new QListWidget(mux);
    list->setObjectName(name("ChMuxSel"));
    list->setGeometry(6, 16, 197, 42);
    list->setFlow(QListView::LeftToRight);
    list->setWrapping(true);
    list->setGridSize({47, 18});
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (char c = 'A'; c <= 'H'; ++c) {
        auto* item = new QListWidgetItem(QString(QChar(c)), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }

    auto* muxGate = grp(f, "ChMuxGateGrp", "Mux Gate (Ch H)", {388, 164, 209, 46});
    auto* mg = ComboBox(muxGate, name("ChMuxGateSel"), Captions(TKeywordTable::ktMuxGate), -1, {6, 17, 120, 22});
    mg->setEditText(CaptionOf(TKeywordTable::ktMuxGate, TMuxGateMode::Disabled));
}

void TMainForm::BuildBottomStrip(QWidget* client)
{
    // Starts at the window's edge: the caption sits at the group's left edge.
    auto* term = Group(client, "TerminalBoxgrp", "Command Terminal", {0, 590, 454, 121});
    term->setToolTip("Send and receive commands directly to unit");
    SendEdit = ComboBox(term, "SendEdit", {}, -1, {8, 18, 370, 22});
    SendBtn = Button(term, "SendBtn", "Send", {384, 17, 64, 24});
    ResponseList = new QTextEdit(term);
    ResponseList->setObjectName("ResponseList");
    ResponseList->setReadOnly(true);
    ResponseList->setLineWrapMode(QTextEdit::NoWrap);
    ResponseList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ResponseList->setGeometry(8, 44, 440, 72);
    FTerminal = new TCommandTerminal(*SendEdit, *SendBtn, *ResponseList, this);

    auto* info = Group(client, "SystemInfoGrp", "System Information", {460, 590, 159, 117});
    info->setToolTip("Information about unit");
    SerialNumberLbl = Label(info, "SerialNumberlbl", "Serial Number: ", {8, 24, 146, 18});
    FWVersionLbl = Label(info, "FWVersionlbl", "Firmware Ver:", {8, 50, 146, 18});
    FPGAVersionLbl = Label(info, "FPGAVersionlbl", "FPGA Ver:", {8, 76, 146, 18});
}

void TMainForm::BuildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    auto menu = [bar](const char* name, const QString& caption) {
        QMenu* m = bar->addMenu(caption);
        m->setObjectName(name);
        return m;
    };
    auto item = [](QMenu* m, const QString& name, const QString& caption) {
        QAction* a = m->addAction(caption);
        a->setObjectName(name);
        return a;
    };

    QMenu* file = menu("File1", "File");
    ExitAction = item(file, "Exit1", "Exit");
    RestartAction = item(file, "R1", "Restart App");

    QMenu* storage = menu("Storage1", "Storage");
    QMenu* save = storage->addMenu("Save To Bin");
    save->setObjectName("SaveToBin1");
    for (int bin = 1; bin <= 6; ++bin)
        SaveToBinActions[bin] = item(save, QString("N%1%2").arg(bin).arg(1), QString::number(bin));
    QMenu* restore = storage->addMenu("Restore From Bin");
    restore->setObjectName("RestoreFromBin1");
    RestoreFromBinActions[0] = item(restore, "Default01", "Default 0");
    for (int bin = 1; bin <= 6; ++bin)
        RestoreFromBinActions[bin] = item(restore, QString("N%1%2").arg(bin).arg(2), QString::number(bin));
    SaveToFileAction = item(storage, "SaveToFile1", "Save Settings To File");
    RestoreFromFileAction = item(storage, "RestoreSettingsFromFile1", "Restore Settings From File");

    QMenu* tools = menu("ools1", "Tools");
    RefreshAction = item(tools, "Up1", "Refresh");
    CaptureScreenShotAction = item(tools, "CaptureScreenShot1", "Capture Screen Shot");
    LoggingEnabledAction = item(tools, "EnableLoggingMenu", "Logging Enabled");
    LoggingEnabledAction->setCheckable(true);
    TimingDiagramAction = item(tools, "TimingDiagram1", "Timing Diagram");
    RemoteAccessAction = item(tools, "RemoteAccess1", "Remote Access");

    QMenu* help = menu("Help1", "Help");
    WebSiteAction = item(help, "WebSite1", "Web Site");
    AboutAction = item(help, "About1", "About");

    // What the menu asks for, as the window's own signals.
    for (int bin = 1; bin <= 6; ++bin)
        connect(SaveToBinActions[bin], &QAction::triggered, this, [this, bin] { emit SaveToBinRequested(bin); });
    for (int bin = 0; bin <= 6; ++bin)
        connect(RestoreFromBinActions[bin], &QAction::triggered, this,
                [this, bin] { emit RestoreFromBinRequested(bin); });
    connect(SaveToFileAction, &QAction::triggered, this, &TMainForm::SaveToFileRequested);
    connect(RestoreFromFileAction, &QAction::triggered, this, &TMainForm::RestoreFromFileRequested);
    connect(RefreshAction, &QAction::triggered, this, &TMainForm::RefreshRequested);
    connect(CaptureScreenShotAction, &QAction::triggered, this, &TMainForm::CaptureRequested);
    connect(TimingDiagramAction, &QAction::triggered, this, &TMainForm::TimingDiagramRequested);
    connect(WebSiteAction, &QAction::triggered, this, &TMainForm::WebSiteRequested);
    connect(AboutAction, &QAction::triggered, this, &TMainForm::AboutRequested);
    connect(RemoteAccessAction, &QAction::triggered, this, &TMainForm::RemoteAccessRequested);
    connect(LoggingEnabledAction, &QAction::triggered, this, &TMainForm::LoggingRequested);
    connect(RestartAction, &QAction::triggered, this, &TMainForm::RestartRequested);
    connect(ExitAction, &QAction::triggered, this, &TMainForm::ExitRequested);
}

void TMainForm::ShowLogging(bool enabled)
{
    LoggingEnabledAction->setChecked(enabled);
}
