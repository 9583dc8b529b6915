#include "timing/TimingView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr int kPad = 8;
constexpr int kTraceInset = 8;  // between a lane's edge and its high or low line

const QColor kTraceColor(0, 90, 170);
const QColor kOutputColor(0, 120, 60);
const QColor kDisabledColor(160, 160, 160);
const QColor kPastPeriodColor(220, 40, 40, 90);
const QColor kOverlapColor(255, 150, 0, 110);
const QColor kGridColor(225, 225, 225);
const QColor kPeriodColor(200, 200, 230);
const QColor kCursorColor(200, 0, 160);
const QColor kRefusedColor(180, 0, 0);
const QColor kPastEndColor(235, 235, 235);

QFont BoldOf(QFont font)
{
    font.setBold(true);
    return font;
}

QFont SmallOf(QFont font)
{
    if (font.pixelSize() > 0)
        font.setPixelSize(std::max(9, font.pixelSize() - 2));
    else
        font.setPointSizeF(std::max(7.0, font.pointSizeF() - 1.5));
    return font;
}

QStringList DetailLines(const TTrace& t)
{
    QStringList lines = t.Detail.split('\n');
    if (!t.Enabled)
        lines.prepend(QStringLiteral("disabled"));
    return lines;
}

// A round step (1, 2 or 5 times a power of ten) of at least Minimum.
double NiceStep(double minimum)
{
    const double p = std::pow(10.0, std::floor(std::log10(minimum)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= minimum * (1 - 1e-9))
            return m * p;
    return 10 * p;
}

// Tick labels in one unit for the whole axis, with the decimals the step needs.
struct TAxisUnit {
    double Scale = 1;
    QString Name;
    int Decimals = 0;
    QString Text(double t) const
    {
        QString s = QString::number(t / Scale, 'f', Decimals);
        if (s.startsWith('-') && s.toDouble() == 0)
            s.remove(0, 1);
        return s + ' ' + Name;
    }
};

TAxisUnit AxisUnit(double magnitude, double step)
{
    static const struct {
        double scale;
        const char* name;
    } units[] = {{1, "s"}, {1e-3, "ms"}, {1e-6, "µs"}, {1e-9, "ns"}, {1e-12, "ps"}};
    int u = 0;
    while (u < 4 && magnitude < units[u].scale * 0.9995)
        ++u;
    TAxisUnit a;
    a.Scale = units[u].scale;
    a.Name = QString::fromUtf8(units[u].name);
    a.Decimals = std::clamp(int(std::ceil(-std::log10(step / a.Scale) - 1e-9)), 0, 12);
    return a;
}

}  // namespace

TDiagramLayout LayOutDiagram(const TTimingDiagram& diagram, const QFont& font, QSize size)
{
    const QFontMetrics bold(BoldOf(font));
    const QFontMetrics small(SmallOf(font));
    const QFontMetrics plain(font);
    TDiagramLayout l;
    int lines = 2;
    int labelWidth = 0;
    for (const TTrace& t : diagram.Traces) {
        labelWidth = std::max(labelWidth, bold.horizontalAdvance(t.Name));
        const QStringList detail = DetailLines(t);
        lines = std::max<int>(lines, int(detail.size()));
        for (const QString& line : detail)
            labelWidth = std::max(labelWidth, small.horizontalAdvance(line));
    }
    l.LabelWidth = labelWidth + 2 * kPad;
    l.AxisHeight = plain.height() + 2 * kPad;
    l.LaneHeight = std::max(bold.height() + lines * small.height() + 3 * kPad / 2, 3 * kTraceInset + plain.height());
    int legendWidth = 0;
    for (const QString& note : diagram.Notes)
        legendWidth = std::max(legendWidth, small.horizontalAdvance(note));
    const int lanes = int(diagram.Traces.size());
    const int legendHeight = kPad + int(diagram.Notes.size()) * small.height() + kPad;
    l.Minimum =
        QSize(std::max(l.LabelWidth + 320, legendWidth + 2 * kPad), l.AxisHeight + lanes * l.LaneHeight + legendHeight);
    const int width = std::max(size.width(), l.Minimum.width());
    l.Plot = QRect(l.LabelWidth, l.AxisHeight, width - l.LabelWidth - 2 * kPad, lanes * l.LaneHeight);
    l.LegendTop = l.Plot.bottom() + 1;
    return l;
}

namespace {

// Where the times of a window lie across the plot.
struct TTimeScale {
    double Left = 0;
    double Width = 1;
    TTimeWindow Window;
    double Span() const { return std::max(Window.Stop - Window.Start, 1e-18); }
    double X(double t) const { return Left + (t - Window.Start) / Span() * Width; }
};

TTimeScale ScaleOf(const QRect& plot, TTimeWindow window)
{
    return {double(plot.left()), double(plot.width()), window};
}

// Pulses too close together to tell apart at the picture's scale: drawn as
// a hatched band with their count.
struct TTrainShape {
    QRectF Band;  // from the first pulse's start to the last one's stop, between the levels
    std::uint64_t Pulses = 0;
    std::vector<QLineF> Hatch;
    QString Label;    // "1,000 pulses", or empty where it does not fit
    QRectF LabelBox;  // the label's white ground
    QPointF LabelAt;  // the label's baseline start
};

// One lane's trace at the picture's scale: what the raster picture and the
// SVG file both draw.
struct TTraceShape {
    QColor Color;
    bool Live = false;
    QPolygonF Line;             // the rest and active levels with the edges between
    std::vector<QRectF> Fills;  // under each pulse and train
    std::vector<TTrainShape> Trains;
    std::vector<std::pair<QRectF, QColor>> Marks;  // flagged stretches, under the trace
};

QColor TraceColor(const TTrace& t)
{
    const bool live = t.Enabled && t.Refused.isEmpty();
    return !live ? kDisabledColor : t.Kind == TTraceKind::tkOutput ? kOutputColor : kTraceColor;
}

// Hatching of a band: rising lines 6 pixels apart, cut at the band's edges.
std::vector<QLineF> HatchOf(const QRectF& band, double origin)
{
    std::vector<QLineF> lines;
    const double h = band.height();
    constexpr double kGap = 6;
    for (double c = origin + std::floor((band.left() - h - origin) / kGap) * kGap; c <= band.right(); c += kGap) {
        const double x0 = std::max(c, band.left());
        const double x1 = std::min(c + h, band.right());
        if (x1 > x0)
            lines.emplace_back(QPointF(x0, band.bottom() - (x0 - c)), QPointF(x1, band.bottom() - (x1 - c)));
    }
    return lines;
}

// The count of a train inside its band, on a white ground, when it fits.
void LabelTrain(TTrainShape& train, const QFont& small)
{
    const QFontMetricsF fm(small);
    const QString text = GroupedCount(train.Pulses) + QStringLiteral(" pulses");
    const double w = fm.horizontalAdvance(text);
    if (w + 6 > train.Band.width() || fm.height() + 2 > train.Band.height())
        return;
    train.Label = text;
    const QPointF centre = train.Band.center();
    train.LabelBox = QRectF(centre.x() - w / 2 - 2, centre.y() - fm.height() / 2 - 1, w + 4, fm.height() + 2);
    train.LabelAt = QPointF(centre.x() - w / 2, centre.y() - fm.height() / 2 + fm.ascent());
}

// A run of pulses drawn as one: a single pulse, or a train of pulses less
// than a pixel apart.
struct TRun {
    double Start = 0;  // x of the first pulse's start
    double Stop = 0;   // x of the last pulse's stop
    double Shown = 0;  // where the run ends as the screen draws it: at least a pixel wide
    std::uint64_t Pulses = 0;
    bool Open = false;  // the last pulse goes on past the end of the drawing
};

// The runs of the pulses in the window. Exact: every edge at its time;
// otherwise a pulse narrower than a pixel is drawn a pixel wide. Pulses are
// joined into a train where the picture cannot show the gap between them,
// the same in both.
std::vector<TRun> RunsOf(const TTrace& t, const TTimeScale& x, bool exact)
{
    std::vector<TRun> runs;
    // The line ends a pixel right of the plot's last column, as a pulse that
    // reaches the end does.
    const double left = x.Left, right = x.Left + x.Width;
    auto first = std::lower_bound(t.Pulses.begin(), t.Pulses.end(), x.Window.Start,
                                  [](const TPulse& pulse, double time) { return pulse.Stop < time; });
    for (auto it = first; it != t.Pulses.end() && it->Start <= x.Window.Stop; ++it) {
        const double x0 = std::max(x.X(it->Start), left - 1);
        const bool open = t.OpenEnd && it + 1 == t.Pulses.end();
        const double shown = open ? right + 2 : std::min(std::max(x.X(it->Stop), x0 + 1), right);
        const double stop = open ? right + 2 : exact ? std::min(x.X(it->Stop), right) : shown;
        if (!runs.empty() && x0 <= runs.back().Shown + 1) {
            TRun& r = runs.back();
            r.Shown = std::max(r.Shown, shown);
            r.Stop = std::max(r.Stop, stop);
            r.Open = r.Open || open;
            ++r.Pulses;
            continue;
        }
        runs.push_back({x0, stop, shown, 1, open});
    }
    return runs;
}

TTraceShape ShapeTrace(const TTrace& t, const TDiagramLayout& l, int lane, const TTimeScale& x, const QFont& small,
                       bool exact)
{
    TTraceShape s;
    s.Color = TraceColor(t);
    s.Live = t.Enabled && t.Refused.isEmpty();
    const int top = l.LaneTop(lane);
    const double highY = top + kTraceInset;
    const double lowY = top + l.LaneHeight - kTraceInset;
    const double restY = t.Inverted && s.Live ? highY : lowY;
    const double activeY = t.Inverted ? lowY : highY;
    const double left = x.Left, right = x.Left + x.Width;

    for (const TMark& m : t.Marks) {
        if (m.Stop < x.Window.Start || m.Start > x.Window.Stop)
            continue;
        const double x0 = std::max(x.X(m.Start), left);
        const double x1 = std::max(std::min(x.X(m.Stop), right - 1), x0 + (exact ? 0 : 2));
        s.Marks.emplace_back(QRectF(x0, top + 2, x1 - x0, l.LaneHeight - 4),
                             m.Kind == TMarkKind::mkPastPeriod ? kPastPeriodColor : kOverlapColor);
    }

    const std::vector<TRun> runs = s.Live ? RunsOf(t, x, exact) : std::vector<TRun>{};
    // An edge outside the plot is not drawn: a pulse that began before the
    // window starts the line high, one that goes on past it ends it high.
    bool high = !runs.empty() && runs.front().Start < left;
    s.Line << QPointF(left, high ? activeY : restY);
    for (const TRun& r : runs) {
        const double x0 = std::max(r.Start, left);
        const double x1 = std::min(r.Stop, right);
        if (r.Start >= left)
            s.Line << QPointF(x0, restY) << QPointF(x0, activeY);
        s.Line << QPointF(x1, activeY);
        high = r.Open || r.Stop >= right;
        if (!high)
            s.Line << QPointF(x1, restY);
        const QRectF band(QPointF(x0, std::min(restY, activeY)), QPointF(x1, std::max(restY, activeY)));
        s.Fills.push_back(band);
        if (r.Pulses > 1) {
            TTrainShape train;
            train.Band = band;
            train.Pulses = r.Pulses;
            train.Hatch = HatchOf(band, left);
            LabelTrain(train, small);
            s.Trains.push_back(std::move(train));
        }
    }
    if (s.Line.last().x() < right)
        s.Line << QPointF(right, high ? activeY : restY);
    return s;
}

QColor FillOf(QColor color)
{
    color.setAlpha(40);
    return color;
}

QColor HatchColorOf(QColor color)
{
    color.setAlpha(150);
    return color;
}

// ---- The phases of the raster picture

// Past the end of the drawing nothing is worked out: shaded.
void PaintPastEnd(QPainter& p, const TTimingDiagram& d, const QRect& plot, const TTimeScale& x)
{
    if (d.Period > 0 && d.SpanStop < x.Window.Stop) {
        const double left = std::max(x.X(d.SpanStop), double(plot.left()));
        p.fillRect(QRectF(left, plot.top(), plot.right() + 1 - left, plot.height()), kPastEndColor);
    }
}

// The time axis: round ticks far enough apart for their labels, with grid
// lines, and T0's period boundaries when they are not too dense to tell
// apart.
void PaintTimeAxis(QPainter& p, const TTimingDiagram& d, const TDiagramLayout& l, const TTimeScale& x,
                   const QFont& font)
{
    const QRect plot = l.Plot;
    const TTimeWindow window = x.Window;
    const double span = x.Span();
    const QFontMetrics metrics(font);
    const double magnitude = std::max(std::fabs(window.Start), std::fabs(window.Stop));
    double step = NiceStep(span / std::max(1, plot.width() / 90));
    TAxisUnit unit = AxisUnit(magnitude, step);
    for (int tries = 0; tries < 8; ++tries) {
        const int widest = std::max(metrics.horizontalAdvance(unit.Text(window.Start)),
                                    metrics.horizontalAdvance(unit.Text(window.Stop)));
        if (step / span * plot.width() >= widest + 2 * kPad)
            break;
        step = NiceStep(step * 1.5);
        unit = AxisUnit(magnitude, step);
    }
    p.setFont(font);
    const double first = std::ceil(window.Start / step) * step;
    for (double t = first; t <= window.Stop + step * 1e-6; t += step) {
        const double tx = x.X(t);
        p.setPen(kGridColor);
        p.drawLine(QPointF(tx, plot.top()), QPointF(tx, plot.bottom()));
        p.setPen(Qt::black);
        const QString text = unit.Text(std::fabs(t) < step * 1e-6 ? 0 : t);
        const int w = metrics.horizontalAdvance(text);
        const double left = std::clamp(tx - w / 2.0, double(plot.left() - l.LabelWidth / 2), double(plot.right() - w));
        p.drawText(QPointF(left, kPad + metrics.ascent()), text);
        p.drawLine(QPointF(tx, plot.top() - 4), QPointF(tx, plot.top()));
    }
    if (d.Period > 0 && d.Period / span * plot.width() >= 6) {
        QPen dashed(kPeriodColor, 1, Qt::DashLine);
        p.setPen(dashed);
        const double k0 = std::ceil(window.Start / d.Period);
        for (double k = k0; k * d.Period <= window.Stop; k += 1)
            p.drawLine(QPointF(x.X(k * d.Period), plot.top()), QPointF(x.X(k * d.Period), plot.bottom()));
    }
}

// A lane's line above it, its name and what it follows.
void PaintLaneLabels(QPainter& p, const TTrace& t, const TDiagramLayout& l, int lane, const QFont& font)
{
    const QFont bold = BoldOf(font), small = SmallOf(font);
    const QFontMetrics boldMetrics(bold), smallMetrics(small);
    const int top = l.LaneTop(lane);
    if (lane > 0) {
        p.setPen(kGridColor);
        p.drawLine(0, top, l.Plot.right(), top);
    }
    p.setFont(bold);
    p.setPen(!t.Enabled ? kDisabledColor : t.Refused.isEmpty() ? QColor(Qt::black) : kRefusedColor);
    p.drawText(QPointF(kPad, top + kPad / 2 + boldMetrics.ascent()), t.Name);
    p.setFont(small);
    p.setPen(t.Enabled ? QColor(70, 70, 70) : kDisabledColor);
    int y = top + kPad / 2 + boldMetrics.height() + smallMetrics.ascent();
    for (const QString& line : DetailLines(t)) {
        p.drawText(QPointF(kPad, y), line);
        y += smallMetrics.height();
    }
}

void PaintTrace(QPainter& p, const TTraceShape& s, const QRect& plot, const QFont& small)
{
    p.save();
    p.setClipRect(plot.adjusted(0, 0, 1, 0));
    for (const auto& [rect, color] : s.Marks)
        p.fillRect(rect, color);
    for (const QRectF& fill : s.Fills)
        p.fillRect(fill, FillOf(s.Color));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(HatchColorOf(s.Color), 1));
    for (const TTrainShape& train : s.Trains)
        p.drawLines(train.Hatch.data(), int(train.Hatch.size()));
    // Two one-pixel lines rather than one two-pixel pen: the raster engine
    // draws thin lines on a fast path, wide ones through a stroker that is
    // many times slower on long traces.
    p.setPen(QPen(s.Color, 1));
    p.drawPolyline(s.Line);
    if (s.Live)
        p.drawPolyline(s.Line.translated(1, 1));
    p.setFont(small);
    for (const TTrainShape& train : s.Trains) {
        if (train.Label.isEmpty())
            continue;
        p.fillRect(train.LabelBox, Qt::white);
        p.drawText(train.LabelAt, train.Label);
    }
    p.restore();
}

void PaintRefusal(QPainter& p, const TTrace& t, const TDiagramLayout& l, int lane, const QFont& small)
{
    if (t.Refused.isEmpty())
        return;
    p.setFont(small);
    p.setPen(kRefusedColor);
    p.drawText(QPointF(l.Plot.left() + kPad, l.LaneTop(lane) + l.LaneHeight - kTraceInset - 4), t.Refused);
}

void PaintLegend(QPainter& p, const TTimingDiagram& d, const TDiagramLayout& l, const QFont& small)
{
    const QFontMetrics metrics(small);
    p.setFont(small);
    p.setPen(QColor(60, 60, 60));
    int y = l.LegendTop + kPad + metrics.ascent();
    for (const QString& note : d.Notes) {
        p.drawText(QPointF(kPad, y), note);
        y += metrics.height();
    }
}

// ---- The traces as SVG

// The shortest text that reads back as the same double.
QByteArray Number(double v)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return QByteArray(buffer, int(result.ptr - buffer));
}

QByteArray Rgb(const QColor& c)
{
    return c.name(QColor::HexRgb).toLatin1();
}

QByteArray Opacity(const QColor& c)
{
    return Number(std::round(c.alphaF() * 1000) / 1000);
}

QByteArray Escaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

QByteArray RectPath(const std::vector<QRectF>& rects)
{
    QByteArray d;
    for (const QRectF& r : rects)
        d += 'M' + Number(r.left()) + ',' + Number(r.top()) + 'H' + Number(r.right()) + 'V' + Number(r.bottom()) + 'H' +
             Number(r.left()) + 'Z';
    return d;
}

QByteArray TraceSvgOf(const TTrace& t, const TTraceShape& s, const QFont& small)
{
    QByteArray out = "<g class=\"trace\">\n<title>" + Escaped(t.Name) + "</title>\n";
    for (const auto& [rect, color] : s.Marks)
        out += "<path fill=\"" + Rgb(color) + "\" fill-opacity=\"" + Opacity(color) + "\" d=\"" + RectPath({rect}) +
               "\"/>\n";
    if (!s.Fills.empty())
        out += "<path fill=\"" + Rgb(s.Color) + "\" fill-opacity=\"" + Opacity(FillOf(s.Color)) + "\" d=\"" +
               RectPath(s.Fills) + "\"/>\n";
    for (const TTrainShape& train : s.Trains) {
        out += "<path fill=\"none\" stroke=\"" + Rgb(s.Color) + "\" stroke-opacity=\"" +
               Opacity(HatchColorOf(s.Color)) + "\" stroke-width=\"1\" d=\"";
        for (const QLineF& line : train.Hatch)
            out +=
                'M' + Number(line.x1()) + ',' + Number(line.y1()) + 'L' + Number(line.x2()) + ',' + Number(line.y2());
        out += "\"/>\n";
    }
    out += "<polyline class=\"level\" fill=\"none\" stroke=\"" + Rgb(s.Color) + "\" stroke-width=\"" +
           QByteArray(s.Live ? "2" : "1") + "\" points=\"";
    for (const QPointF& point : s.Line)
        out += Number(point.x()) + ',' + Number(point.y()) + ' ';
    out.chop(1);
    out += "\"/>\n";
    const QFontInfo info(small);
    for (const TTrainShape& train : s.Trains) {
        if (train.Label.isEmpty())
            continue;
        const QRectF& box = train.LabelBox;
        out += "<rect fill=\"#ffffff\" x=\"" + Number(box.left()) + "\" y=\"" + Number(box.top()) + "\" width=\"" +
               Number(box.width()) + "\" height=\"" + Number(box.height()) + "\"/>\n";
        out += "<text class=\"train\" x=\"" + Number(train.LabelAt.x()) + "\" y=\"" + Number(train.LabelAt.y()) +
               "\" fill=\"" + Rgb(s.Color) + "\" font-family=\"" + Escaped(info.family()) + "\" font-size=\"" +
               QByteArray::number(info.pixelSize()) + "px\">" + Escaped(train.Label) + "</text>\n";
    }
    return out + "</g>\n";
}

}  // namespace

void PaintTimingDiagram(QPainter& p, const QRect& rect, const TTimingDiagram& d, TTimeWindow window, const QFont& font,
                        std::optional<double> cursor, bool traces)
{
    p.save();
    p.translate(rect.topLeft());
    const TDiagramLayout l = LayOutDiagram(d, font, rect.size());
    const TTimeScale x = ScaleOf(l.Plot, window);
    const QFont small = SmallOf(font);
    p.fillRect(QRect(QPoint(0, 0), rect.size()), Qt::white);
    PaintPastEnd(p, d, l.Plot, x);
    PaintTimeAxis(p, d, l, x, font);
    for (int i = 0; i < int(d.Traces.size()); ++i) {
        PaintLaneLabels(p, d.Traces[i], l, i, font);
        if (traces)
            PaintTrace(p, ShapeTrace(d.Traces[i], l, i, x, small, false), l.Plot, small);
        PaintRefusal(p, d.Traces[i], l, i, small);
    }
    PaintLegend(p, d, l, small);
    if (cursor && *cursor >= window.Start && *cursor <= window.Stop) {
        p.setPen(QPen(kCursorColor, 1));
        p.drawLine(QPointF(x.X(*cursor), l.Plot.top() - 4), QPointF(x.X(*cursor), l.Plot.bottom()));
    }
    p.restore();
}

QByteArray TraceSvg(const QRect& rect, const TTimingDiagram& d, TTimeWindow window, const QFont& font)
{
    const TDiagramLayout l = LayOutDiagram(d, font, rect.size());
    const TTimeScale x = ScaleOf(l.Plot, window);
    const QFont small = SmallOf(font);
    QByteArray out =
        "<g class=\"traces\" transform=\"translate(" + Number(rect.left()) + ',' + Number(rect.top()) + ")\">\n";
    for (int i = 0; i < int(d.Traces.size()); ++i)
        out += TraceSvgOf(d.Traces[i], ShapeTrace(d.Traces[i], l, i, x, small, true), small);
    return out + "</g>\n";
}

TTimingView::TTimingView(QWidget* parent) : QWidget(parent)
{
    setObjectName("TimingView");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::WheelFocus);
}

void TTimingView::SetSource(std::function<TTimingDiagram()> source)
{
    FSource = std::move(source);
    Invalidate();
}

void TTimingView::Invalidate()
{
    FDirty = true;
    update();
}

const TTimingDiagram& TTimingView::Diagram()
{
    if (FDirty)
        Rebuild();
    return FDiagram;
}

void TTimingView::Rebuild()
{
    FDirty = false;
    FDiagram = FSource ? FSource() : TTimingDiagram{};
    if (FFitting)
        Fit();
    updateGeometry();
    emit Rebuilt();
}

void TTimingView::Fit()
{
    FFitting = true;
    const TTimingDiagram& d = Diagram();
    double start = d.SpanStart, stop = d.SpanStop;
    if (!(stop > start))
        stop = start + 1e-6;
    const double margin = (stop - start) * 0.02;
    FWindow = {start - margin, stop + margin};
    update();
}

void TTimingView::SetWindow(TTimeWindow window)
{
    if (!(window.Stop > window.Start) || !std::isfinite(window.Start) || !std::isfinite(window.Stop))
        return;
    // Not finer than a picosecond across the plot.
    if (window.Stop - window.Start < 1e-12) {
        const double mid = (window.Start + window.Stop) / 2;
        window = {mid - 0.5e-12, mid + 0.5e-12};
    }
    FWindow = window;
    FFitting = false;
    update();
}

TDiagramLayout TTimingView::Layout()
{
    return LayOutDiagram(Diagram(), font(), size());
}

double TTimingView::TimeAt(double x) const
{
    const TDiagramLayout l = LayOutDiagram(FDiagram, font(), size());
    return FWindow.Start + (x - l.Plot.left()) / std::max(1, l.Plot.width()) * (FWindow.Stop - FWindow.Start);
}

double TTimingView::XOf(double t) const
{
    const TDiagramLayout l = LayOutDiagram(FDiagram, font(), size());
    return l.Plot.left() + (t - FWindow.Start) / (FWindow.Stop - FWindow.Start) * l.Plot.width();
}

QString TTimingView::Readout()
{
    if (!FCursor)
        return {};
    QStringList high;
    for (const TTrace& t : Diagram().Traces)
        if (t.HighAt(*FCursor))
            high << t.Name;
    // As many digits as a pixel of the plot tells apart.
    const TDiagramLayout l = LayOutDiagram(FDiagram, font(), size());
    const double pixel = (FWindow.Stop - FWindow.Start) / std::max(1, l.Plot.width());
    const QString at = PreciseTimeText(*FCursor, std::pow(10.0, std::floor(std::log10(pixel))));
    return high.isEmpty() ? at + QStringLiteral(": all signals low") : at + QStringLiteral(": high ") + high.join(", ");
}

QSize TTimingView::minimumSizeHint() const
{
    return LayOutDiagram(FDiagram, font(), QSize()).Minimum;
}

QSize TTimingView::sizeHint() const
{
    const QSize m = minimumSizeHint();
    return {std::max(m.width(), 900), m.height()};
}

void TTimingView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    PaintTimingDiagram(p, rect(), Diagram(), FWindow, font(), FCursor);
}

void TTimingView::wheelEvent(QWheelEvent* event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return;
    const double at = TimeAt(event->position().x());
    const double factor = std::pow(0.8, steps);
    SetWindow({at - (at - FWindow.Start) * factor, at + (FWindow.Stop - at) * factor});
    SetCursorAt(event->position().x());
    event->accept();
}

void TTimingView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    FDragFrom = event->position();
    FDragWindow = FWindow;
    setCursor(Qt::ClosedHandCursor);
}

void TTimingView::mouseMoveEvent(QMouseEvent* event)
{
    if (FDragFrom) {
        const TDiagramLayout l = Layout();
        const double dt = (event->position().x() - FDragFrom->x()) / std::max(1, l.Plot.width()) *
                          (FDragWindow.Stop - FDragWindow.Start);
        SetWindow({FDragWindow.Start - dt, FDragWindow.Stop - dt});
    }
    SetCursorAt(event->position().x());
}

void TTimingView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        FDragFrom.reset();
        unsetCursor();
    }
}

void TTimingView::leaveEvent(QEvent*)
{
    if (!FDragFrom) {
        FCursor.reset();
        update();
        emit CursorMoved();
    }
}

void TTimingView::SetCursorAt(double x)
{
    const TDiagramLayout l = Layout();
    if (x < l.Plot.left() || x > l.Plot.right())
        FCursor.reset();
    else
        FCursor = TimeAt(x);
    update();
    emit CursorMoved();
}
