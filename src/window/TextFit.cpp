#include "window/TextFit.h"

#include <QFontMetrics>

namespace {
// Smaller than this a caption is no longer easy to read.
constexpr int kSmallestPixelSize = 9;
}  // namespace

QFont PanelFont(int pixelSize)
{
    QFont f;
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(pixelSize);
    return f;
}

TFitLabel::TFitLabel(const QString& text, int pixelSize, const QRect& geometry, QWidget* parent)
    : QLabel(parent), FPixelSize(pixelSize)
{
    setGeometry(geometry);
    SetCaption(text);
}

void TFitLabel::SetCaption(const QString& text)
{
    QLabel::setText(text);
    Fit();
}

void TFitLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    Fit();
}

void TFitLabel::Fit()
{
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    QFont f = font();
    for (int size = FPixelSize; size >= kSmallestPixelSize; --size) {
        f.setPixelSize(size);
        const QFontMetrics fm(f);
        if (fm.horizontalAdvance(text()) <= room.width() && fm.height() <= room.height())
            break;
    }
    if (f != font())
        setFont(f);
}
