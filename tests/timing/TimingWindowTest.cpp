// The timing-diagram window in the running panel: opened from the Tools
// menu, redrawn after edits and read-backs, zoomed, panned, read out and
// exported.
#include "support/AppStart.h"
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <optional>

#include "settings/PanelFixture.h"
#include "storage/Storage.h"
#include "timing/TimingWindow.h"
#include "widgets/PlusSpinEdit.h"

namespace {

// The main window's Tools item of the given name.
QAction* ToolsItem(TMainForm& form, const QString& name)
{
    for (QAction* a : form.menuBar()->actions())
        if (a->text() == "Tools" && a->menu())
            for (QAction* item : a->menu()->actions())
                if (item->objectName() == name)
                    return item;
    return nullptr;
}

// The picture on the screen, the column of time T in it and the top of the
// lane of the trace of the given name; nothing when there is no such trace.
struct Spot {
    QImage Image;
    int X = 0;
    int LaneTop = 0;
};
std::optional<Spot> SpotOf(TTimingView& view, const QString& name, double t)
{
    const TTimingDiagram& d = view.Diagram();
    int lane = -1;
    for (int i = 0; i < int(d.Traces.size()); ++i)
        if (d.Traces[i].Name == name)
            lane = i;
    if (lane < 0)
        return std::nullopt;
    return Spot{view.grab().toImage(), int(std::lround(view.XOf(t))), view.Layout().LaneTop(lane)};
}

// Whether the picture on the screen shows the trace high at time T: the
// pixels on the lane's high line carry the trace's colour.
bool DrawnHigh(TTimingView& view, const QString& name, double t)
{
    const std::optional<Spot> spot = SpotOf(view, name, t);
    if (!spot)
        return false;
    const int y = spot->LaneTop + 8;
    for (int dy = -1; dy <= 1; ++dy) {
        const QColor c = spot->Image.pixelColor(spot->X, y + dy);
        if (c.blue() > 140 && c.red() < 60)
            return true;
    }
    return false;
}

// The level line of the trace of the given name in an exported SVG file.
std::vector<QPointF> SvgLevelLine(const QByteArray& svg, const QString& name)
{
    const qsizetype at = svg.indexOf("<title>" + name.toUtf8() + "</title>");
    if (at < 0)
        return {};
    const qsizetype line = svg.indexOf("<polyline class=\"level\"", at);
    const qsizetype from = svg.indexOf("points=\"", line) + 8;
    const qsizetype to = svg.indexOf('"', from);
    std::vector<QPointF> points;
    for (const QByteArray& pair : svg.mid(from, to - from).split(' ')) {
        const QList<QByteArray> xy = pair.split(',');
        if (xy.size() == 2)
            points.emplace_back(xy[0].toDouble(), xy[1].toDouble());
    }
    return points;
}

// The times of a level line's rising and falling edges (active high), read
// back through the picture's time scale.
struct Edges {
    std::vector<double> Rising, Falling;
};
Edges EdgesOf(const std::vector<QPointF>& line, const QRect& plot, TTimeWindow window)
{
    Edges e;
    auto time = [&](double x) {
        return window.Start + (x - plot.left()) / plot.width() * (window.Stop - window.Start);
    };
    for (size_t i = 0; i + 1 < line.size(); ++i)
        if (line[i].x() == line[i + 1].x() && line[i].y() != line[i + 1].y())
            (line[i + 1].y() < line[i].y() ? e.Rising : e.Falling).push_back(time(line[i].x()));
    return e;
}

// Whether the picture on the screen shows a hatched train on the trace's lane
// at time T: dark slanting strokes over the light band, a little below the
// high line (clear of the count in the band's middle).
bool DrawnHatched(TTimingView& view, const QString& name, double t)
{
    const std::optional<Spot> spot = SpotOf(view, name, t);
    if (!spot)
        return false;
    const int y = spot->LaneTop + 8 + 6;
    int strokes = 0;
    for (int dx = -9; dx <= 9; ++dx) {
        const QColor c = spot->Image.pixelColor(spot->X + dx, y);
        if (c.blue() > c.red() + 60 && c.red() < 130)
            ++strokes;
    }
    return strokes >= 2 && strokes <= 8;
}

// Runs the event loop until Condition holds, for at most ten seconds.
bool WaitFor(const std::function<bool()>& condition)
{
    return QTest::qWaitFor(condition, 10000);
}

// Picks an item of a selection list as the user does.
void Pick(QComboBox* list, int index)
{
    list->setCurrentIndex(index);
    emit list->activated(index);
}

class TimingDiagram : public Panel {
protected:
    // Exports the diagram as SVG through the File menu, as shown now.
    QByteArray ExportedSvg(TTimingWindow& w)
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("diagram.svg");
        dialogs.FileNames << path;
        w.ExportSvgAction->trigger();
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }

    TTimingWindow& Open()
    {
        QAction* item = ToolsItem(form(), QStringLiteral("TimingDiagram1"));
        EXPECT_NE(item, nullptr);
        if (item) {
            EXPECT_EQ(item->text(), "Timing Diagram");
            item->trigger();
        }
        TTimingWindow& w = program->TimingWindow();
        EXPECT_TRUE(w.isVisible());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        return w;
    }
};

}  // namespace

TEST_F(TimingDiagram, OpensFromTheToolsMenuAndRedrawsAfterAnEditInTheWindow)
{
    Connect("6404+");
    TTimingWindow& w = Open();
    EXPECT_EQ(w.windowTitle(), "Timing Diagram");
    TTimingView& view = *w.View;
    const double period = state().SystemSettings.Period;
    ASSERT_GT(period, 0);
    // The simulated generator's Ch A is 1 µs wide: at a fifth of the period
    // it is low.
    ASSERT_FALSE(DrawnHigh(view, "Ch A", 0.2 * period));
    ASSERT_TRUE(view.Diagram().Find("Ch A") != nullptr);

    form().ChannelControls.ChWidthAdj[1]->setValue(0.4 * period);
    EXPECT_TRUE(WaitFor([&] { return DrawnHigh(view, "Ch A", 0.2 * period); }));
    EXPECT_NEAR(view.Diagram().Find("Ch A")->Pulses.front().Stop, 0.4 * period, 1e-12);
    EXPECT_TRUE(Sent().contains(":PULS1:WIDT " + FixedText(0.4 * period, 9)));

    // A sync source picked in the list moves Ch B behind Ch A.
    QComboBox* sync = form().ChannelControls.ChSyncSourceSel[2];
    form().ChannelControls.ChWidthAdj[2]->setValue(0.2 * period);
    form().ChannelControls.ChDelayAdj[1]->setValue(0.5 * period);
    EXPECT_TRUE(WaitFor([&] { return DrawnHigh(view, "Ch B", 0.1 * period); }));
    Pick(sync, sync->findText("Ch A"));
    EXPECT_TRUE(WaitFor([&] { return DrawnHigh(view, "Ch B", 0.6 * period); }));
    EXPECT_FALSE(DrawnHigh(view, "Ch B", 0.1 * period));
}

TEST_F(TimingDiagram, FollowsARefreshABinRecallAndAFileRestore)
{
    Connect("6402");
    TTimingWindow& w = Open();
    TTimingView& view = *w.View;
    const double period = state().SystemSettings.Period;
    ASSERT_FALSE(DrawnHigh(view, "Ch B", 0.3 * period));

    struct Step {
        const char* name;
        std::function<void()> act;
        double width;  // Ch B's width afterwards, as a fraction of the period
    };
    QTemporaryDir dir;
    const QString file = dir.filePath("wide.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QString(":PULS2:WIDT %1\r\n").arg(FixedText(0.6 * period, 9)).toLatin1());
    }
    const Step steps[] = {
        {"refresh after the generator changed",
         [&] {
             generator->withGenerator([&](jt6400sim::Generator& g) {
                 g.handle(":PULS2:WIDT " + FixedText(0.4 * period, 9).toStdString());
                 g.handle("*SAV 2");
             });
             form().RefreshAction->trigger();
             Sent();
         },
         0.4},
        {"recall of the factory bin",
         [&] {
             form().RestoreFromBinActions[0]->trigger();
             Sent();
         },
         1e-6 / period},
        {"recall of bin 2",
         [&] {
             form().RestoreFromBinActions[2]->trigger();
             Sent();
         },
         0.4},
        {"restore from a file",
         [&] {
             dialogs.FileNames << file;
             form().RestoreFromFileAction->trigger();
             EXPECT_TRUE(Settle());
         },
         0.6},
    };
    for (const Step& s : steps) {
        s.act();
        const bool high = s.width > 0.3;
        EXPECT_TRUE(WaitFor([&] { return DrawnHigh(view, "Ch B", 0.3 * period) == high; })) << s.name;
        EXPECT_NEAR(view.Diagram().Find("Ch B")->Pulses.front().Stop, s.width * period, 1e-12) << s.name;
    }
}

TEST_F(TimingDiagram, ZoomsAroundThePointerPansFitsAndReadsOutTheCursor)
{
    Connect("6404+");
    form().ChannelControls.ChWidthAdj[1]->setValue(0.25 * state().SystemSettings.Period);
    TTimingWindow& w = Open();
    TTimingView& view = *w.View;
    const TTimeWindow fitted = view.Window();
    const double period = state().SystemSettings.Period;

    // The cursor over Ch A's first pulse: the read-out names its time and
    // the signals that are high there.
    const double t = 0.15 * period;
    const QPoint at(int(std::lround(view.XOf(t))), view.Layout().LaneTop(1) + 10);
    QTest::mouseMove(&view, at);
    EXPECT_TRUE(WaitFor([&] { return w.Readout->text().contains("high"); }));
    const QString readout = w.Readout->text();
    EXPECT_TRUE(readout.contains("Ch A")) << readout.toStdString();
    EXPECT_TRUE(readout.contains("Out A")) << readout.toStdString();
    EXPECT_FALSE(readout.contains("T0")) << readout.toStdString();
    EXPECT_TRUE(readout.contains(" µs:") || readout.contains(" ms:")) << readout.toStdString();

    // The wheel zooms in around the pointer: the time under it stays put.
    const double under = view.TimeAt(at.x());
    QWheelEvent wheel(at, view.mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &wheel);
    const TTimeWindow zoomed = view.Window();
    EXPECT_LT(zoomed.Stop - zoomed.Start, 0.7 * (fitted.Stop - fitted.Start));
    EXPECT_NEAR(view.TimeAt(at.x()), under, (zoomed.Stop - zoomed.Start) * 1e-3);

    // Dragging to the left moves later times into view.
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, at);
    QMouseEvent move(QEvent::MouseMove, QPointF(at.x() - 100, at.y()), view.mapToGlobal(QPointF(at.x() - 100, at.y())),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(at.x() - 100, at.y()));
    EXPECT_GT(view.Window().Start, zoomed.Start);
    EXPECT_NEAR(view.Window().Stop - view.Window().Start, zoomed.Stop - zoomed.Start, 1e-15);

    QTest::mouseClick(w.FitButton, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(view.Window().Start, fitted.Start);
    EXPECT_DOUBLE_EQ(view.Window().Stop, fitted.Stop);
}

TEST_F(TimingDiagram, ExportsValidPngAndSvgFilesThroughItsFileMenu)
{
    Connect("6424");
    TTimingWindow& w = Open();
    QTemporaryDir dir;
    const QString png = dir.filePath("diagram.png");
    const QString svg = dir.filePath("diagram.svg");
    dialogs.FileNames << png << svg;
    w.ExportPngAction->trigger();
    w.ExportSvgAction->trigger();

    QImageReader reader(png);
    EXPECT_EQ(reader.format(), "png");
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_GE(image.width(), w.View->minimumSizeHint().width());
    EXPECT_GE(image.height(), w.View->minimumSizeHint().height());
    // Not a blank page: the traces' colour is in it.
    bool traced = false;
    for (int y = 0; y < image.height() && !traced; y += 2)
        for (int x = 0; x < image.width() && !traced; ++x)
            traced = image.pixelColor(x, y) == QColor(0, 90, 170);
    EXPECT_TRUE(traced);

    QSvgRenderer renderer(svg);
    ASSERT_TRUE(renderer.isValid());
    EXPECT_GE(renderer.defaultSize().width(), w.View->minimumSizeHint().width());
    QFile f(svg);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("Ch E (V)"));
    EXPECT_TRUE(text.contains("Out D"));
    EXPECT_TRUE(dialogs.Shown.isEmpty());
}

// The SVG file places every edge at its exact time, however the view is
// zoomed: a 100 ns pulse is 100 ns wide in it, not a pixel of the screen.
TEST_F(TimingDiagram, ExportsEveryEdgeAtItsExactTimeAtAnyZoom)
{
    Connect("6404+");
    const TChannelControls& c = form().ChannelControls;
    form().PeriodAdj->setValue(1e-5);
    c.ChDelayAdj[1]->setValue(3.3e-7);
    c.ChWidthAdj[1]->setValue(1e-7);
    Sent();
    TTimingWindow& w = Open();
    TTimingView& view = *w.View;
    ASSERT_TRUE(WaitFor([&] {
        const TTrace* a = view.Diagram().Find("Ch A");
        return a && !a->Pulses.empty() && std::fabs(a->Pulses.front().Stop - a->Pulses.front().Start - 1e-7) < 1e-15;
    }));
    ASSERT_GE(view.width(), view.minimumSizeHint().width());
    ASSERT_GE(view.height(), view.minimumSizeHint().height());
    const TTimeWindow windows[] = {
        view.Window(),               // Fit: tens of nanoseconds a pixel
        {1e-5 + 2e-7, 1e-5 + 6e-7},  // around the second pulse
    };
    for (const TTimeWindow& zoom : windows) {
        SCOPED_TRACE(zoom.Stop - zoom.Start);
        view.SetWindow(zoom);
        const Edges e = EdgesOf(SvgLevelLine(ExportedSvg(w), "Ch A"), view.Layout().Plot, view.Window());
        std::vector<TPulse> shown;
        for (const TPulse& p : view.Diagram().Find("Ch A")->Pulses)
            if (p.Start > zoom.Start && p.Stop < zoom.Stop)
                shown.push_back(p);
        ASSERT_FALSE(shown.empty());
        ASSERT_EQ(e.Rising.size(), shown.size());
        ASSERT_EQ(e.Falling.size(), shown.size());
        for (size_t i = 0; i < shown.size(); ++i) {
            EXPECT_NEAR(e.Rising[i], shown[i].Start, 1e-15) << i;
            EXPECT_NEAR(e.Falling[i] - e.Rising[i], 1e-7, 1e-15) << i;
        }
    }
    // Zoomed out until every pulse is inside one pixel: one train, from the
    // first pulse's start to the last one's stop.
    view.SetWindow({-0.5, 0.5});
    const std::vector<TPulse>& pulses = view.Diagram().Find("Ch A")->Pulses;
    const Edges e = EdgesOf(SvgLevelLine(ExportedSvg(w), "Ch A"), view.Layout().Plot, view.Window());
    ASSERT_EQ(e.Rising.size(), 1u);
    ASSERT_EQ(e.Falling.size(), 1u);
    EXPECT_NEAR(e.Rising[0], pulses.front().Start, 1e-15);
    EXPECT_NEAR(e.Falling[0], pulses.back().Stop, 1e-15);
    EXPECT_TRUE(dialogs.Shown.isEmpty());
}

// Pulses closer together than a pixel are drawn as a hatched train with
// their count, on the screen and in the SVG file, never as a steady level;
// zoomed in, they are single pulses again.
TEST_F(TimingDiagram, ShowsATrainTooDenseToDrawAsATrainWithItsCount)
{
    Connect("6404+");
    TTimingWindow& w = Open();
    TTimingView& view = *w.View;
    const double period = state().SystemSettings.Period;
    form().SysBurstAdj->setValue(900);
    Pick(form().SystemModeSel, 2);
    ASSERT_TRUE(WaitFor([&] { return view.Diagram().Find("T0")->Pulses.size() == 900; }));
    QTest::mouseClick(w.FitButton, Qt::LeftButton);
    ASSERT_LT(view.Layout().Plot.width(), 900) << "a period is less than a pixel";

    for (const char* name : {"T0", "Ch A"})
        EXPECT_TRUE(DrawnHatched(view, name, 450 * period)) << name;
    const QByteArray svg = ExportedSvg(w);
    for (const char* name : {"T0", "Ch A"}) {
        const qsizetype group = svg.indexOf(QByteArray("<title>") + name + "</title>");
        ASSERT_GE(group, 0) << name;
        EXPECT_LT(svg.indexOf(">900 pulses</text>", group), svg.indexOf("</g>", group)) << name;
        EXPECT_GE(svg.indexOf(">900 pulses</text>", group), 0) << name;
    }
    // The train's edges are its first pulse's start and its last one's stop.
    const Edges e = EdgesOf(SvgLevelLine(svg, "T0"), view.Layout().Plot, view.Window());
    ASSERT_EQ(e.Rising.size(), 1u);
    ASSERT_EQ(e.Falling.size(), 1u);
    EXPECT_NEAR(e.Rising[0], 0, 1e-12);
    EXPECT_NEAR(e.Falling[0], 899.1 * period, 1e-12);

    view.SetWindow({-0.5 * period, 4.5 * period});
    EXPECT_FALSE(DrawnHatched(view, "T0", 2.5 * period));
    EXPECT_TRUE(DrawnHigh(view, "T0", 2.05 * period));
    EXPECT_FALSE(DrawnHigh(view, "T0", 2.5 * period));
    EXPECT_FALSE(ExportedSvg(w).contains(" pulses</text>"));
}

TEST_F(TimingDiagram, FollowsTheEditsOfTheDemonstrationMode)
{
    keys.LeftShift = {true};
    program = std::make_unique<TProgram>(jt::TCommandLineOptions{}, TJT6400App::TServices{dialogs, keys, process});
    ASSERT_TRUE(StartUp(app()));
    app().LaunchTimerTimer();
    ASSERT_TRUE(app().Comm().DemoMode());
    TTimingWindow& w = Open();
    TTimingView& view = *w.View;

    const TChannelControls& c = form().ChannelControls;
    form().PeriodAdj->setValue(1e-5);
    c.ChEnableBox[1]->setChecked(false);
    c.ChEnableBox[1]->setChecked(true);
    Pick(c.ChPolaritySel[1], 1);
    c.ChWidthAdj[1]->setValue(4e-6);
    EXPECT_TRUE(WaitFor([&] { return DrawnHigh(view, "Ch A", 2e-6); }));
    EXPECT_TRUE(WaitFor([&] { return view.Diagram().Find("T0")->Pulses.size() >= 4; }));
}

TEST_F(TimingDiagram, StopsT0AfterTheDutyCycleCountSetInTheWindow)
{
    Connect("6404+");
    TTimingWindow& w = Open();
    TTimingView& view = *w.View;
    const double period = state().SystemSettings.Period;
    Pick(form().SystemModeSel, 3);
    form().SysDutyOnAdj->setValue(2);
    form().SysDutyOffAdj->setValue(3);
    form().CycleCountAdj->setValue(1);
    EXPECT_TRUE(Sent().contains(":PULS0:CCO 1"));
    // One cycle: T0 fires in periods 0 and 1 and never again.
    EXPECT_TRUE(WaitFor([&] { return view.Diagram().Find("T0")->Pulses.size() == 2; }));
    EXPECT_TRUE(DrawnHigh(view, "T0", 1.05 * period));
    EXPECT_FALSE(DrawnHigh(view, "T0", 5.05 * period));
    EXPECT_FALSE(DrawnHigh(view, "Ch A", 5.1 * period));
    EXPECT_NEAR(view.Diagram().SpanStop, 7 * period, 1e-12);

    form().CycleCountAdj->setValue(0);
    EXPECT_TRUE(WaitFor([&] { return DrawnHigh(view, "T0", 5.05 * period); }));
}

TEST_F(TimingDiagram, DrawsABurstOf100ToItsEndAndAPulseHighAtTheEndGoingOn)
{
    Connect("6404+");
    TTimingWindow& w = Open();
    TTimingView& view = *w.View;
    const double period = state().SystemSettings.Period;
    form().SysBurstAdj->setValue(100);
    Pick(form().SystemModeSel, 2);
    EXPECT_TRUE(WaitFor([&] { return view.Diagram().Find("T0")->Pulses.size() == 100; }));
    const TTimingDiagram& d = view.Diagram();
    EXPECT_FALSE(d.Cut);
    EXPECT_FALSE(d.Notes.join('\n').contains("Cut at")) << d.Notes.join('\n').toStdString();
    EXPECT_NEAR(d.SpanStop, 102 * period, 1e-9);
    // The last pulse of the burst is drawn, and nothing in the period after it.
    EXPECT_TRUE(DrawnHigh(view, "T0", 99.02 * period));
    EXPECT_FALSE(DrawnHigh(view, "Ch A", 100.5 * period));

    // Back to continuous with Ch A 1.5 periods wide: Ch A is still high
    // where the drawing ends, and is drawn going on past it, not falling.
    Pick(form().SystemModeSel, 0);
    form().ChannelControls.ChDelayAdj[1]->setValue(0);
    form().ChannelControls.ChWidthAdj[1]->setValue(1.5 * period);
    EXPECT_TRUE(WaitFor([&] { return view.Diagram().Find("Ch A")->OpenEnd; }));
    QTest::mouseClick(w.FitButton, Qt::LeftButton);
    const double end = view.Diagram().SpanStop;
    ASSERT_GT(view.Window().Stop, end);
    EXPECT_TRUE(DrawnHigh(view, "Ch A", end - 0.01 * period));
    EXPECT_TRUE(DrawnHigh(view, "Ch A", (end + view.Window().Stop) / 2));
    EXPECT_TRUE(view.Diagram().Notes.join('\n').contains("drawn going on"));
}

TEST_F(TimingDiagram, ReadsOutTheCursorAndLabelsWithEveryDigitTheyNeed)
{
    Connect("6404+");
    form().ChannelControls.ChDelayAdj[1]->setValue(1.0000001);
    TTimingWindow& w = Open();
    TTimingView& view = *w.View;
    EXPECT_TRUE(view.Diagram().Find("Ch A")->Detail.contains("delay 1.0000001 s"))
        << view.Diagram().Find("Ch A")->Detail.toStdString();

    // Zoomed in to 10 ns around 2.000000105 s, the cursor's time is read out
    // to the hundredth of a nanosecond a pixel is.
    view.SetWindow({2.0000001, 2.00000011});
    const QPoint at(int(std::lround(view.XOf(2.000000105))), view.Layout().LaneTop(1) + 10);
    QTest::mouseMove(&view, at);
    EXPECT_TRUE(WaitFor([&] { return view.Cursor().has_value(); }));
    const QString readout = w.Readout->text();
    ASSERT_TRUE(readout.startsWith("2.0000001")) << readout.toStdString();
    const double shown = readout.section(' ', 0, 0).toDouble();
    const double pixel = 1e-8 / view.Layout().Plot.width();
    EXPECT_NEAR(shown, *view.Cursor(), pixel) << readout.toStdString();
    EXPECT_NEAR(shown, 2.000000105, 2 * pixel) << readout.toStdString();
}

TEST_F(TimingDiagram, AChannelBurstOfFourBillionIsOneValueInWindowFileAndDiagram)
{
    Connect("6404+");
    generator->withGenerator([](jt6400sim::Generator& g) {
        jt6400sim::Settings s = g.settings();
        s.channels[1].Mode = 2;
        s.channels[1].BurstCount = 4000000000u;
        g.setSettings(s);
    });
    form().RefreshAction->trigger();
    Sent();
    EXPECT_TRUE(WaitFor([&] { return state().ChannelSettings[2].BurstCount == 4000000000u; }));
    EXPECT_EQ(form().ChannelControls.ChBurstAdj[2]->Value(), 4e9);
    EXPECT_TRUE(form().ChannelControls.ChBurstAdj[2]->Text().contains("4,000,000,000"))
        << form().ChannelControls.ChBurstAdj[2]->Text().toStdString();

    TTimingWindow& w = Open();
    const TTrace& b = *w.View->Diagram().Find("Ch B");
    EXPECT_TRUE(b.Detail.contains("Burst 4,000,000,000")) << b.Detail.toStdString();
    EXPECT_EQ(b.Pulses.size(), w.View->Diagram().Find("T0")->Pulses.size());
    EXPECT_TRUE(w.View->Diagram().Cut);

    QTemporaryDir dir;
    const QString file = dir.filePath("settings.txt");
    dialogs.FileNames << file;
    form().SaveToFileAction->trigger();
    ASSERT_TRUE(Settle());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromLatin1(f.readAll()).split("\r\n").contains(":PULS2:BCO 4000000000"));

    // An edit of the count keeps every digit.
    form().ChannelControls.ChBurstAdj[2]->setValue(3999999999.0);
    EXPECT_TRUE(Sent().contains(":PULS2:BCO 3999999999"));
    EXPECT_EQ(state().ChannelSettings[2].BurstCount, 3999999999u);
}

TEST_F(TimingDiagram, RefusesASyncSourceTheModelLacks)
{
    Connect("6402");
    generator->withGenerator([](jt6400sim::Generator& g) {
        jt6400sim::Settings s = g.settings();
        s.channels[0].SyncSource = 3;  // CHC, which a 6402 lacks
        g.setSettings(s);
    });
    form().RefreshAction->trigger();
    Sent();
    TTimingWindow& w = Open();
    TTimingView& view = *w.View;
    EXPECT_TRUE(WaitFor([&] {
        return view.Diagram().Find("Ch A")->Refused == "Error. Ch C is not a channel of this 6402.";
    })) << view.Diagram().Find("Ch A")->Refused.toStdString();
    const double period = state().SystemSettings.Period;
    EXPECT_TRUE(view.Diagram().Find("Ch A")->Pulses.empty());
    EXPECT_FALSE(DrawnHigh(view, "Ch A", 0.1 * period));
    EXPECT_FALSE(view.Diagram().Find("Ch B")->Pulses.empty());
    // The message is in the picture, whole.
    QTemporaryDir dir;
    dialogs.FileNames << dir.filePath("d.svg");
    w.ExportSvgAction->trigger();
    QFile f(dir.filePath("d.svg"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("Error. Ch C is not a channel of this 6402."));
}
