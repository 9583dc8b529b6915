#include "widgets/PlusSpinEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QTimer>
#include <QWheelEvent>
#include <qdrawutil.h>

#include <cmath>
#include <exception>

namespace {

const QColor kGrey(128, 128, 128);
const QColor kSelectedCell(0, 0, 255);

int RoundHalfEven(double x)
{
    double r = std::round(x);
    if (std::fabs(x - std::trunc(x)) == 0.5 && std::fmod(r, 2.0) != 0.0)
        r -= std::copysign(1.0, x);
    return static_cast<int>(r);
}

}  // namespace

// ---------------------------------------------------------------- TSpinButton

TSpinButton::TSpinButton(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TSpinButton::SetGlyph(const QImage& glyph)
{
    FGlyph = glyph;
    update();
}

void TSpinButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QBrush face = palette().button();
    qDrawWinButton(&p, rect(), palette(), FDown, &face);
    if (FGlyph.isNull())
        return;
    const int shift = FDown ? 1 : 0;
    const int x = (width() - FGlyph.width()) / 2 + shift;
    const int y = (height() - FGlyph.height()) / 2 + shift;
    p.drawImage(x, y, FGlyph);
}

void TSpinButton::mousePressEvent(QMouseEvent* e)
{
    if (!FInteractive)
        return;
    if (e->button() == Qt::LeftButton) {
        FHeld = true;
        FDown = true;
        update();
    }
    emit MouseDown(this, e->button());
}

void TSpinButton::mouseMoveEvent(QMouseEvent* e)
{
    if (!FHeld)
        return;
    const bool over = rect().contains(e->position().toPoint());
    if (over != FDown) {
        FDown = over;
        update();
    }
}

void TSpinButton::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        if (!FHeld)
            return;
        FHeld = false;
        FDown = false;
        update();
    } else if (!FInteractive) {
        return;
    }
    emit MouseUp(this, e->button());
}

void TSpinButton::mouseDoubleClickEvent(QMouseEvent* e)
{
    // A quick second click on a spin button is one more press.
    mousePressEvent(e);
}

// -------------------------------------------------------------- TPlusSpinEdit

std::function<void(const QString&)> TPlusSpinEdit::ErrorReporter;

void TPlusSpinEdit::ReportError(const QString& text)
{
    if (ErrorReporter) {
        ErrorReporter(text);
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), QCoreApplication::applicationName(), text);
}

template <class F>
void TPlusSpinEdit::Guarded(F&& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        ReportError(QString::fromUtf8(e.what()));
    }
}

TPlusSpinEdit::TPlusSpinEdit(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::TabFocus);  // a click focuses through mousePressEvent
    setAttribute(Qt::WA_OpaquePaintEvent);
    setBackgroundRole(QPalette::Base);
    setContentsMargins(1, 1, 1, 1);
    FUpButton = new TSpinButton(this);
    FDownButton = new TSpinButton(this);
    FUpButton->setObjectName(QStringLiteral("fUpButton"));
    FDownButton->setObjectName(QStringLiteral("fDownButton"));
    for (TSpinButton* b : {FUpButton, FDownButton}) {
        connect(b, &TSpinButton::MouseDown, this, &TPlusSpinEdit::SpinButtonDown);
        connect(b, &TSpinButton::MouseUp, this, &TPlusSpinEdit::SpinButtonUp);
    }
    FTimer = new QTimer(this);
    FTimer->setObjectName(QStringLiteral("fTimer"));
    connect(FTimer, &QTimer::timeout, this, &TPlusSpinEdit::TimerTick);
    FModel.SetView(this);
    const int fontHeight = std::abs(QFontInfo(font()).pixelSize());
    resize(8 * fontHeight, QFontMetrics(font()).height() + 4);
    Measure();
}

TPlusSpinEdit::~TPlusSpinEdit()
{
    FModel.SetView(nullptr);
}

QSize TPlusSpinEdit::sizeHint() const
{
    return size();
}

int TPlusSpinEdit::GlyphSize(int bw)
{
    int c = RoundHalfEven(1.3 * bw * std::pow(static_cast<double>(bw), -0.25)) - 2;
    if (c < 4)
        c = 4;
    if (c % 2 != 0)
        --c;
    return c;
}

QImage TPlusSpinEdit::MakeGlyph(bool up, int c) const
{
    QImage img(c + 1, c / 2 + 2, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);  // the white of the bitmap shows the button face
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    // Outline and fill share the colour: at these sizes a black outline would
    // leave a disabled glyph looking black.
    const QColor colour = FEnabled ? QColor(Qt::black) : kGrey;
    p.setPen(QPen(colour, 0));
    p.setBrush(colour);
    QPolygon tri;
    if (up)
        tri << QPoint(0, c / 2) << QPoint(c / 2, 0) << QPoint(c, c / 2);
    else
        tri << QPoint(0, 1) << QPoint(c / 2, c / 2 + 1) << QPoint(c, 1);
    p.drawPolygon(tri);
    return img;
}

void TPlusSpinEdit::Measure()
{
    const QFontMetrics fm(font());
    FDigitHeight = fm.height();
    FDigitWidth = fm.horizontalAdvance(QLatin1Char('0'));
    if (FAutoSize)
        DoAutoSize();
    else
        LayoutButtons();
}

void TPlusSpinEdit::LayoutButtons()
{
    const QRect cr = contentsRect();
    const int cw = cr.width();
    const int ch = cr.height();
    int bw = FDigitWidth + FDigitWidth / 2 + 8;
    if (bw < 10)
        bw = 10;
    FUpButton->setGeometry(cr.x() + cw - bw, cr.y(), bw, ch / 2);
    FDownButton->setGeometry(cr.x() + cw - bw, cr.y() + ch / 2, bw, ch - ch / 2);
    const int c = GlyphSize(bw);
    FUpButton->SetGlyph(MakeGlyph(true, c));
    FDownButton->SetGlyph(MakeGlyph(false, c));
    FCapXStop = (cw - bw) - FDigitWidth / 2;
    FCapYStart = (ch - FDigitHeight) / 2;
    FModel.UpdateSelection();
}

void TPlusSpinEdit::DoAutoSize()
{
    int h = FDigitHeight + FDigitHeight / 3;
    if (h % 2 == 0)
        ++h;
    int w = width();
    const double mn = FModel.MinValue();
    const double mx = FModel.MaxValue();
    if (mn != mx) {
        const double wider = FModel.DigitExponent(mx) > FModel.DigitExponent(mn) ? mx : mn;
        const int textWidth =
            QFontMetrics(font()).horizontalAdvance(QString::fromStdU16String(FModel.FormatValue(wider)));
        w = textWidth + h;
        // Room for the text, the buttons, the half-digit gap before them and one
        // more half digit on the left, so the text is never cut off.
        const int m = contentsMargins().left() + contentsMargins().right();
        const int bw = std::max(10, FDigitWidth + FDigitWidth / 2 + 8);
        w = std::max(w, textWidth + bw + FDigitWidth + m);
    }
    resize(w, h);
    updateGeometry();
    LayoutButtons();
}

void TPlusSpinEdit::ReAutoSize()
{
    if (FAutoSize)
        DoAutoSize();
}

void TPlusSpinEdit::setAutoSize(bool on)
{
    FAutoSize = on;
    if (on)
        DoAutoSize();
}

void TPlusSpinEdit::setBorderStyle(TSpinBorderStyle style)
{
    if (style == FBorderStyle)
        return;
    FBorderStyle = style;
    const int m = style == TSpinBorderStyle::bsSingle ? 1 : 0;
    setContentsMargins(m, m, m, m);
    LayoutButtons();
    update();
}

void TPlusSpinEdit::SetEnabled(bool on)
{
    if (!on && FModel.Spinning())
        EndSpin();
    FEnabled = on;
    FUpButton->SetInteractive(on);
    FDownButton->SetInteractive(on);
    update();
    LayoutButtons();
}

QString TPlusSpinEdit::ShownText() const
{
    QString s = Text();
    s.replace(QChar(kSpinPlaceholder), QLatin1Char('0'));
    return s;
}

void TPlusSpinEdit::SelectionPlaced()
{
    const QFontMetrics fm(font());
    const QString text = ShownText();
    const int index = FModel.FocusIndex();
    FCapXStart = FCapXStop - fm.horizontalAdvance(text);
    const int inText = std::clamp(index, 0, static_cast<int>(text.size()));
    const int w2 = fm.horizontalAdvance(text.left(inText));
    const int w3 = index >= 1 && index <= text.size() ? fm.horizontalAdvance(text.at(index - 1)) : 0;
    FFocusRect =
        QRect(QPoint(FCapXStart + w2 - w3, FCapYStart), QPoint(FCapXStart + w2 - 1, FCapYStart + FDigitHeight - 1));
    FDisplayFieldsInitialized = true;
    update();
}

bool TPlusSpinEdit::CaretVisible() const
{
    return hasFocus() && !FModel.Spinning() && FFocusRect.right() > FFocusRect.left();
}

QRect TPlusSpinEdit::CaretRect() const
{
    return QRect(FFocusRect.left(), FFocusRect.bottom(), FFocusRect.right() - FFocusRect.left(), 2);
}

void TPlusSpinEdit::paintEvent(QPaintEvent*)
{
    if (!FDisplayFieldsInitialized)
        FModel.UpdateSelection();
    const QRect cr = contentsRect();
    QPainter wp(this);
    if (FBorderStyle == TSpinBorderStyle::bsSingle) {
        wp.setPen(QPen(Qt::black, 0));
        wp.setBrush(Qt::NoBrush);
        wp.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    const int areaWidth = FUpButton->x() - cr.x();
    if (areaWidth <= 0 || cr.height() <= 0)
        return;

    // The text area is drawn off screen and copied in one go, so the digits do
    // not flicker while a held button steps.
    const qreal dpr = devicePixelRatioF();
    QImage buf(QSize(areaWidth, cr.height()) * dpr, QImage::Format_RGB32);
    buf.setDevicePixelRatio(dpr);
    buf.fill(palette().color(backgroundRole()));
    {
        QPainter p(&buf);
        p.setFont(font());
        const QFontMetrics fm(font());
        p.setPen(FEnabled ? palette().color(QPalette::Text) : kGrey);
        const QString text = Text();
        const int baseline = FCapYStart + fm.ascent();
        int x = FCapXStart;
        qsizetype runStart = 0;
        for (qsizetype i = 0; i <= text.size(); ++i) {
            if (i < text.size() && text.at(i) != QChar(kSpinPlaceholder))
                continue;
            if (i > runStart) {
                const QString run = text.mid(runStart, i - runStart);
                p.drawText(QPoint(x, baseline), run);
                x += fm.horizontalAdvance(run);
            }
            if (i < text.size()) {  // a placeholder, drawn as "0"
                p.drawText(QPoint(x, baseline), QStringLiteral("0"));
                x += FDigitWidth;
            }
            runStart = i + 1;
        }
        const int index = FModel.FocusIndex();
        const bool inText = index >= 1 && index <= text.size();
        const QRect& fr = FFocusRect;
        if (hasFocus()) {
            if (inText) {
                p.fillRect(QRect(fr.left(), fr.top(), fr.right() - fr.left(), fr.bottom() - fr.top()), kSelectedCell);
                QChar ch = text.at(index - 1);
                if (ch == QChar(kSpinPlaceholder))
                    ch = QLatin1Char('0');
                p.setPen(Qt::white);
                p.drawText(QPoint(fr.left(), baseline), QString(ch));
            }
            if (CaretVisible()) {
                p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
                p.fillRect(CaretRect(), Qt::white);
                p.setCompositionMode(QPainter::CompositionMode_SourceOver);
            }
        } else if (inText) {
            p.setPen(QPen(Qt::black, 0));
            if (fr.right() - 1 >= fr.left())
                p.drawLine(fr.left(), fr.bottom(), fr.right() - 1, fr.bottom());
        }
    }
    wp.drawImage(cr.topLeft(), buf);
}

void TPlusSpinEdit::keyPressEvent(QKeyEvent* e)
{
    if (!FEnabled) {
        e->ignore();
        return;
    }
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const bool alt = e->modifiers() & Qt::AltModifier;
    Guarded([&] {
        switch (e->key()) {
            case Qt::Key_Left:
                if (FFocusRect.left() > FDigitWidth - 2)
                    FModel.SelectDigit(FModel.IncExponent() + 1);
                return;
            case Qt::Key_Right:
                if (FModel.IncExponent() > -FModel.Decimals())
                    FModel.SelectDigit(FModel.IncExponent() - 1);
                return;
            case Qt::Key_Up:
            case Qt::Key_Down:
                if (!FModel.Spinning())
                    update();  // the caret hides for the spin
                FModel.BeginSpin();
                if (e->key() == Qt::Key_Up)
                    FModel.StepUp();
                else
                    FModel.StepDown();
                return;
            default:
                break;
        }
        if (ctrl && e->key() == Qt::Key_0) {
            FModel.RightZero();
            return;
        }
        if (ctrl || alt) {
            e->ignore();
            return;
        }
        const QString text = e->text();
        for (QChar c : text)
            FModel.EnterDigit(c.unicode());
        if (text.isEmpty())
            e->ignore();
    });
}

void TPlusSpinEdit::keyReleaseEvent(QKeyEvent* e)
{
    if (!FEnabled || e->isAutoRepeat()) {
        e->ignore();
        return;
    }
    if (FModel.Spinning())
        Guarded([&] { EndSpin(); });
}

void TPlusSpinEdit::EndSpin()
{
    FTimer->stop();
    FSpinButton = nullptr;
    update();  // the caret shows again
    FModel.EndSpin();
}

void TPlusSpinEdit::mousePressEvent(QMouseEvent* e)
{
    if (!FEnabled)
        return;
    Guarded([&] {
        if (e->button() == Qt::LeftButton) {
            const int x = static_cast<int>(std::floor(e->position().x())) - contentsRect().x();
            const QFontMetrics fm(font());
            QString s = ShownText();
            s.chop(1);
            const QChar sep(FModel.InternalThousandSep());
            const bool hasSep = FModel.InternalThousandSep() != 0;
            int i = -FModel.Decimals();
            while (!s.isEmpty() && fm.horizontalAdvance(s) > x - FCapXStart) {
                ++i;
                s.chop(1);
                if (!s.isEmpty() && (i == 0 || (hasSep && s.back() == sep)))
                    s.chop(1);
            }
            if (x < FCapXStart)
                ++i;
            FModel.SelectDigit(i);
        }
    });
    if (hasFocus())
        update();
    else
        setFocus(Qt::MouseFocusReason);
}

void TPlusSpinEdit::mouseDoubleClickEvent(QMouseEvent*)
{
    if (!FEnabled)
        return;
    Guarded([&] { FModel.RightZero(); });
}

void TPlusSpinEdit::wheelEvent(QWheelEvent* e)
{
    const int delta = e->angleDelta().y();
    if (!FEnabled || delta == 0) {
        e->ignore();
        return;
    }
    e->accept();
    // A turn the other way drops what was left of the last one.
    if ((delta > 0) != (FWheelDelta > 0))
        FWheelDelta = 0;
    FWheelDelta += delta;
    // Each whole notch is one step of the selected digit, notified as the
    // step of a pressed arrow key is.
    constexpr int kNotch = QWheelEvent::DefaultDeltasPerStep;
    while (std::abs(FWheelDelta) >= kNotch) {
        const bool up = FWheelDelta > 0;
        FWheelDelta += up ? -kNotch : kNotch;
        Guarded([&] {
            if (up)
                FModel.StepUp();
            else
                FModel.StepDown();
        });
    }
}

void TPlusSpinEdit::SpinButtonDown(TSpinButton* button, Qt::MouseButton mb)
{
    if (!FEnabled || mb != Qt::LeftButton)
        return;
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    FModel.BeginSpin();
    update();  // the caret hides for the spin
    FSpinButton = button;
    FTimer->setInterval(FirstRepeatDelay);
    FTimer->start();
    Guarded([&] {
        if (button == FUpButton)
            FModel.StepUp();
        else
            FModel.StepDown();
    });
}

void TPlusSpinEdit::TimerTick()
{
    if (!FEnabled)
        return;
    FTimer->setInterval(RepeatInterval);
    if (!FSpinButton || !FSpinButton->IsDown())
        return;  // pointer dragged off: pause
    Guarded([&] {
        if (FSpinButton == FUpButton)
            FModel.StepUp();
        else
            FModel.StepDown();
    });
}

void TPlusSpinEdit::SpinButtonUp(TSpinButton*, Qt::MouseButton mb)
{
    if (mb != Qt::LeftButton)
        return;
    // The timer always stops with the button, even if the spin already ended.
    FTimer->stop();
    FSpinButton = nullptr;
    if (FModel.Spinning())
        Guarded([&] { EndSpin(); });
}

void TPlusSpinEdit::focusInEvent(QFocusEvent* e)
{
    QWidget::focusInEvent(e);
    update();
}

void TPlusSpinEdit::focusOutEvent(QFocusEvent* e)
{
    QWidget::focusOutEvent(e);
    // A keyboard spin would never see its key release once the focus is gone.
    if (FModel.Spinning() && !FTimer->isActive())
        Guarded([&] { EndSpin(); });
    update();
}

void TPlusSpinEdit::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    LayoutButtons();
}

void TPlusSpinEdit::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        Measure();
}
