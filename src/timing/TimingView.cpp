#include "timing/TimingView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

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

void PaintTimingDiagram(QPainter& p, const QRect& rect, const TTimingDiagram& d, TTimeWindow window, const QFont& font,
                        std::optional<double> cursor)
{
    p.save();
    p.translate(rect.topLeft());
    const TDiagramLayout l = LayOutDiagram(d, font, rect.size());
    const QRect plot = l.Plot;
    p.fillRect(QRect(QPoint(0, 0), rect.size()), Qt::white);
    const double span = std::max(window.Stop - window.Start, 1e-18);
    const auto X = [&](double t) { return plot.left() + (t - window.Start) / span * plot.width(); };

    const QFont bold = BoldOf(font), small = SmallOf(font);
    const QFontMetrics plainMetrics(font), smallMetrics(small), boldMetrics(bold);

    // Past the end of the drawing nothing is worked out: shaded.
    if (d.Period > 0 && d.SpanStop < window.Stop) {
        const double x = std::max(X(d.SpanStop), double(plot.left()));
        p.fillRect(QRectF(x, plot.top(), plot.right() + 1 - x, plot.height()), kPastEndColor);
    }

    // Axis: round ticks far enough apart for their labels.
    {
        const double magnitude = std::max(std::fabs(window.Start), std::fabs(window.Stop));
        double step = NiceStep(span / std::max(1, plot.width() / 90));
        TAxisUnit unit = AxisUnit(magnitude, step);
        for (int tries = 0; tries < 8; ++tries) {
            const int widest = std::max(plainMetrics.horizontalAdvance(unit.Text(window.Start)),
                                        plainMetrics.horizontalAdvance(unit.Text(window.Stop)));
            if (step / span * plot.width() >= widest + 2 * kPad)
                break;
            step = NiceStep(step * 1.5);
            unit = AxisUnit(magnitude, step);
        }
        p.setFont(font);
        const double first = std::ceil(window.Start / step) * step;
        for (double t = first; t <= window.Stop + step * 1e-6; t += step) {
            const double x = X(t);
            p.setPen(kGridColor);
            p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
            p.setPen(Qt::black);
            const QString text = unit.Text(std::fabs(t) < step * 1e-6 ? 0 : t);
            const int w = plainMetrics.horizontalAdvance(text);
            const double left =
                std::clamp(x - w / 2.0, double(plot.left() - l.LabelWidth / 2), double(plot.right() - w));
            p.drawText(QPointF(left, kPad + plainMetrics.ascent()), text);
            p.drawLine(QPointF(x, plot.top() - 4), QPointF(x, plot.top()));
        }
        // T0's period boundaries, when they are not too dense to tell apart.
        if (d.Period > 0 && d.Period / span * plot.width() >= 6) {
            QPen dashed(kPeriodColor, 1, Qt::DashLine);
            p.setPen(dashed);
            const double k0 = std::ceil(window.Start / d.Period);
            for (double k = k0; k * d.Period <= window.Stop; k += 1)
                p.drawLine(QPointF(X(k * d.Period), plot.top()), QPointF(X(k * d.Period), plot.bottom()));
        }
    }

    for (int i = 0; i < int(d.Traces.size()); ++i) {
        const TTrace& t = d.Traces[i];
        const int top = l.LaneTop(i);
        const bool live = t.Enabled && t.Refused.isEmpty();
        const QColor color = !live ? kDisabledColor : t.Kind == TTraceKind::tkOutput ? kOutputColor : kTraceColor;
        if (i > 0) {
            p.setPen(kGridColor);
            p.drawLine(0, top, plot.right(), top);
        }

        // Name and details.
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

        const double highY = top + kTraceInset;
        const double lowY = top + l.LaneHeight - kTraceInset;
        const double restY = t.Inverted && live ? highY : lowY;
        const double activeY = t.Inverted ? lowY : highY;

        p.save();
        p.setClipRect(plot.adjusted(0, 0, 1, 0));
        // Flagged stretches under the trace.
        for (const TMark& m : t.Marks) {
            if (m.Stop < window.Start || m.Start > window.Stop)
                continue;
            const double x0 = std::max(X(m.Start), double(plot.left()));
            const double x1 = std::max(std::min(X(m.Stop), double(plot.right())), x0 + 2);
            p.fillRect(QRectF(x0, top + 2, x1 - x0, l.LaneHeight - 4),
                       m.Kind == TMarkKind::mkPastPeriod ? kPastPeriodColor : kOverlapColor);
        }

        // The trace: pulses closer than a pixel run together into one block.
        QPolygonF line;
        line << QPointF(plot.left(), restY);
        QColor fill = color;
        fill.setAlpha(40);
        if (live) {
            auto first = std::lower_bound(t.Pulses.begin(), t.Pulses.end(), window.Start,
                                          [](const TPulse& pulse, double time) { return pulse.Stop < time; });
            double segStart = 0, segStop = 0;
            bool open = false;
            auto flush = [&] {
                if (!open)
                    return;
                line << QPointF(segStart, restY) << QPointF(segStart, activeY) << QPointF(segStop, activeY)
                     << QPointF(segStop, restY);
                p.fillRect(QRectF(segStart, std::min(restY, activeY), segStop - segStart, std::fabs(restY - activeY)),
                           fill);
                open = false;
            };
            for (auto it = first; it != t.Pulses.end() && it->Start <= window.Stop; ++it) {
                const double x0 = std::max(X(it->Start), double(plot.left() - 1));
                // An open last pulse goes on past the right edge: no falling
                // edge is drawn for it.
                const bool openEnd = t.OpenEnd && it + 1 == t.Pulses.end();
                const double x1 =
                    openEnd ? double(plot.right() + 3)
                         : std::min(std::max(X(it->Stop), x0 + 1), double(plot.right() + 1));
                if (open && x0 <= segStop + 1) {
                    segStop = std::max(segStop, x1);
                    continue;
                }
                flush();
                segStart = x0;
                segStop = x1;
                open = true;
            }
            flush();
        }
        if (line.last().x() < plot.right() + 1)
            line << QPointF(plot.right() + 1, restY);
        p.setRenderHint(QPainter::Antialiasing, false);
        // Two one-pixel lines rather than one two-pixel pen: the raster
        // engine draws thin lines on a fast path, wide ones through a stroker
        // that is many times slower on long traces.
        p.setPen(QPen(color, 1));
        p.drawPolyline(line);
        if (live)
            p.drawPolyline(line.translated(1, 1));
        p.restore();

        if (!t.Refused.isEmpty()) {
            p.setFont(small);
            p.setPen(kRefusedColor);
            p.drawText(QPointF(plot.left() + kPad, lowY - 4), t.Refused);
        }
    }

    // Legend.
    p.setFont(small);
    p.setPen(QColor(60, 60, 60));
    int y = l.LegendTop + kPad + smallMetrics.ascent();
    for (const QString& note : d.Notes) {
        p.drawText(QPointF(kPad, y), note);
        y += smallMetrics.height();
    }

    if (cursor && *cursor >= window.Start && *cursor <= window.Stop) {
        p.setPen(QPen(kCursorColor, 1));
        p.drawLine(QPointF(X(*cursor), plot.top() - 4), QPointF(X(*cursor), plot.bottom()));
    }
    p.restore();
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
