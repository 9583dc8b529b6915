// Value model of the numeric spin-edit control TPlusSpinEdit.
//
// Holds a floating-point value with its limits, the current step and the
// selected digit position, renders the value as grouped fixed-point text and
// applies the digit-wise edits (stepping, typed digits, zeroing of the digits
// right of the selection). It needs no windowing toolkit: the windowed side
// (PlusSpinEdit.h) attaches itself as a TPlusSpinView to measure, paint and size.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

// Raised for a user edit that cannot be carried out, e.g. "Not a valid number".
class EPlusSpinError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The decimal separator of this program, whatever the locale says.
inline constexpr char16_t kSpinDecimalSeparator = u'.';
// Stands for a leading zero that exists only because the selection lies left
// of the value's first character; drawn as "0".
inline constexpr char16_t kSpinPlaceholder = u'_';

// Hooks through which the model reaches its window. Every method is called
// synchronously from inside the model operation that needs it.
class TPlusSpinView {
public:
    virtual ~TPlusSpinView() = default;
    // The text and FFocusIndex were just placed: recompute the geometry.
    virtual void SelectionPlaced() = 0;
    // The appearance changed: repaint.
    virtual void Invalidate() = 0;
    // Limits, decimals or base changed: re-size the control if it sizes itself.
    virtual void ReAutoSize() = 0;
    // OnChange / OnSetIncrement were just fired by the model.
    virtual void Changed() = 0;
    virtual void IncrementSet() = 0;
};

class TPlusSpinModel {
public:
    using TNotifyEvent = std::function<void(TPlusSpinModel&)>;

    TPlusSpinModel();
    virtual ~TPlusSpinModel() = default;
    TPlusSpinModel(const TPlusSpinModel&) = delete;
    TPlusSpinModel& operator=(const TPlusSpinModel&) = delete;

    // ---- Properties. Setters named set* notify as the property assignment does.
    double Value() const { return FValue; }
    // Clamps, stores and fires OnChange when the value changed (once at the end
    // of a spin instead when TrackSpin is false).
    void setValue(double v);
    // Value rounded to the nearest integer, halves to the even neighbour.
    std::int64_t IntValue() const;
    void setIntValue(std::int64_t v);

    double MinValue() const { return FMinValue; }
    double MaxValue() const { return FMaxValue; }
    // Stores the limit, re-clamps the value (with OnChange) and re-sizes.
    // Equal limits mean "no limits".
    void setMinValue(double v);
    void setMaxValue(double v);

    // Current step. Assigning it also sets the minimum step (a negative
    // argument steps by its magnitude and sets no minimum) and the selection.
    double Increment() const { return FIncrement; }
    void setIncrement(double x);

    int Decimals() const { return FDecimals; }
    void setDecimals(int d);  // clamped to 0..18

    // Character code 0 means no grouping.
    char16_t ThousandSeparator() const { return FThousandSep; }
    void setThousandSeparator(char16_t c);

    int Base() const { return FBase; }
    void setBase(int b);  // 2..20, otherwise EPlusSpinError

    bool EditorEnabled() const { return FEditorEnabled; }
    void setEditorEnabled(bool on) { FEditorEnabled = on; }
    bool TrackSpin() const { return FTrackSpin; }
    void setTrackSpin(bool on) { FTrackSpin = on; }

    // Display text: the rendered value plus placeholders/separators that the
    // selection needs. "_" is a placeholder.
    const std::u16string& Text() const { return FText; }

    // Notifications, receiving this model. Run synchronously.
    TNotifyEvent OnChange;
    TNotifyEvent OnSetIncrement;

    // ---- Operations.
    // Clamps and stores without any notification (the silent counterpart of
    // setValue). Non-finite values are ignored unless a limit clamps them.
    void SetValue(double NewValue);
    // Selects the digit position with exponent n and sets the step to match.
    void SelectDigit(int n);
    void StepUp() { setValue(FValue + FIncrement); }
    void StepDown() { setValue(FValue - FIncrement); }
    // Overwrites the selected digit with c and moves the selection one digit to
    // the right. Throws EPlusSpinError("Not a valid number") when the result
    // does not parse; nothing is changed then.
    void EnterDigit(char16_t c);
    // Sets every digit right of the selected one to 0.
    void RightZero();
    // Fires OnChange.
    virtual void Change();
    void FormatValueText();
    void UpdateSelection();

    // A spin (held arrow key or spin button) starts / ends. With TrackSpin false
    // the owed OnChange is delivered once by EndSpin.
    void BeginSpin() { FSpinning = true; }
    void EndSpin();
    bool Spinning() const { return FSpinning; }
    bool Modified() const { return FModified; }

    // ---- Read access to the internal state.
    int IncExponent() const { return FIncExponent; }
    int FocusIndex() const { return FFocusIndex; }  // 1-based index into Text()
    double SavedIncrement() const { return FSavedIncrement; }
    char16_t InternalThousandSep() const { return FInternalThousandSep; }
    int GroupSize() const { return FBase == 10 ? 3 : 4; }

    // Rendering of an arbitrary value with the present decimals and separator.
    std::u16string FormatValue(double v) const;
    // Exponent of the leftmost position needed to show x (minus sign counted).
    int DigitExponent(double x) const;

    // Value of a digit character: 0-9, a-z/A-Z as 10-35, otherwise -1.
    static int DigitValue(char16_t c);
    // Parses digits of base b with an optional leading "-" and at most one
    // decimal separator; throws EPlusSpinError("Not a valid number").
    static double ParseDigits(const std::u16string& s, int b);
    // Natural logarithm of a base (2..20) as used for exponent estimates; the
    // table values are cut (not rounded) to 13 places, so each is a little
    // below the true value and exact powers of the base are recognised.
    static double LnBase(int b);
    // Fixed-point decimal text of v: first taken to 18 significant digits, at
    // most maxSig significant digits kept, rounded at the last of `decimals`
    // fraction digits with halves away from zero; "." as point, no grouping.
    static std::string FixedText(double v, int decimals, int maxSig = 18);

    void SetView(TPlusSpinView* view) { FView = view; }

private:
    std::u16string Group(const std::string& plain) const;
    void ReclampAfterLimitChange();

    double FValue = 0;
    double FMinValue = 0;
    double FMaxValue = 0;
    int FDecimals = 2;
    int FBase = 10;
    char16_t FThousandSep = 0;
    char16_t FInternalThousandSep = 0;
    bool FTrackSpin = true;
    bool FEditorEnabled = true;
    double FIncrement = 1.0;
    double FSavedIncrement = 0;
    int FIncExponent = 0;
    int FFocusIndex = 1;
    bool FSpinning = false;
    bool FModified = false;
    std::u16string FText;
    TPlusSpinView* FView = nullptr;
};
