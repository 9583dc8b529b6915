// TPlusSpinEdit: the numeric spin-edit control.
//
// A custom-drawn control that shows a floating-point value as right-aligned,
// grouped fixed-point text with one selected digit, plus two small spin
// buttons. Arrow keys, the buttons (with auto-repeat) and the mouse step or
// select digits; typed digits overwrite the selected one. The value, text and
// step live in TPlusSpinModel (PlusSpinModel.h); this class turns input into
// model operations and draws the result.
//
// Notifications: the Qt signals OnChange and OnSetIncrement, emitted
// synchronously from inside the operation that caused them, for programmatic
// assignments as well as for user input. Connect them after assigning the
// design-time values so that building a window fires no handler.
#pragma once

#include "widgets/PlusSpinModel.h"

#include <QImage>
#include <QWidget>

#include <functional>

class QTimer;

enum class TSpinBorderStyle { bsNone, bsSingle };

// One of the two spin buttons. Never takes the focus. Reports mouse-down and
// mouse-up of any button; its pressed state follows the pointer while the
// left button is held (dragging off releases it, dragging back presses it).
class TSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TSpinButton(QWidget* parent);
    void SetGlyph(const QImage& glyph);
    const QImage& Glyph() const { return fGlyph; }
    bool IsDown() const { return fDown; }
    // When false, presses are ignored entirely (the owner's own Enabled).
    void SetInteractive(bool on) { fInteractive = on; }

    std::function<void(TSpinButton*, Qt::MouseButton)> OnMouseDown;
    std::function<void(TSpinButton*, Qt::MouseButton)> OnMouseUp;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    QImage fGlyph;
    bool fHeld = false;
    bool fDown = false;
    bool fInteractive = true;
};

class TPlusSpinEdit : public QWidget, private TPlusSpinView {
    Q_OBJECT
public:
    // Auto-repeat of a held spin button: the second step comes FirstRepeatDelay
    // ms after the press, later ones every RepeatInterval ms.
    static constexpr int FirstRepeatDelay = 500;
    static constexpr int RepeatInterval = 150;

    // Receives the text of an error raised inside a user action (key, mouse,
    // timer), e.g. "Not a valid number". Empty: a critical message box. The
    // control keeps its value, text and selection.
    static std::function<void(const QString&)> ErrorReporter;
    static void ReportError(const QString& text);

    explicit TPlusSpinEdit(QWidget* parent = nullptr);
    ~TPlusSpinEdit() override;

    TPlusSpinModel& Model() { return fModel; }
    const TPlusSpinModel& Model() const { return fModel; }

    // ---- Properties of the model (see PlusSpinModel.h). Setters notify as
    // the model's do: OnChange on every change of the value.
    double Value() const { return fModel.Value(); }
    void setValue(double v) { fModel.setValue(v); }
    std::int64_t IntValue() const { return fModel.IntValue(); }
    void setIntValue(std::int64_t v) { fModel.setIntValue(v); }
    double MinValue() const { return fModel.MinValue(); }
    void setMinValue(double v) { fModel.setMinValue(v); }
    double MaxValue() const { return fModel.MaxValue(); }
    void setMaxValue(double v) { fModel.setMaxValue(v); }
    double Increment() const { return fModel.Increment(); }
    void setIncrement(double v) { fModel.setIncrement(v); }
    int Decimals() const { return fModel.Decimals(); }
    void setDecimals(int d) { fModel.setDecimals(d); }
    QChar ThousandSeparator() const { return QChar(fModel.ThousandSeparator()); }
    void setThousandSeparator(QChar c) { fModel.setThousandSeparator(c.unicode()); }
    int Base() const { return fModel.Base(); }
    void setBase(int b) { fModel.setBase(b); }
    bool TrackSpin() const { return fModel.TrackSpin(); }
    void setTrackSpin(bool on) { fModel.setTrackSpin(on); }
    bool EditorEnabled() const { return fModel.EditorEnabled(); }
    void setEditorEnabled(bool on) { fModel.setEditorEnabled(on); }
    QString Text() const { return QString::fromStdU16String(fModel.Text()); }

    // ---- Properties of the window.
    // Sizes the control to its text: odd height from the font, width from the
    // wider limit. Assigning false only stores the flag.
    bool AutoSize() const { return fAutoSize; }
    void setAutoSize(bool on);
    TSpinBorderStyle BorderStyle() const { return fBorderStyle; }
    void setBorderStyle(TSpinBorderStyle style);
    // The control's own enable flag, separate from QWidget::setEnabled: when
    // false the control still takes the focus by Tab and paints (grey), but
    // ignores keys, clicks, the spin buttons and timer ticks.
    bool Enabled() const { return fEnabled; }
    void SetEnabled(bool on);

    // ---- Operations (programmatic; they notify like user input).
    void SelectDigit(int n) { fModel.SelectDigit(n); }
    void StepUp() { fModel.StepUp(); }
    void StepDown() { fModel.StepDown(); }
    void RightZero() { fModel.RightZero(); }

    // ---- Layout and parts, in client coordinates (inside the border).
    int DigitWidth() const { return fDigitWidth; }
    int DigitHeight() const { return fDigitHeight; }
    int CapXStart() const { return fCapXStart; }
    int CapXStop() const { return fCapXStop; }
    int CapYStart() const { return fCapYStart; }
    // Cell of the selected character: left, top, right, bottom inclusive.
    QRect FocusRect() const { return fFocusRect; }
    bool DisplayFieldsInitialized() const { return fDisplayFieldsInitialized; }
    QRect ClientRect() const { return contentsRect(); }
    TSpinButton* UpButton() const { return fUpButton; }
    TSpinButton* DownButton() const { return fDownButton; }
    QTimer* Timer() const { return fTimer; }
    // Size of the triangle glyphs for a button width (the glyph is c + 1 wide).
    static int GlyphSize(int buttonWidth);
    // The flat caret under the selected digit: shown while focused and idle.
    bool CaretVisible() const;
    QRect CaretRect() const;

    // The auto-repeat timer's tick: the step of the button being held.
    void TimerTick();

    QSize sizeHint() const override;

signals:
    void OnChange(TPlusSpinEdit* sender);
    void OnSetIncrement(TPlusSpinEdit* sender);

protected:
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    // TPlusSpinView
    void SelectionPlaced() override;
    void Invalidate() override { update(); }
    void ReAutoSize() override;
    void Changed() override { emit OnChange(this); }
    void IncrementSet() override { emit OnSetIncrement(this); }

    void Measure();
    void LayoutButtons();
    void DoAutoSize();
    void SpinButtonDown(TSpinButton* button, Qt::MouseButton mb);
    void SpinButtonUp(TSpinButton* button, Qt::MouseButton mb);
    void EndSpin();
    QImage MakeGlyph(bool up, int c) const;
    // The display text with placeholders shown as "0".
    QString ShownText() const;
    // Runs a user action; errors go to ErrorReporter.
    template <class F>
    void Guarded(F&& action);

    TPlusSpinModel fModel;
    TSpinButton* fUpButton = nullptr;
    TSpinButton* fDownButton = nullptr;
    QTimer* fTimer = nullptr;
    TSpinButton* fSpinButton = nullptr;  // button that started the running spin
    bool fAutoSize = true;
    TSpinBorderStyle fBorderStyle = TSpinBorderStyle::bsSingle;
    bool fEnabled = true;
    int fDigitWidth = 0;
    int fDigitHeight = 0;
    int fCapXStart = 0;
    int fCapXStop = 0;
    int fCapYStart = 0;
    QRect fFocusRect;
    bool fDisplayFieldsInitialized = false;
};
