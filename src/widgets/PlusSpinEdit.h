// TPlusSpinEdit: the numeric spin-edit control.
//
// A custom-drawn control that shows a floating-point value as right-aligned,
// grouped fixed-point text with one selected digit, plus two small spin
// buttons. Arrow keys, the buttons (with auto-repeat) and the mouse step or
// select digits; typed digits overwrite the selected one; each notch of the
// mouse wheel steps the selected digit as an arrow key does (GuardWheel in
// WheelGuard.h keeps an unfocused control from it). The value, text and
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
    const QImage& Glyph() const { return FGlyph; }
    bool IsDown() const { return FDown; }
    // When false, presses are ignored entirely (the owner's own Enabled).
    void SetInteractive(bool on) { FInteractive = on; }

signals:
    void MouseDown(TSpinButton* sender, Qt::MouseButton button);
    void MouseUp(TSpinButton* sender, Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    QImage FGlyph;
    bool FHeld = false;
    bool FDown = false;
    bool FInteractive = true;
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

    TPlusSpinModel& Model() { return FModel; }
    const TPlusSpinModel& Model() const { return FModel; }

    // ---- Properties of the model (see PlusSpinModel.h). Setters notify as
    // the model's do: OnChange on every change of the value.
    double Value() const { return FModel.Value(); }
    void setValue(double v) { FModel.setValue(v); }
    std::int64_t IntValue() const { return FModel.IntValue(); }
    void setIntValue(std::int64_t v) { FModel.setIntValue(v); }
    double MinValue() const { return FModel.MinValue(); }
    void setMinValue(double v) { FModel.setMinValue(v); }
    double MaxValue() const { return FModel.MaxValue(); }
    void setMaxValue(double v) { FModel.setMaxValue(v); }
    double Increment() const { return FModel.Increment(); }
    void setIncrement(double v) { FModel.setIncrement(v); }
    int Decimals() const { return FModel.Decimals(); }
    void setDecimals(int d) { FModel.setDecimals(d); }
    QChar ThousandSeparator() const { return QChar(FModel.ThousandSeparator()); }
    void setThousandSeparator(QChar c) { FModel.setThousandSeparator(c.unicode()); }
    int Base() const { return FModel.Base(); }
    void setBase(int b) { FModel.setBase(b); }
    bool TrackSpin() const { return FModel.TrackSpin(); }
    void setTrackSpin(bool on) { FModel.setTrackSpin(on); }
    bool EditorEnabled() const { return FModel.EditorEnabled(); }
    void setEditorEnabled(bool on) { FModel.setEditorEnabled(on); }
    QString Text() const { return QString::fromStdU16String(FModel.Text()); }

    // ---- Properties of the window.
    // Sizes the control to its text: odd height from the font, width from the
    // wider limit. Assigning false only stores the flag.
    bool AutoSize() const { return FAutoSize; }
    void setAutoSize(bool on);
    TSpinBorderStyle BorderStyle() const { return FBorderStyle; }
    void setBorderStyle(TSpinBorderStyle style);
    // The control's own enable flag, separate from QWidget::setEnabled: when
    // false the control still takes the focus by Tab and paints (grey), but
    // ignores keys, clicks, the spin buttons and timer ticks.
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool on);

    // ---- Operations (programmatic; they notify like user input).
    void SelectDigit(int n) { FModel.SelectDigit(n); }
    void StepUp() { FModel.StepUp(); }
    void StepDown() { FModel.StepDown(); }
    void RightZero() { FModel.RightZero(); }

    // ---- Layout and parts, in client coordinates (inside the border).
    int DigitWidth() const { return FDigitWidth; }
    int DigitHeight() const { return FDigitHeight; }
    int CapXStart() const { return FCapXStart; }
    int CapXStop() const { return FCapXStop; }
    int CapYStart() const { return FCapYStart; }
    // Cell of the selected character: left, top, right, bottom inclusive.
    QRect FocusRect() const { return FFocusRect; }
    bool DisplayFieldsInitialized() const { return FDisplayFieldsInitialized; }
    QRect ClientRect() const { return contentsRect(); }
    TSpinButton* UpButton() const { return FUpButton; }
    TSpinButton* DownButton() const { return FDownButton; }
    QTimer* Timer() const { return FTimer; }
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
    void wheelEvent(QWheelEvent* e) override;
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

    TPlusSpinModel FModel;
    TSpinButton* FUpButton = nullptr;
    TSpinButton* FDownButton = nullptr;
    QTimer* FTimer = nullptr;
    TSpinButton* FSpinButton = nullptr;  // button that started the running spin
    bool FAutoSize = true;
    TSpinBorderStyle FBorderStyle = TSpinBorderStyle::bsSingle;
    bool FEnabled = true;
    int FDigitWidth = 0;
    int FDigitHeight = 0;
    int FCapXStart = 0;
    int FCapXStop = 0;
    int FCapYStart = 0;
    QRect FFocusRect;
    bool FDisplayFieldsInitialized = false;
    // The part of a wheel turn not yet a whole notch (a fine-grained wheel
    // or a touchpad reports eighths of a degree in small pieces).
    int FWheelDelta = 0;
};
