// The windowed spin-edit control driven with QTest key and mouse events.
#include "widgets/PlusSpinEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct Config {
    int decimals = 2;
    double increment = 1;
    double max = 0;
    double min = 0;
    double value = 0;
    QChar sep;
};

class SpinEdit : public ::testing::Test {
protected:
    void SetUp() override
    {
        TPlusSpinEdit::ErrorReporter = [this](const QString& text) { errors << text; };
        window = std::make_unique<QWidget>();
        window->resize(400, 200);
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(16);
        window->setFont(f);
    }
    void TearDown() override { TPlusSpinEdit::ErrorReporter = nullptr; }

    TPlusSpinEdit* Make(const Config& c, int y = 10)
    {
        auto* s = new TPlusSpinEdit(window.get());
        s->setDecimals(c.decimals);
        s->setIncrement(c.increment);
        s->setMaxValue(c.max);
        s->setMinValue(c.min);
        s->setValue(c.value);
        s->setThousandSeparator(c.sep);
        s->move(10, y);
        QObject::connect(s, &TPlusSpinEdit::OnChange, [this](TPlusSpinEdit*) {
            ++changes;
            order += 'C';
        });
        QObject::connect(s, &TPlusSpinEdit::OnSetIncrement, [this](TPlusSpinEdit*) { order += 'I'; });
        return s;
    }

    void ShowAndFocus(QWidget* w)
    {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        if (w) {
            w->setFocus();
            ASSERT_TRUE(w->hasFocus());
        }
    }

    // Widget-coordinate centre of the character at 0-based position k.
    static QPoint CharCentre(TPlusSpinEdit* s, int k)
    {
        const QFontMetrics fm(s->font());
        QString shown = s->Text();
        shown.replace(QLatin1Char('_'), QLatin1Char('0'));
        const int x = s->CapXStart() + fm.horizontalAdvance(shown.left(k)) + fm.horizontalAdvance(shown.at(k)) / 2;
        return s->ClientRect().topLeft() + QPoint(x, s->CapYStart() + s->DigitHeight() / 2);
    }

    static void Send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton b, Qt::MouseButtons held)
    {
        QMouseEvent e(type, pos, w->mapToGlobal(pos), b, held, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    static void Press(QWidget* w)
    {
        Send(w, QEvent::MouseButtonPress, w->rect().center(), Qt::LeftButton, Qt::LeftButton);
    }
    static void Release(QWidget* w)
    {
        Send(w, QEvent::MouseButtonRelease, w->rect().center(), Qt::LeftButton, Qt::NoButton);
    }
    static void DragTo(QWidget* w, QPoint p) { Send(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }

    static void Key(QWidget* w, QEvent::Type type, int key, bool autoRepeat)
    {
        QKeyEvent e(type, key, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(w, &e);
    }

    // A turn of the mouse wheel over the control's digits, DELTA in eighths
    // of a degree (120 a notch away from the user); whether it was taken.
    static bool Wheel(TPlusSpinEdit* s, QPoint delta)
    {
        const QPointF at = s->ClientRect().topLeft() + QPointF(s->CapXStop() - 2, s->height() / 2.0);
        QWheelEvent e(at, s->mapToGlobal(at), QPoint(), delta, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(s, &e);
        return e.isAccepted();
    }
    static bool Wheel(TPlusSpinEdit* s, int delta) { return Wheel(s, QPoint(0, delta)); }

    static int CountColour(const QImage& img, QRect area, QColor colour)
    {
        area &= img.rect();
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (img.pixelColor(x, y) == colour)
                    ++n;
        return n;
    }

    std::unique_ptr<QWidget> window;
    QStringList errors;
    int changes = 0;
    std::string order;
};

TEST_F(SpinEdit, GlyphSizeFromButtonWidth)
{
    const std::vector<std::pair<int, int>> cases = {{10, 4}, {11, 6}, {14, 6}, {15, 8}, {18, 8}, {20, 10}};
    for (auto [bw, c] : cases)
        EXPECT_EQ(TPlusSpinEdit::GlyphSize(bw), c) << bw;
}

TEST_F(SpinEdit, LayoutAndAutoSize)
{
    TPlusSpinEdit* s = Make({9, 1e-08, 1000, 2e-07, 1000, QLatin1Char(',')});
    const QFontMetrics fm(s->font());
    EXPECT_EQ(s->DigitWidth(), fm.horizontalAdvance(QLatin1Char('0')));
    EXPECT_EQ(s->DigitHeight(), fm.height());
    int h = s->DigitHeight() + s->DigitHeight() / 3;
    if (h % 2 == 0)
        ++h;
    EXPECT_EQ(s->height(), h);
    EXPECT_EQ(s->height() % 2, 1);
    // Text width plus the height, but at least enough to show the whole text.
    const int bw = std::max(10, s->DigitWidth() + s->DigitWidth() / 2 + 8);
    auto autoWidth = [&](const char* text) {
        const int tw = fm.horizontalAdvance(QString::fromLatin1(text));
        return std::max(tw + h, tw + bw + s->DigitWidth() + 2);
    };
    EXPECT_EQ(s->width(), autoWidth("1,000.000,000,000"));
    EXPECT_GE(s->CapXStart(), s->DigitWidth() / 2);

    const QRect cr = s->ClientRect();
    EXPECT_EQ(s->UpButton()->geometry(), QRect(cr.x() + cr.width() - bw, cr.y(), bw, cr.height() / 2));
    EXPECT_EQ(s->DownButton()->geometry(),
              QRect(cr.x() + cr.width() - bw, cr.y() + cr.height() / 2, bw, cr.height() - cr.height() / 2));
    const int c = TPlusSpinEdit::GlyphSize(bw);
    EXPECT_EQ(s->UpButton()->Glyph().size(), QSize(c + 1, c / 2 + 2));
    EXPECT_EQ(s->CapXStop(), cr.width() - bw - s->DigitWidth() / 2);
    EXPECT_EQ(s->CapYStart(), (cr.height() - s->DigitHeight()) / 2);
    EXPECT_EQ(s->CapXStart(), s->CapXStop() - fm.horizontalAdvance(s->Text()));
    EXPECT_TRUE(s->DisplayFieldsInitialized());

    // The wider limit decides the width: -1000 needs one position more than 1000.
    s->setMinValue(-1000);
    EXPECT_EQ(s->width(), autoWidth("-1,000.000,000,000"));
    // Without auto-sizing the size stays; a new size lays the buttons out again.
    s->setAutoSize(false);
    ShowAndFocus(nullptr);
    s->resize(300, 40);
    s->setMaxValue(100000);
    EXPECT_EQ(s->size(), QSize(300, 40));
    EXPECT_EQ(s->UpButton()->geometry().right(), 300 - 2);  // inside the right border
}

TEST_F(SpinEdit, ClickSelectsDigitUnderPointer)
{
    TPlusSpinEdit* s = Make({2, 1, 0, 0, 1234.56, QLatin1Char(',')});
    ShowAndFocus(nullptr);
    ASSERT_EQ(s->Text(), QStringLiteral("1,234.56"));
    // Character: 1 , 2 3 4 . 5 6
    const int expected[] = {3, 2, 2, 1, 0, 0, -1, -2};
    for (int k = 0; k < 8; ++k) {
        QTest::mouseClick(s, Qt::LeftButton, {}, CharCentre(s, k));
        EXPECT_EQ(s->Model().IncExponent(), expected[k]) << "character " << k;
    }
    EXPECT_TRUE(s->hasFocus());  // a click takes the focus
    // Left of the text: the position left of the first character.
    QTest::mouseClick(s, Qt::LeftButton, {}, s->ClientRect().topLeft() + QPoint(s->CapXStart() - 3, 5));
    EXPECT_EQ(s->Model().IncExponent(), 4);
    EXPECT_EQ(s->Text(), QStringLiteral("_1,234.56"));
}

TEST_F(SpinEdit, ClickLeftOfTextIsBoundedByLimits)
{
    TPlusSpinEdit* s = Make({0, 1, 1000, 0, 5, QLatin1Char(',')});
    s->setAutoSize(false);
    s->resize(200, s->height());
    ShowAndFocus(nullptr);
    // Each click left of the text selects the position just left of it.
    const char* texts[] = {"_5", "__5", "_,__5", "_,__5"};
    const int exponents[] = {1, 2, 3, 3};
    for (int i = 0; i < 4; ++i) {
        QTest::mouseClick(s, Qt::LeftButton, {}, s->ClientRect().topLeft() + QPoint(2, 5));
        EXPECT_EQ(s->Model().IncExponent(), exponents[i]);
        EXPECT_EQ(s->Text(), QString::fromLatin1(texts[i]));
    }
    // A click on a separator selects the digit on its right.
    QTest::mouseClick(s, Qt::LeftButton, {}, CharCentre(s, 1));
    EXPECT_EQ(s->Model().IncExponent(), 2);
}

TEST_F(SpinEdit, ArrowKeysSelectAndStep)
{
    TPlusSpinEdit* s = Make({2, 0.01, 15, 0.2, 2.5, QLatin1Char(',')});
    ShowAndFocus(s);
    QTest::keyClick(s, Qt::Key_Right);  // already the last decimal
    EXPECT_EQ(s->Model().IncExponent(), -2);
    QTest::keyClick(s, Qt::Key_Left);
    EXPECT_EQ(s->Model().IncExponent(), -1);
    QTest::keyClick(s, Qt::Key_Up);
    EXPECT_DOUBLE_EQ(s->Value(), 2.6);
    QTest::keyClick(s, Qt::Key_Down);
    QTest::keyClick(s, Qt::Key_Down);
    EXPECT_DOUBLE_EQ(s->Value(), 2.4);
    EXPECT_EQ(changes, 3);
    // At the upper limit a step changes nothing and notifies nothing.
    s->setValue(15);
    changes = 0;
    QTest::keyClick(s, Qt::Key_Up);
    EXPECT_EQ(s->Value(), 15);
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(s->Model().Spinning());
}

// Each notch of the wheel steps the selected digit once, with one
// notification, as an arrow key does; pieces of a notch add up.
TEST_F(SpinEdit, WheelNotchesStepTheSelectedDigit)
{
    TPlusSpinEdit* s = Make({2, 0.01, 15, 0.2, 2.5, QLatin1Char(',')});
    ShowAndFocus(s);
    s->SelectDigit(-1);
    struct Step {
        int delta;
        double value;
        int changes;
    };
    const Step steps[] = {
        {120, 2.6, 1},   // a notch away from the user: up
        {-240, 2.4, 3},  // two notches at once: two steps, two notifications
        {60, 2.4, 3},    // half a notch: nothing yet
        {60, 2.5, 4},    // the other half
        {40, 2.5, 4},    // a third, then a turn back drops it
        {-80, 2.5, 4},
        {-40, 2.4, 5},
    };
    for (const Step& k : steps) {
        SCOPED_TRACE(k.delta);
        EXPECT_TRUE(Wheel(s, k.delta)) << "the focused control takes the wheel";
        EXPECT_DOUBLE_EQ(s->Value(), k.value);
        EXPECT_EQ(changes, k.changes);
    }
    EXPECT_EQ(s->Model().IncExponent(), -1);
    EXPECT_FALSE(s->Model().Spinning());
    EXPECT_TRUE(s->CaretVisible());
    // At the limit a notch changes and notifies nothing.
    s->setValue(15);
    changes = 0;
    EXPECT_TRUE(Wheel(s, 120));
    EXPECT_EQ(s->Value(), 15);
    EXPECT_EQ(changes, 0);
    // A sideways turn is not the control's; nor is any turn while it is
    // disabled.
    EXPECT_FALSE(Wheel(s, QPoint(120, 0)));
    s->SetEnabled(false);
    EXPECT_FALSE(Wheel(s, -120));
    EXPECT_EQ(s->Value(), 15);
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SpinEdit, LeftArrowStopsAtTheLeftEdge)
{
    TPlusSpinEdit* s = Make({0, 1, 0, 0, 5, QChar()});  // no limits: the selection can pad left
    s->setAutoSize(false);
    s->resize(6 * s->DigitWidth() + 20, s->height());
    ShowAndFocus(s);
    for (int i = 0; i < 20; ++i)
        QTest::keyClick(s, Qt::Key_Left);
    const int e = s->Model().IncExponent();
    EXPECT_GT(e, 0);
    EXPECT_LE(s->FocusRect().left(), s->DigitWidth() - 2);
    QTest::keyClick(s, Qt::Key_Left);
    EXPECT_EQ(s->Model().IncExponent(), e);
}

TEST_F(SpinEdit, TypedDigitsAndCtrlZero)
{
    TPlusSpinEdit* s = Make({0, 1, 0, 0, 5, QLatin1Char(',')});
    ShowAndFocus(s);
    s->SelectDigit(3);
    order.clear();
    QTest::keyClick(s, Qt::Key_7, Qt::NoModifier);
    EXPECT_EQ(s->Value(), 7005);
    EXPECT_EQ(s->Text(), QStringLiteral("7,005"));
    EXPECT_EQ(order, "IC");                        // the selection moves before the value changes
    QTest::keyClicks(s, QStringLiteral("12;:x"));  // non-digits change nothing
    EXPECT_EQ(s->Value(), 7125);
    s->SelectDigit(2);
    QTest::keyClick(s, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(s->Value(), 7100);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SpinEdit, InvalidDigitReportsErrorAndKeepsState)
{
    TPlusSpinEdit* s = Make({0, 1, 100, -100, -5, QChar()});
    ShowAndFocus(s);
    s->SelectDigit(2);
    ASSERT_EQ(s->Text(), QStringLiteral("_-5"));
    changes = 0;
    QTest::keyClick(s, Qt::Key_7);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], QStringLiteral("Not a valid number"));
    EXPECT_EQ(s->Value(), -5);
    EXPECT_EQ(s->Text(), QStringLiteral("_-5"));
    EXPECT_EQ(s->Model().IncExponent(), 2);
    EXPECT_EQ(changes, 0);
}

TEST_F(SpinEdit, DoubleClickSelectsAndZeroesRight)
{
    TPlusSpinEdit* s = Make({2, 1, 0, 0, 1234.56, QLatin1Char(',')});
    ShowAndFocus(s);
    // A double-click arrives as a click followed by the double-click.
    QTest::mouseClick(s, Qt::LeftButton, {}, CharCentre(s, 3));  // the tens digit
    QTest::mouseDClick(s, Qt::LeftButton, {}, CharCentre(s, 3));
    EXPECT_EQ(s->Model().IncExponent(), 1);
    EXPECT_DOUBLE_EQ(s->Value(), 1230);
}

TEST_F(SpinEdit, HeldArrowKeyWithoutTrackSpinNotifiesOnRelease)
{
    TPlusSpinEdit* s = Make({0, 1, 100, 0, 10, QChar()});
    s->setTrackSpin(false);
    ShowAndFocus(s);
    Key(s, QEvent::KeyPress, Qt::Key_Up, false);
    EXPECT_FALSE(s->CaretVisible());
    for (int i = 0; i < 5; ++i) {  // keyboard auto-repeat: release/press pairs
        Key(s, QEvent::KeyRelease, Qt::Key_Up, true);
        Key(s, QEvent::KeyPress, Qt::Key_Up, true);
    }
    EXPECT_EQ(s->Value(), 16);
    EXPECT_EQ(changes, 0);
    Key(s, QEvent::KeyRelease, Qt::Key_Up, false);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(s->Model().Spinning());
    EXPECT_TRUE(s->CaretVisible());
    // With tracking every step notifies.
    s->setTrackSpin(true);
    changes = 0;
    Key(s, QEvent::KeyPress, Qt::Key_Down, false);
    Key(s, QEvent::KeyPress, Qt::Key_Down, true);
    Key(s, QEvent::KeyRelease, Qt::Key_Down, false);
    EXPECT_EQ(changes, 2);
}

TEST_F(SpinEdit, SpinButtonAutoRepeat)
{
    TPlusSpinEdit* s = Make({0, 1, 100, 0, 10, QChar()});
    ShowAndFocus(nullptr);
    TSpinButton* up = s->UpButton();
    Press(up);
    EXPECT_TRUE(s->hasFocus());
    EXPECT_EQ(s->Value(), 11);  // first step at once
    EXPECT_TRUE(s->Timer()->isActive());
    EXPECT_EQ(s->Timer()->interval(), TPlusSpinEdit::FirstRepeatDelay);
    EXPECT_EQ(TPlusSpinEdit::FirstRepeatDelay, 500);
    s->TimerTick();
    EXPECT_EQ(s->Value(), 12);
    EXPECT_EQ(s->Timer()->interval(), TPlusSpinEdit::RepeatInterval);
    EXPECT_EQ(TPlusSpinEdit::RepeatInterval, 150);
    DragTo(up, QPoint(-20, -20));  // off the button: paused
    EXPECT_FALSE(up->IsDown());
    s->TimerTick();
    EXPECT_EQ(s->Value(), 12);
    DragTo(up, up->rect().center());  // back: resumes
    s->TimerTick();
    EXPECT_EQ(s->Value(), 13);
    Release(up);
    EXPECT_FALSE(s->Timer()->isActive());
    EXPECT_FALSE(s->Model().Spinning());
    EXPECT_EQ(changes, 3);

    Press(s->DownButton());
    s->TimerTick();
    Release(s->DownButton());
    EXPECT_EQ(s->Value(), 11);
}

TEST_F(SpinEdit, HeldButtonWithoutTrackSpinNotifiesOnce)
{
    struct Case {
        double start;
        int expected;
    };
    for (auto c : {Case{10, 1}, Case{100, 0} /* at the limit: ticks, no change */}) {
        TPlusSpinEdit* s = Make({0, 1, 100, 0, c.start, QChar()});
        s->setTrackSpin(false);
        ShowAndFocus(nullptr);
        changes = 0;
        Press(s->UpButton());
        for (int i = 0; i < 9; ++i)
            s->TimerTick();
        EXPECT_TRUE(s->Timer()->isActive());
        EXPECT_EQ(changes, 0);
        Release(s->UpButton());
        EXPECT_EQ(s->Value(), std::min(c.start + 10, 100.0));
        EXPECT_EQ(changes, c.expected) << c.start;
        delete s;
    }
}

TEST_F(SpinEdit, DisabledIgnoresInputButTakesFocusByTab)
{
    TPlusSpinEdit* a = Make({0, 1, 100, 0, 10, QChar()}, 10);
    TPlusSpinEdit* b = Make({0, 1, 100, 0, 20, QChar()}, 60);
    b->SetEnabled(false);
    EXPECT_TRUE(b->isEnabled());  // the toolkit's own flag is untouched
    ShowAndFocus(a);
    QTest::keyClick(a, Qt::Key_Tab);
    ASSERT_TRUE(b->hasFocus());
    changes = 0;
    QTest::keyClick(b, Qt::Key_Up);
    QTest::keyClick(b, Qt::Key_Left);
    QTest::keyClick(b, Qt::Key_5);
    QTest::keyClick(b, Qt::Key_0, Qt::ControlModifier);
    QTest::mouseClick(b, Qt::LeftButton, {}, CharCentre(b, 0));
    QTest::mouseDClick(b, Qt::LeftButton, {}, CharCentre(b, 0));
    Press(b->UpButton());
    b->TimerTick();
    Release(b->UpButton());
    EXPECT_EQ(b->Value(), 20);
    EXPECT_EQ(b->Model().IncExponent(), 0);
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(b->Timer()->isActive());
    // A click does not take the focus either.
    a->setFocus();
    QTest::mouseClick(b, Qt::LeftButton, {}, CharCentre(b, 0));
    EXPECT_TRUE(a->hasFocus());

    // Focused and disabled: blue cell, caret, grey text and grey glyph fill.
    b->setFocus();
    EXPECT_TRUE(b->CaretVisible());
    const QImage img = b->grab().toImage();
    const QRect cell = b->FocusRect().translated(b->ClientRect().topLeft());
    EXPECT_GT(CountColour(img, cell.adjusted(0, 0, -1, -3), QColor(0, 0, 255)), 0);
    const QRect text(b->ClientRect().topLeft() + QPoint(b->CapXStart(), b->CapYStart()),
                     QSize(cell.left() - b->ClientRect().left() - b->CapXStart(), b->DigitHeight()));
    EXPECT_GT(CountColour(img, text, QColor(128, 128, 128)), 0);
    EXPECT_EQ(CountColour(img, text, QColor(0, 0, 0)), 0);
    const QImage glyph = b->UpButton()->Glyph();
    EXPECT_GT(CountColour(glyph, glyph.rect(), QColor(128, 128, 128)), 0);
    EXPECT_EQ(CountColour(glyph, glyph.rect(), QColor(0, 0, 0)), 0);
    b->SetEnabled(true);
    EXPECT_EQ(CountColour(b->UpButton()->Glyph(), glyph.rect(), QColor(128, 128, 128)), 0);
}

TEST_F(SpinEdit, PaintsSelectionFocusedAndUnfocused)
{
    TPlusSpinEdit* s = Make({2, 0.01, 15, 0.2, 2.5, QLatin1Char(',')});
    TPlusSpinEdit* other = Make({0, 1, 0, 0, 0, QChar()}, 60);
    ShowAndFocus(s);
    const QRect cell = s->FocusRect().translated(s->ClientRect().topLeft());
    const int cellPixels = (cell.width() - 1) * (cell.height() - 1);
    QImage img = s->grab().toImage();
    const int blue = CountColour(img, cell.adjusted(0, 0, -1, -1), QColor(0, 0, 255));
    EXPECT_GT(blue, cellPixels / 2);
    EXPECT_LT(blue, cellPixels);  // the white digit is drawn on it
    EXPECT_GT(CountColour(img, cell, Qt::white), 0);
    // Outside the cell the text is black on white.
    const QRect left(s->ClientRect().topLeft() + QPoint(s->CapXStart(), s->CapYStart()),
                     QSize(cell.left() - s->ClientRect().left() - s->CapXStart(), s->DigitHeight()));
    EXPECT_EQ(CountColour(img, left, QColor(0, 0, 255)), 0);

    other->setFocus();
    img = s->grab().toImage();
    EXPECT_EQ(CountColour(img, cell, QColor(0, 0, 255)), 0);
    const QRect underline(cell.left(), cell.bottom(), cell.width() - 1, 1);
    EXPECT_EQ(CountColour(img, underline, Qt::black), underline.width());
}

TEST_F(SpinEdit, ProgrammaticAssignmentsNotify)
{
    TPlusSpinEdit* s = Make({2, 1, 0, 0, 0, QChar()});
    changes = 0;
    order.clear();
    s->setValue(3);
    s->setValue(3);
    s->setIntValue(4);
    s->setMaxValue(2);  // clamps the value
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(s->Value(), 2);
    s->setIncrement(0.1);
    EXPECT_EQ(order, "CCCI");
}

TEST_F(SpinEdit, FontChangeMeasuresAgain)
{
    TPlusSpinEdit* s = Make({0, 1, 1000, 0, 5, QChar()});
    const int oldHeight = s->height();
    QFont big = s->font();
    big.setPixelSize(32);
    s->setFont(big);
    EXPECT_EQ(s->DigitHeight(), QFontMetrics(big).height());
    EXPECT_GT(s->height(), oldHeight);
    EXPECT_EQ(s->height() % 2, 1);
}

}  // namespace
