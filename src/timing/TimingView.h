// The timing diagram drawn with QPainter: a time axis, one lane per trace
// with its name and what it follows, and the legend below. TTimingView shows
// it in a window with zoom (wheel, around the pointer), panning (drag) and a
// cursor line; PaintTimingDiagram draws it on any painter, so the PNG and SVG
// exports are the same picture.
#pragma once

#include <QByteArray>
#include <QFont>
#include <QWidget>
#include <functional>
#include <optional>

#include "timing/PulseTrains.h"

class QPainter;

// The stretch of time shown across the plot area.
struct TTimeWindow {
    double Start = 0;
    double Stop = 1;
};

// Where things lie in a picture of a given size: the legend follows the
// lanes, the plot area takes the width.
struct TDiagramLayout {
    int LabelWidth = 0;  // the names and details column
    int AxisHeight = 0;  // the time labels at the top
    int LaneHeight = 0;
    int LegendTop = 0;
    QRect Plot;  // the lanes' drawing area, right of the labels
    QSize Minimum;

    int LaneTop(int index) const { return Plot.top() + index * LaneHeight; }
};

TDiagramLayout LayOutDiagram(const TTimingDiagram& diagram, const QFont& font, QSize size);

// Paints the whole picture into Rect's size at Rect's top-left; a cursor
// line at Cursor when it is given. Pulses closer together than a pixel are
// drawn as a hatched train with their count; a pulse narrower than a pixel
// is drawn a pixel wide. Without Traces, the lanes are left empty for
// TraceSvg.
void PaintTimingDiagram(QPainter& painter, const QRect& rect, const TTimingDiagram& diagram, TTimeWindow window,
                        const QFont& font, std::optional<double> cursor = std::nullopt, bool traces = true);

// The traces (and their flagged stretches) of the picture PaintTimingDiagram
// paints into Rect, as SVG elements: one group per trace, titled with its
// name, with every edge at its exact time, however far the picture is
// zoomed. A painter's SVG output keeps six digits of a coordinate, too few
// for a nanosecond in a long span; these keep every digit of a double.
QByteArray TraceSvg(const QRect& rect, const TTimingDiagram& diagram, TTimeWindow window, const QFont& font);

class TTimingView : public QWidget {
    Q_OBJECT
public:
    explicit TTimingView(QWidget* parent = nullptr);

    // Where the diagram comes from; it is rebuilt from there after
    // Invalidate, when it is next painted or asked for.
    void SetSource(std::function<TTimingDiagram()> source);
    void Invalidate();
    const TTimingDiagram& Diagram();

    // Shows every pulse. The view keeps fitting each new diagram until the
    // user zooms or pans.
    void Fit();
    TTimeWindow Window() const { return FWindow; }
    void SetWindow(TTimeWindow window);
    std::optional<double> Cursor() const { return FCursor; }

    // Time at a pixel column and back, in this widget's coordinates.
    double TimeAt(double x) const;
    double XOf(double t) const;
    TDiagramLayout Layout();

    // "1.25 µs: high Ch A, Out A" for the cursor; empty without a cursor.
    QString Readout();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The diagram was rebuilt from its source.
    void Rebuilt();
    void CursorMoved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Rebuild();
    void SetCursorAt(double x);

    std::function<TTimingDiagram()> FSource;
    TTimingDiagram FDiagram;
    bool FDirty = true;
    bool FFitting = true;
    TTimeWindow FWindow;
    std::optional<double> FCursor;
    std::optional<QPointF> FDragFrom;
    TTimeWindow FDragWindow;
};
