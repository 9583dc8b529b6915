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
#include <QTimer>

#include <stdexcept>

#include "window/MainFormDesign.h"
#include "widgets/PlusSpinEdit.h"

using jt::design::SpinDesign;

namespace {

constexpr int kClientWidth = 622;
constexpr int kClientHeight = 710;
constexpr int kPulseLeft = 452;            // the running-pulse picture in the banner
constexpr QPoint kDesignedPlace(600, 42);  // the window's top-left corner on the screen

// A control of kind T with caption Caption, named and placed as designed.
template <typename T>
T* placed(QWidget* parent, const QString& name, const QString& caption, QRect geometry, const char* hint = "")
{
    auto* control = new T(caption, parent);
    control->setObjectName(name);
    control->setGeometry(geometry);
    if (*hint)
        control->setToolTip(hint);
    return control;
}

QGroupBox* group(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    return placed<QGroupBox>(parent, name, caption, geometry);
}

QLabel* label(QWidget* parent, const char* name, const QString& text, QRect geometry)
{
    return placed<QLabel>(parent, name, text, geometry);
}

QCheckBox* checkBox(QWidget* parent, const QString& name, const QString& caption, QRect geometry, const char* hint = "")
{
    return placed<QCheckBox>(parent, name, caption, geometry, hint);
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, QRect geometry, const char* hint = "")
{
    return placed<QPushButton>(parent, name, caption, geometry, hint);
}

// Every combo box of the window is an editable drop-down: an item can be picked
// or any text typed, and no item may be selected (index -1).
QComboBox* comboBox(QWidget* parent, const QString& name, const QStringList& items, int index, QRect geometry,
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
TPlusSpinEdit* spinEdit(QWidget* parent, const QString& name, QRect geometry, const SpinDesign& d)
{
    auto* s = new TPlusSpinEdit(parent);
    s->setObjectName(name);
    s->setGeometry(geometry);
    s->setAutoSize(d.autoSize);
    s->setBorderStyle(d.border ? TSpinBorderStyle::bsSingle : TSpinBorderStyle::bsNone);
    s->setDecimals(d.decimals);
    s->setIncrement(d.increment);
    s->setMaxValue(d.maxValue);
    s->setMinValue(d.minValue);
    if (d.value)
        s->setValue(*d.value);
    s->setThousandSeparator(d.separator ? QChar(',') : QChar());
    s->setToolTip(d.hint);
    return s;
}

using TNameIndex = QHash<QString, QObject*>;

template <typename T>
void lookUp(const TNameIndex& names, const char* pattern, TChannelControls::PerChannel<T>& table)
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
    lookUp(names, "ChEnablebox", c.ChEnablebox);
    lookUp(names, "ChDelayAdj", c.ChDelayAdj);
    lookUp(names, "ChWidthAdj", c.ChWidthAdj);
    lookUp(names, "ChModeSel", c.ChModeSel);
    lookUp(names, "ChAmplitudeAdj", c.ChAmplitudeAdj);
    lookUp(names, "ChBurstAdj", c.ChBurstAdj);
    lookUp(names, "ChBurstCountGrp", c.ChBurstCountGrp);
    lookUp(names, "ChWaitCountAdj", c.ChWaitCountAdj);
    lookUp(names, "ChSyncSourceSel", c.ChSyncSourceSel);
    lookUp(names, "ChPolaritySel", c.ChPolaritySel);
    lookUp(names, "ChDutyOnAdj", c.ChDutyOnAdj);
    lookUp(names, "ChDutyOnGrp", c.ChDutyOnGrp);
    lookUp(names, "ChDutyOffAdj", c.ChDutyOffAdj);
    lookUp(names, "ChDutyOffGrp", c.ChDutyOffGrp);
    lookUp(names, "ChGateModeSel", c.ChGateModeSel);
    lookUp(names, "ChMuxSel", c.ChMuxSel);
    lookUp(names, "ChMuxGateSel", c.ChMuxGateSel);
    lookUp(names, "ChMuxGateGrp", c.ChMuxGateGrp);
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

    buildMenus();
    buildTopStrip(client);
    buildSystemArea(client);
    buildChannelArea(client);
    buildBottomStrip(client);
    buildTimers();

    ChannelControls = FindChannelControls(*this);
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

void TMainForm::buildTopStrip(QWidget* client)
{
    BlueBanner = label(client, "BlueBanner", {}, {0, 0, 615, 72});
    BlueBanner->setPixmap(QPixmap(":/art/BlueBanner.jpg"));
    GreenBanner = label(client, "GreenBanner", {}, {0, 0, 615, 72});
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

    PulseAnimate = label(client, "PulseAnimate", {}, {kPulseLeft, 0, 57, 41});
    PulseAnimate->setScaledContents(true);
    PulseMovie = new QMovie(":/art/PulseAnimate.gif", QByteArray(), this);
    PulseMovie->setObjectName("PulseMovie");
    PulseMovie->setScaledSize({57, 41});
    PulseAnimate->setMovie(PulseMovie);
    PulseMovie->jumpToFrame(0);

    RunStopbtn = button(client, "RunStopbtn", "Run", {524, 0, 95, 68}, "Starts(arms) or stops(disarms) the system");
}

void TMainForm::ShowRunning(bool running)
{
    if (running) {
        PulseMovie->start();
        PulseAnimate->show();
        RunStopbtn->setText("Stop");
    } else {
        PulseMovie->stop();
        PulseAnimate->hide();
        RunStopbtn->setText("Run");
    }
}

void TMainForm::buildSystemArea(QWidget* client)
{
    auto* box = group(client, "GroupBox23", {}, {0, 70, 619, 241});
    SystemPageControl = new QTabWidget(box);
    SystemPageControl->setObjectName("SystemPageControl");
    SystemPageControl->setDocumentMode(true);
    SystemPageControl->setGeometry(4, 4, 611, 233);

    SystemPage = new QWidget;
    SystemPage->setObjectName("SystemPage");
    SystemPageControl->addTab(SystemPage, "System Options");
    buildSystemPage(SystemPage);

    PlusPage = new QWidget;
    PlusPage->setObjectName("PlusPage");
    SystemPageControl->addTab(PlusPage, "Plus Options");
    buildPlusPage(PlusPage);
}

void TMainForm::buildSystemPage(QWidget* page)
{
    auto* sys = group(page, "Systemgrp", "System", {2, 2, 605, 200});

    auto* modeGrp = group(sys, "GroupBox88", "Pulse Mode", {8, 18, 180, 46});
    SystemModeSel =
        comboBox(modeGrp, "SystemModeSel", {"Continuous", "Single Shot", "Burst", "Duty Cycle"}, 0, {8, 17, 164, 22});

    auto* periodGrp = group(sys, "PeriodGrp", "Period", {8, 66, 180, 46});
    PeriodAdj = spinEdit(periodGrp, "PeriodAdj", {8, 17, 164, 22},
                         {.decimals = 9,
                          .increment = 1e-8,
                          .maxValue = 1000,
                          .minValue = 2e-7,
                          .value = 1000,
                          .hint = "Sets system pulse period"});

    auto* burstGrp = group(sys, "BurstCountGrp", "Burst Count", {8, 114, 180, 46});
    SysBurstAdj = spinEdit(burstGrp, "SysBurstAdj", {8, 17, 164, 22},
                           {.maxValue = 4000000000.0,
                            .minValue = 1,
                            .value = 4000000000.0,
                            .hint = "Sets number of burst counts when in system burst mode"});

    AutoStartEnbl = checkBox(sys, "AutoStartEnbl", "Auto Start", {14, 168, 160, 20},
                             "Sets system auto start (will start on power up)");

    auto* dutyGrp = group(sys, "DutyCycleGrp", "Duty Cycle", {196, 18, 170, 110});
    auto* onGrp = group(dutyGrp, "OnCountGrp", "On Counts", {6, 17, 158, 44});
    SysDutyOnAdj = spinEdit(
        onGrp, "SysDutyOnAdj", {6, 16, 146, 22},
        {.maxValue = 4000000000.0, .minValue = 1, .hint = "Sets number of on counts when in system duty cycle mode"});
    auto* offGrp = group(dutyGrp, "OffCountGrp", "Off Counts", {6, 62, 158, 44});
    SysDutyOffAdj = spinEdit(
        offGrp, "SysDutyOffAdj", {6, 16, 146, 22},
        {.maxValue = 4000000000.0, .minValue = 1, .hint = "Sets number of off counts when in system duty cycle mode"});

    auto* ext = group(sys, "Externalgrp", "External Trigger/Gate", {374, 18, 224, 110});
    auto* extMode = group(ext, "GroupBox105", "Mode", {6, 17, 104, 44});
    ExtModeSel = comboBox(extMode, "ExtModeSel", {"Disabled", "Triggered", "Gated"}, 0, {6, 16, 92, 22});
    auto* thr = group(ext, "ExtThresholdGrp", "Threshold (V)", {114, 17, 104, 44});
    TrigThresholdAdj = spinEdit(thr, "TrigThresholdAdj", {6, 16, 92, 22},
                                {.decimals = 2,
                                 .increment = 0.01,
                                 .maxValue = 15,
                                 .minValue = 0.2,
                                 .value = 2.5,
                                 .hint = "Sets input trigger/gate threshold level"});
    auto* pol = group(ext, "GatePolGrp", "Gate Polarity", {6, 62, 104, 44});
    GatePolaritySel = comboBox(pol, "GatePolaritySel", {"Low", "High"}, 0, {6, 16, 92, 22});
    auto* edge = group(ext, "ExtTrigEdgGrp", "Trigger Edge", {114, 62, 104, 44});
    TriggerEdgeSel = comboBox(edge, "TriggerEdgeSel", {"Falling", "Rising"}, 0, {6, 16, 92, 22});
}

void TMainForm::buildPlusPage(QWidget* page)
{
    PlusOptionGrp = group(page, "PlusOptionGrp", "Plus Options", {2, 2, 605, 200});

    auto* shot = group(PlusOptionGrp, "GroupBox32", "Shot Counter", {8, 18, 190, 124});
    shot->setToolTip("System shot counter");
    ShotCountEnbl = checkBox(shot, "ShotCountEnbl", "Enable", {8, 18, 90, 20});
    label(shot, "Label17", "Source Select", {8, 44, 80, 18});
    ShotCountSel = comboBox(shot, "ShotCountSel", {"T0", "ChA", "ChB", "ChC", "ChD"}, -1, {92, 42, 90, 22});
    ClearShotCount = button(shot, "ClearShotCount", "Clear", {8, 70, 64, 24});
    ShotCountlbl = label(shot, "ShotCountlbl", "Count: 4,294,967,296", {8, 100, 176, 18});

    auto* pc = group(PlusOptionGrp, "PeriodCounterGrp", "Period Counter", {204, 18, 200, 124});
    pc->setToolTip("Measures period of incomming trigger pulses");
    PeriodCounterEn = checkBox(pc, "PeriodCounterEn", "Enabled", {8, 18, 90, 20});
    PCAutoEn = checkBox(pc, "PCAutoEn", "Auto update", {100, 18, 95, 20});
    label(pc, "Label1", "Periods to Average", {8, 46, 110, 18});
    PCountadj = spinEdit(pc, "PCountadj", {122, 44, 56, 22},
                         {.border = true, .maxValue = 15, .minValue = 1, .value = 1, .separator = false});
    PCountClear = button(pc, "PCountClear", "Clear", {8, 70, 64, 24});
    PCountlbl = label(pc, "PCountlbl", "P: 21.474,836,480", {8, 100, 186, 18});

    auto* sync = group(PlusOptionGrp, "SynchUpdategrp", "Sync Update", {410, 18, 188, 60});
    sync->setToolTip("Synchronously updates channel timers");
    SynchEnable = checkBox(sync, "SynchEnable", "Enable", {8, 24, 80, 20});
    SynchUpdatebtn = button(sync, "SynchUpdatebtn", "Update", {100, 20, 76, 26});
    SynchUpdatebtn->setEnabled(false);

    auto* cc = group(PlusOptionGrp, "DutyCycleCCGrp", "Duty Cycle Counts", {410, 82, 188, 60});
    cc->setToolTip("Number of duty cycle - cycles");
    CycleCountAdj = spinEdit(cc, "CycleCountAdj", {8, 24, 120, 1},
                             {.autoSize = true, .border = true, .maxValue = 1000000, .minValue = 0, .value = 1000000});

    SystemResolutionlbl = label(PlusOptionGrp, "SystemResolutionlbl", "System Resolution: 5 ns", {10, 160, 260, 18});

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

void TMainForm::buildChannelArea(QWidget* client)
{
    auto* box = group(client, "ChannelGrp", "Channels", {0, 317, 619, 270});
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
        buildChannelPage(page, n);
        const auto d = jt::design::channelPage(n);
        if (!d.pageEnabled) {
            page->setEnabled(false);
            ChPageControl->setTabEnabled(n - 1, false);
        }
    }
}

void TMainForm::buildChannelPage(QWidget* page, int n)
{
    const auto d = jt::design::channelPage(n);
    auto name = [n](const char* base) { return QString::fromLatin1(base) + QString::number(n); };
    auto grp = [&](QWidget* parent, const char* base, const QString& caption, QRect r) {
        auto* g = new QGroupBox(caption, parent);
        g->setObjectName(name(base));
        g->setGeometry(r);
        return g;
    };

    auto* f = grp(page, "ChFunctGrp", {}, {2, 2, 603, 214});

    checkBox(f, name("ChEnablebox"), "Enabled", {12, 6, 120, 20}, "Enables or disables channel ")->setChecked(true);

    auto* delay = grp(f, "ChDelayGrp", "Delay", {6, 28, 190, 46});
    spinEdit(delay, name("ChDelayAdj"), {6, 17, 178, 22},
             {.decimals = d.delayDecimals,
              .increment = 1e-8,
              .maxValue = 1000,
              .minValue = -1000,
              .value = 1000,
              .hint = "Sets channel delay from selected sync source"});
    auto* width = grp(f, "ChWidthGrp", "Width", {6, 76, 190, 46});
    spinEdit(width, name("ChWidthAdj"), {6, 17, 178, 22},
             {.decimals = 9,
              .increment = 1e-8,
              .maxValue = 1000,
              .minValue = 1e-8,
              .value = d.widthValue.value_or(1000),
              .hint = "Sets channel pulse width"});
    auto* ampl = grp(f, "ChAmplitudeAdjGrp", "Amplitude (V)", {6, 124, 190, 46});
    spinEdit(ampl, name("ChAmplitudeAdj"), {6, 17, 178, 22},
             {.decimals = 2,
              .increment = 0.01,
              .maxValue = 5,
              .minValue = 3.3,
              .value = 5,
              .separator = d.amplitudeSeparator,
              .hint = "Sets channel output amplitude"});

    auto* mode = new QGroupBox("Channel Mode", f);
    mode->setObjectName(d.modeGroupName ? QString(d.modeGroupName) : name("ChModeGrp"));
    mode->setGeometry(202, 4, 180, 46);
    comboBox(mode, name("ChModeSel"), {"Normal", "Single Shot", "Burst", "Duty Cycle"}, 0, {6, 17, 168, 22},
             "Channel pulse mode");
    auto* burst = grp(f, "ChBurstCountGrp", "Burst Count", {202, 52, 180, 46});
    spinEdit(burst, name("ChBurstAdj"), {6, 17, 168, 22},
             {.maxValue = 1000000,
              .minValue = 1,
              .value = d.burstValue,
              .separator = d.burstSeparator,
              .hint = "Sets channel burst count when in channel burst mode"});
    auto* on = grp(f, "ChDutyOnGrp", "Duty Cycle On", {202, 100, 180, 46});
    spinEdit(on, name("ChDutyOnAdj"), {6, 17, 168, 22},
             {.maxValue = 1000000,
              .minValue = 1,
              .hint = "Sets channel number of on counts when in channel duty cycle mode"});
    auto* off = grp(f, "ChDutyOffGrp", "Duty Cycle Off", {202, 148, 180, 46});
    spinEdit(off, name("ChDutyOffAdj"), {6, 17, 168, 22},
             {.maxValue = 1000000,
              .minValue = 1,
              .hint = "Sets channel number of off counts when in channel duty cycle mode"});

    auto* sync = grp(f, "ChSyncSourceGrp", "Sync Source", {388, 4, 102, 46});
    comboBox(sync, name("ChSyncSourceSel"), {"T0", "Ch A", "Ch B", "Ch C", "Ch D", "Ch E", "Ch F", "Ch G", "Ch H"}, 0,
             {6, 17, 90, 22}, "Channel sync source");
    auto* pol = grp(f, "ChPolarityGrp", "Polarity", {494, 4, 103, 46});
    comboBox(pol, name("ChPolaritySel"), {"Inverted", "Normal"}, 0, {6, 17, 91, 22}, "Channel output polarity");
    auto* gate = grp(f, "ChGateModeGrp", "Gate Mode", {388, 52, 102, 46});
    // Narrower margins than its neighbours: the widest items ("ActiveLoWR")
    // need the room.
    comboBox(gate, name("ChGateModeSel"), {"Disabled", "Active Low", "Active High"}, 0, {4, 17, 94, 22});
    auto* wait = grp(f, "ChWaitCountGrp", "Wait Count", {494, 52, 103, 46});
    spinEdit(wait, name("ChWaitCountAdj"), {6, 17, 91, 22},
             {.maxValue = d.waitCountMax,
              .minValue = 0,
              .value = d.waitCountValue,
              .hint = "Sets number of pulses to wait until outputs start"});

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
    auto* mg =
        comboBox(muxGate, name("ChMuxGateSel"), {"Disabled", "Gated", "Inhibit", "Invert"}, -1, {6, 17, 120, 22});
    mg->setEditText("Disabled");
}

void TMainForm::buildBottomStrip(QWidget* client)
{
    // Starts at the window's edge: the caption sits at the group's left edge.
    auto* term = group(client, "TerminalBoxgrp", "Command Terminal", {0, 590, 454, 121});
    term->setToolTip("Send and receive commands directly to unit");
    SendEdit = comboBox(term, "SendEdit", {}, -1, {8, 18, 370, 22});
    SendBtn = button(term, "SendBtn", "Send", {384, 17, 64, 24});
    ResponseList = new QTextEdit(term);
    ResponseList->setObjectName("ResponseList");
    ResponseList->setReadOnly(true);
    ResponseList->setLineWrapMode(QTextEdit::NoWrap);
    ResponseList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ResponseList->setGeometry(8, 44, 440, 72);

    auto* info = group(client, "SystemInfoGrp", "System Information", {460, 590, 159, 117});
    info->setToolTip("Information about unit");
    SerialNumberlbl = label(info, "SerialNumberlbl", "Serial Number: ", {8, 24, 146, 18});
    FWVersionlbl = label(info, "FWVersionlbl", "Firmware Ver:", {8, 50, 146, 18});
    FPGAVersionlbl = label(info, "FPGAVersionlbl", "FPGA Ver:", {8, 76, 146, 18});
}

void TMainForm::buildMenus()
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
    Exit1 = item(file, "Exit1", "Exit");
    R1 = item(file, "R1", "Restart App");

    QMenu* storage = menu("Storage1", "Storage");
    QMenu* save = storage->addMenu("Save To Bin");
    save->setObjectName("SaveToBin1");
    for (int bin = 1; bin <= 6; ++bin)
        SaveToBin[bin] = item(save, QString("N%1%2").arg(bin).arg(1), QString::number(bin));
    QMenu* restore = storage->addMenu("Restore From Bin");
    restore->setObjectName("RestoreFromBin1");
    RestoreFromBin[0] = item(restore, "Default01", "Default 0");
    for (int bin = 1; bin <= 6; ++bin)
        RestoreFromBin[bin] = item(restore, QString("N%1%2").arg(bin).arg(2), QString::number(bin));
    SaveToFile1 = item(storage, "SaveToFile1", "Save Settings To File");
    RestoreSettingsFromFile1 = item(storage, "RestoreSettingsFromFile1", "Restore Settings From File");

    QMenu* tools = menu("ools1", "Tools");
    Up1 = item(tools, "Up1", "Refresh");
    CaptureScreenShot1 = item(tools, "CaptureScreenShot1", "Capture Screen Shot");
    EnableLoggingMenu = item(tools, "EnableLoggingMenu", "Logging Enabled");
    EnableLoggingMenu->setCheckable(true);
    TimingDiagram1 = item(tools, "TimingDiagram1", "Timing Diagram");

    QMenu* help = menu("Help1", "Help");
    WebSite1 = item(help, "WebSite1", "Web Site");
    About1 = item(help, "About1", "About");
}

void TMainForm::buildTimers()
{
    auto timer = [this](const char* name, int interval) {
        auto* t = new QTimer(this);
        t->setObjectName(name);
        t->setInterval(interval);
        return t;
    };
    StatusTimer = timer("StatusTimer", 1000);
    TaskTimer = timer("TaskTimer", 5);
    LaunchTimer = timer("LaunchTimer", 500);
}
