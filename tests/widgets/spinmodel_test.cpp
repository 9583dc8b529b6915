// Value model of the spin-edit control: rendering, selection, edits, limits
// and notifications, without any window.
#include "widgets/PlusSpinModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

std::string U8(const std::u16string& s)
{
    std::string out;
    for (char16_t c : s)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}
std::u16string U16(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

// Counts notifications and records their order.
struct Recorder {
    int changes = 0;
    int increments = 0;
    std::string order;
    void Attach(TPlusSpinModel& m)
    {
        m.OnChange = [this](TPlusSpinModel&) {
            ++changes;
            order += 'C';
        };
        m.OnSetIncrement = [this](TPlusSpinModel&) {
            ++increments;
            order += 'I';
        };
    }
};

// Design-time assignment order of the main window.
void Configure(TPlusSpinModel& m, int decimals, double increment, double max, double min, double value, char16_t sep)
{
    m.setDecimals(decimals);
    m.setIncrement(increment);
    m.setMaxValue(max);
    m.setMinValue(min);
    m.setValue(value);
    m.setThousandSeparator(sep);
}

TEST(SpinModel, NewModelDefaults)
{
    TPlusSpinModel m;
    EXPECT_EQ(U8(m.Text()), "0.00");
    EXPECT_EQ(m.Base(), 10);
    EXPECT_EQ(m.Decimals(), 2);
    EXPECT_EQ(m.Increment(), 1.0);
    EXPECT_EQ(m.SavedIncrement(), 0.0);
    EXPECT_EQ(m.IncExponent(), 0);
    EXPECT_EQ(m.FocusIndex(), 1);
    EXPECT_TRUE(m.TrackSpin());
    EXPECT_TRUE(m.EditorEnabled());
}

TEST(SpinModel, FormatValueText)
{
    struct Case {
        double value;
        int decimals;
        char16_t sep;
        int base;
        const char* text;
    };
    const std::vector<Case> cases = {
        {1000, 12, u',', 10, "1,000.000,000,000,000"},
        {2e-07, 9, u',', 10, "0.000,000,200"},
        {1000000, 0, u',', 10, "1,000,000"},
        {4000000000.0, 0, u',', 10, "4,000,000,000"},
        {5, 2, 0, 10, "5.00"},
        {-100, 0, u',', 10, "-,100"},
        {-1000, 0, u',', 10, "-1,000"},
        {-100000, 0, u',', 10, "-,100,000"},
        {100, 0, u',', 10, "100"},
        {-1000, 12, u',', 10, "-1,000.000,000,000,000"},
        {0.125, 2, 0, 10, "0.13"},  // halves away from zero
        {-0.125, 2, 0, 10, "-0.13"},
        {2.5, 0, 0, 10, "3"},
        {1.005, 2, 0, 10, "1.00"},  // the double lies just below the half
        {999.999, 2, u',', 10, "1,000.00"},
        {-0.001, 2, 0, 10, "0.00"},  // shows as zero: no sign
        {1e-20, 3, 0, 10, "0.000"},
        {0.30000000000000004, 18, u',', 10, "0.300,000,000,000,000,044"},
        {123456.789, 3, u',', 16, "12,3456.789"},  // groups of four outside base 10
        {1234.5678, 5, u',', 16, "1234.5678,0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TPlusSpinModel m;
        m.setBase(c.base);
        m.setDecimals(c.decimals);
        m.setThousandSeparator(c.sep);
        m.setValue(c.value);
        EXPECT_EQ(U8(m.FormatValue(c.value)), c.text);
    }
}

TEST(SpinModel, ValueKeepsFullPrecision)
{
    TPlusSpinModel m;
    m.setValue(1.23456);
    EXPECT_EQ(U8(m.Text()), "1.23");
    EXPECT_EQ(m.Value(), 1.23456);
}

TEST(SpinModel, DigitExponent)
{
    struct Case {
        double x;
        int base;
        int r;
    };
    const std::vector<Case> cases = {
        {1000, 10, 3},
        {999, 10, 2},
        {-1000, 10, 4},
        {-100, 10, 3},
        {0.5, 10, 1},
        {1000000, 10, 6},
        {4000000000.0, 10, 9},
        {0, 10, 1},
        {1, 10, 1},
        {-0.5, 10, 2},
        {1e15, 10, 15},
        {15, 10, 1},
        {8, 2, 3},
        {7, 2, 2},
        {16, 4, 2},
        {65536, 16, 4},
        {65535, 16, 3},
        {INFINITY, 10, 308},
        {-INFINITY, 10, 309},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << " base " << c.base);
        TPlusSpinModel m;
        m.setBase(c.base);
        EXPECT_EQ(m.DigitExponent(c.x), c.r);
    }
}

TEST(SpinModel, UpdateSelectionPlacesAndPads)
{
    struct Case {
        double value;
        int decimals;
        char16_t sep;
        int exponent;
        const char* text;
        int index;
    };
    const std::vector<Case> cases = {
        {5, 0, u',', 3, "_,__5", 1},
        {999, 0, u',', 3, "_,999", 1},
        {5, 0, u',', 2, "__5", 1},
        {5, 0, u',', 6, "_,___,__5", 1},
        {5, 0, 0, 3, "___5", 1},
        {1000, 12, u',', -8, "1,000.000,000,000,000", 16},
        {1000, 9, u',', -8, "1,000.000,000,000", 16},
        {1000, 9, u',', 3, "1,000.000,000,000", 1},
        {-5, 0, 0, 2, "_-5", 1},
        {-50.5, 1, 0, 2, "-50.5", 1},
        {5, 2, 0, 0, "5.00", 1},
        {5, 2, 0, -2, "5.00", 4},
        {1234.5, 1, u',', 1, "1,234.5", 4},
        {1234.5, 1, u',', 3, "1,234.5", 1},
        {1234.5, 1, u',', 4, "_1,234.5", 1},
        {0.5, 4, u',', -4, "0.500,0", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " e=" << c.exponent);
        TPlusSpinModel m;
        m.setDecimals(c.decimals);
        m.setThousandSeparator(c.sep);
        m.setValue(c.value);
        m.SelectDigit(c.exponent);
        EXPECT_EQ(m.IncExponent(), c.exponent);
        EXPECT_EQ(U8(m.Text()), c.text);
        EXPECT_EQ(m.FocusIndex(), c.index);
    }
}

TEST(SpinModel, SelectionMovingRightDropsPadding)
{
    TPlusSpinModel m;
    m.setDecimals(0);
    m.setThousandSeparator(u',');
    m.setValue(5);
    m.SelectDigit(3);
    ASSERT_EQ(U8(m.Text()), "_,__5");
    m.SelectDigit(2);
    EXPECT_EQ(U8(m.Text()), "__5");
    m.SelectDigit(0);
    EXPECT_EQ(U8(m.Text()), "5");
    EXPECT_EQ(m.FocusIndex(), 1);
}

TEST(SpinModel, IncrementSelectsExponent)
{
    struct Case {
        double inc;
        int decimals;
        int exponent;
        double step;
        double saved;
    };
    const std::vector<Case> cases = {
        {1e-08, 12, -8, 1e-08, 1e-08},
        {5e-09, 12, -9, 5e-09, 5e-09},
        {4e-09, 12, -9, 4e-09, 4e-09},
        {25e-09, 12, -8, 25e-09, 25e-09},
        {0.01, 2, -2, 0.01, 0.01},
        {1000, 0, 3, 1000, 1000},
        {999.95, 0, 3, 999.95, 999.95},  // less than 0.01 % below a power counts as it
        {999, 0, 2, 999, 999},
        {-0.01, 2, -2, 0.01, -0.01},
        {0, 2, -3, 0, 0},
        {1e-21, 4, -5, 1e-21, 1e-21},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.inc);
        TPlusSpinModel m;
        Recorder r;
        m.setDecimals(c.decimals);
        r.Attach(m);
        m.setIncrement(c.inc);
        EXPECT_EQ(m.IncExponent(), c.exponent);
        EXPECT_DOUBLE_EQ(m.Increment(), c.step);
        EXPECT_DOUBLE_EQ(m.SavedIncrement(), c.saved);
        EXPECT_EQ(r.increments, 1);
        EXPECT_EQ(r.changes, 0);
    }
}

TEST(SpinModel, IncrementIndexInDelayText)
{
    TPlusSpinModel m;
    Configure(m, 12, 1e-08, 1000, -1000, 1000, u',');
    EXPECT_EQ(U8(m.Text()), "1,000.000,000,000,000");
    EXPECT_EQ(m.FocusIndex(), 16);
    EXPECT_EQ(m.Text()[15], u'0');
}

TEST(SpinModel, SelectDigitBoundsAndMinimumStep)
{
    TPlusSpinModel m;
    Configure(m, 9, 1e-08, 1000, 2e-07, 1000, u',');
    Recorder r;
    r.Attach(m);
    m.SelectDigit(-20);  // below the last decimal
    EXPECT_EQ(m.IncExponent(), -9);
    EXPECT_DOUBLE_EQ(m.Increment(), 1e-08);  // never below the minimum step
    m.SelectDigit(50);                       // above the widest limit
    EXPECT_EQ(m.IncExponent(), 3);
    EXPECT_DOUBLE_EQ(m.Increment(), 1000);
    m.SelectDigit(3);  // nothing changes, nothing fires
    EXPECT_EQ(r.increments, 2);
    // Back from right of the minimum step's digit to that digit.
    m.SelectDigit(-9);
    m.SelectDigit(-8);
    EXPECT_EQ(m.IncExponent(), -8);
    EXPECT_DOUBLE_EQ(m.Increment(), 1e-08);

    TPlusSpinModel free;  // equal limits: no upper bound
    free.SelectDigit(12);
    EXPECT_EQ(free.IncExponent(), 12);
    EXPECT_DOUBLE_EQ(free.Increment(), 1e12);
}

TEST(SpinModel, InfiniteLimitOrStep)
{
    // An infinite limit bounds the selection no more than the largest finite
    // value would.
    TPlusSpinModel m;
    Configure(m, 2, 0.01, INFINITY, 0, 5, 0);
    m.SelectDigit(5);
    EXPECT_EQ(m.IncExponent(), 5);
    EXPECT_DOUBLE_EQ(m.Increment(), 1e5);
    m.SelectDigit(400);
    EXPECT_EQ(m.IncExponent(), 308);

    // An infinite step selects the leftmost digit a finite value can have.
    TPlusSpinModel step;
    step.setIncrement(INFINITY);
    EXPECT_EQ(step.IncExponent(), 308);
    EXPECT_EQ(step.FocusIndex(), 1);
    EXPECT_EQ(step.Text().size(), 308u + 4u);  // 308 placeholders before "0.00"
    step.StepUp();
    EXPECT_EQ(step.Value(), 0);
}

TEST(SpinModel, NegativeIncrementSetsNoMinimum)
{
    TPlusSpinModel m;
    m.setDecimals(3);
    m.setIncrement(-0.01);
    m.StepUp();
    EXPECT_DOUBLE_EQ(m.Value(), 0.01);
    m.SelectDigit(-3);
    EXPECT_DOUBLE_EQ(m.Increment(), 0.001);
}

TEST(SpinModel, ClampingAndChangeNotifications)
{
    TPlusSpinModel m;
    m.setDecimals(0);
    m.setMaxValue(10);
    m.setMinValue(-10);
    Recorder r;
    r.Attach(m);
    m.setValue(25);
    EXPECT_EQ(m.Value(), 10);
    EXPECT_EQ(r.changes, 1);
    m.setValue(30);  // clamps to the same value: silent
    m.StepUp();
    EXPECT_EQ(r.changes, 1);
    m.setValue(-99);
    EXPECT_EQ(m.Value(), -10);
    m.StepDown();
    EXPECT_EQ(r.changes, 2);
    m.setValue(5);
    m.setMaxValue(3);  // below the value: clamps, one notification
    EXPECT_EQ(m.Value(), 3);
    EXPECT_EQ(r.changes, 4);
    m.setMaxValue(3);  // unchanged limit
    EXPECT_EQ(r.changes, 4);
    m.SetValue(-4);  // silent store
    EXPECT_EQ(m.Value(), -4);
    EXPECT_EQ(r.changes, 4);
    m.setMinValue(5);  // crossing limits: the minimum wins
    EXPECT_EQ(m.Value(), 5);
    EXPECT_EQ(r.changes, 5);
}

TEST(SpinModel, NoLimitsWhenEqual)
{
    TPlusSpinModel m;
    m.setValue(-1e9);
    EXPECT_EQ(m.Value(), -1e9);
    m.setMaxValue(5);
    m.setMinValue(5);
    m.setValue(1e12);
    EXPECT_EQ(m.Value(), 1e12);
}

TEST(SpinModel, NonFiniteValuesAreNotStored)
{
    TPlusSpinModel m;
    m.setValue(3);
    m.setValue(std::nan(""));
    m.setValue(INFINITY);
    EXPECT_EQ(m.Value(), 3);
    m.setMaxValue(100);
    m.setValue(INFINITY);
    EXPECT_EQ(m.Value(), 100);
}

TEST(SpinModel, TrackSpinNotifiesOncePerSpin)
{
    struct Case {
        bool track;
        double start;
        int during;
        int atEnd;
    };
    const std::vector<Case> cases = {{false, 0, 0, 1}, {true, 0, 10, 10}, {false, 100, 0, 0} /* at the limit */};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "track " << c.track << " start " << c.start);
        TPlusSpinModel m;
        m.setMaxValue(100);
        m.setValue(c.start);
        m.setTrackSpin(c.track);
        Recorder r;
        r.Attach(m);
        m.BeginSpin();
        for (int i = 0; i < 10; ++i)
            m.StepUp();
        EXPECT_EQ(r.changes, c.during);
        m.EndSpin();
        EXPECT_EQ(r.changes, c.atEnd);
        EXPECT_FALSE(m.Modified());
        EXPECT_FALSE(m.Spinning());
    }
}

TEST(SpinModel, EnterDigit)
{
    struct Case {
        double value;
        int decimals;
        char16_t sep;
        double min, max;
        int exponent;
        char16_t key;
        double expect;
        const char* text;
        int exponentAfter;
        const char* order;
    };
    const std::vector<Case> cases = {
        {5, 0, u',', 0, 0, 3, u'7', 7005, "7,005", 2, "IC"},
        {-50.5, 1, 0, -1000, 1000, 2, u'3', 350.5, "350.5", 1, "IC"},
        {-50.5, 1, 0, -100, 100, 2, u'3', 100, "100.0", 1, "IC"},
        {1234.56, 2, u',', 0, 0, -1, u'9', 1234.96, "1,234.96", -2, "IC"},
        {1234.56, 2, u',', 0, 0, 1, u'0', 1204.56, "1,204.56", 0, "IC"},
        {1.23, 2, 0, 0, 0, -2, u'7', 1.27, "1.27", -2, "C"},  // last decimal: stays
        {5, 0, 0, 0, 10, 1, u'9', 10, "10", 0, "IC"},         // clamped to the limit
        {1.23, 2, 0, 0, 0, -2, u'3', 1.23, "1.23", -2, ""},   // same digit: no change
        {1.23, 2, 0, 0, 0, 0, u':', 1.23, "1.23", 0, ""},     // not a digit
        {1.23, 2, 0, 0, 0, 0, u';', 1.23, "1.23", 0, ""},
        {1.23, 2, 0, 0, 0, 0, u'a', 1.23, "1.23", 0, ""},
        {1.23, 2, 0, 0, 0, 0, u'-', 1.23, "1.23", 0, ""},
        {1000, 3, u'.', 0, 0, 3, u'2', 2000, "2 000.000", 2, "IC"},  // separator shown as space
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " e=" << c.exponent << " key " << char(c.key));
        TPlusSpinModel m;
        m.setDecimals(c.decimals);
        m.setMaxValue(c.max);
        m.setMinValue(c.min);
        m.setValue(c.value);
        m.setThousandSeparator(c.sep);
        m.SelectDigit(c.exponent);
        Recorder r;
        r.Attach(m);
        m.EnterDigit(c.key);
        EXPECT_DOUBLE_EQ(m.Value(), c.expect);
        EXPECT_EQ(U8(m.Text()), c.text);
        EXPECT_EQ(m.IncExponent(), c.exponentAfter);
        EXPECT_EQ(r.order, c.order);
    }
}

TEST(SpinModel, EnterDigitInvalidKeepsEverything)
{
    TPlusSpinModel m;
    m.setDecimals(0);
    m.setMaxValue(100);
    m.setMinValue(-100);
    m.setValue(-5);
    m.SelectDigit(2);
    ASSERT_EQ(U8(m.Text()), "_-5");
    Recorder r;
    r.Attach(m);
    try {
        m.EnterDigit(u'7');
        FAIL() << "no error raised";
    } catch (const EPlusSpinError& e) {
        EXPECT_STREQ(e.what(), "Not a valid number");
    }
    EXPECT_EQ(m.Value(), -5);
    EXPECT_EQ(U8(m.Text()), "_-5");
    EXPECT_EQ(m.IncExponent(), 2);
    EXPECT_EQ(m.FocusIndex(), 1);
    EXPECT_EQ(r.order, "");
}

TEST(SpinModel, EnterDigitIgnoredWhenEditorDisabledOrBeyondText)
{
    TPlusSpinModel m;
    m.setValue(1.25);
    m.setEditorEnabled(false);
    m.EnterDigit(u'9');
    EXPECT_EQ(m.Value(), 1.25);
    m.setEditorEnabled(true);
    m.setIncrement(1e-5);  // finer than the last decimal: selection right of the text
    EXPECT_GT(m.FocusIndex(), static_cast<int>(m.Text().size()));
    m.setValue(1.256);
    m.EnterDigit(u'9');
    EXPECT_EQ(m.Value(), 1.256);
}

TEST(SpinModel, EnterDigitOtherBase)
{
    TPlusSpinModel m;
    m.setBase(16);
    m.setDecimals(0);
    m.SelectDigit(1);
    m.EnterDigit(u'a');  // "a0" in base 16
    EXPECT_EQ(m.Value(), 160);
    EXPECT_EQ(m.IncExponent(), 0);
    m.EnterDigit(u'g');  // not a digit of base 16
    EXPECT_EQ(m.Value(), 160);
}

TEST(SpinModel, ParseDigits)
{
    struct Case {
        const char* text;
        int base;
        bool ok;
        double value;
    };
    const std::vector<Case> cases = {
        {"123.5", 10, true, 123.5}, {"-12", 10, true, -12}, {"-0.5", 10, true, -0.5}, {"", 10, true, 0},
        {"ff", 16, true, 255},      {"10.1", 2, true, 2.5}, {"007", 10, true, 7},     {"-", 10, false, 0},
        {"1.2.3", 10, false, 0},    {"1-2", 10, false, 0},  {"_1", 10, false, 0},     {" 1", 10, false, 0},
        {"1a", 10, false, 0},       {"12,3", 10, false, 0}, {"2", 2, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.ok) {
            EXPECT_DOUBLE_EQ(TPlusSpinModel::ParseDigits(U16(c.text), c.base), c.value);
        } else {
            EXPECT_THROW(TPlusSpinModel::ParseDigits(U16(c.text), c.base), EPlusSpinError);
        }
    }
}

TEST(SpinModel, RightZero)
{
    struct Case {
        double value;
        int decimals;
        int exponent;
        double expect;
    };
    const std::vector<Case> cases = {
        {1234.56, 2, 1, 1230},
        {1234.56, 2, -1, 1234.5},
        {1234.56, 2, 0, 1234},
        {-5, 0, 2, 0},
        {-1234.56, 2, 2, -1200},
        {4000000000.0, 0, 9, 4000000000.0},
        {1234.5678901234, 10, -2, 1234.56},
        {1234567.891234567, 9, -9, 1234567.89123},  // twelve significant digits kept
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " e=" << c.exponent);
        TPlusSpinModel m;
        m.setDecimals(c.decimals);
        m.setValue(c.value);
        m.SelectDigit(c.exponent);
        m.RightZero();
        EXPECT_DOUBLE_EQ(m.Value(), c.expect);
    }
}

TEST(SpinModel, IntValueRoundsHalvesToEven)
{
    struct Case {
        double value;
        std::int64_t expect;
    };
    const std::vector<Case> cases = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {2.6, 3}, {4000000000.0, 4000000000LL}};
    for (const auto& c : cases) {
        TPlusSpinModel m;
        m.setValue(c.value);
        EXPECT_EQ(m.IntValue(), c.expect) << c.value;
    }
    TPlusSpinModel m;
    Recorder r;
    r.Attach(m);
    m.setIntValue(7);
    EXPECT_EQ(m.Value(), 7);
    EXPECT_EQ(r.changes, 1);
}

TEST(SpinModel, ThousandSeparatorSubstitution)
{
    struct Case {
        char16_t sep;
        char16_t effective;
    };
    const std::vector<Case> cases = {{u'.', u' '}, {u'-', u' '}, {u'+', u' '},   {u'7', u' '}, {u'a', u' '},
                                     {u'Z', u' '}, {u',', u','}, {u'\'', u'\''}, {0, 0},       {0x2009, 0x2009}};
    for (const auto& c : cases) {
        TPlusSpinModel m;
        m.setThousandSeparator(c.sep);
        EXPECT_EQ(m.ThousandSeparator(), c.sep);
        EXPECT_EQ(m.InternalThousandSep(), c.effective) << int(c.sep);
    }
    TPlusSpinModel m;
    m.setDecimals(0);
    m.setValue(1234567);
    m.setThousandSeparator(u'.');
    EXPECT_EQ(U8(m.Text()), "1 234 567");
}

TEST(SpinModel, BaseChangeMakesStepAPowerOfTheBase)
{
    TPlusSpinModel m;
    m.setDecimals(0);
    m.SelectDigit(2);
    m.setBase(16);
    EXPECT_EQ(m.IncExponent(), 2);
    EXPECT_DOUBLE_EQ(m.Increment(), 256);
    EXPECT_THROW(m.setBase(1), EPlusSpinError);
    EXPECT_THROW(m.setBase(21), EPlusSpinError);
    EXPECT_EQ(m.Base(), 16);
}

// Every spin edit of the main window with its design-time values, assigned
// in the form's order: the text shown, the selected character, and one step
// each way.
TEST(SpinModel, MainWindowDesignConfigurations)
{
    struct Case {
        const char* name;
        int decimals;
        double inc;
        double min, max;
        bool hasValue;
        double value;
        char16_t sep;
        const char* text;
        char16_t selected;
        const char* afterUp;
        const char* afterDown;
    };
    const std::vector<Case> cases = {
        {"PeriodAdj", 9, 1e-08, 2e-07, 1000, true, 1000, u',', "1,000.000,000,000", u'0', "1,000.000,000,000",
         "999.999,999,990"},
        {"SysBurstAdj", 0, 1, 1, 4e9, true, 4e9, u',', "4,000,000,000", u'0', "4,000,000,000", "3,999,999,999"},
        {"SysDutyOnAdj", 0, 1, 1, 4e9, false, 0, u',', "1", u'1', "2", "1"},
        {"SysDutyOffAdj", 0, 1, 1, 4e9, false, 0, u',', "1", u'1', "2", "1"},
        {"TrigThresholdAdj", 2, 0.01, 0.2, 15, true, 2.5, u',', "2.50", u'0', "2.51", "2.49"},
        {"PCountadj", 0, 1, 1, 15, true, 1, 0, "1", u'1', "2", "1"},
        {"CycleCountAdj", 0, 1, 0, 1000000, true, 1000000, u',', "1,000,000", u'0', "1,000,000", "999,999"},
        {"ChDelayAdj1", 12, 1e-08, -1000, 1000, true, 1000, u',', "1,000.000,000,000,000", u'0',
         "1,000.000,000,000,000", "999.999,999,990,000"},
        {"ChDelayAdj5", 9, 1e-08, -1000, 1000, true, 1000, u',', "1,000.000,000,000", u'0', "1,000.000,000,000",
         "999.999,999,990"},
        {"ChWidthAdj1", 9, 1e-08, 1e-08, 1000, true, 1000, u',', "1,000.000,000,000", u'0', "1,000.000,000,000",
         "999.999,999,990"},
        {"ChWidthAdj3", 9, 1e-08, 1e-08, 1000, true, 2e-07, u',', "0.000,000,200", u'0', "0.000,000,210",
         "0.000,000,190"},
        {"ChAmplitudeAdj1", 2, 0.01, 3.3, 5, true, 5, u',', "5.00", u'0', "5.00", "4.99"},
        {"ChAmplitudeAdj2", 2, 0.01, 3.3, 5, true, 5, 0, "5.00", u'0', "5.00", "4.99"},
        {"ChBurstAdj1", 0, 1, 1, 1000000, false, 0, u',', "1", u'1', "2", "1"},
        {"ChBurstAdj3", 0, 1, 1, 1000000, true, 1, u',', "1", u'1', "2", "1"},
        {"ChBurstAdj6", 0, 1, 1, 1000000, true, 1, 0, "1", u'1', "2", "1"},
        {"ChWaitCountAdj1", 0, 1, 0, 1000000, false, 0, u',', "0", u'0', "1", "0"},
        {"ChWaitCountAdj4", 0, 1, 0, 100000, true, 1, u',', "1", u'1', "2", "0"},
        {"ChDutyOnAdj1", 0, 1, 1, 1000000, false, 0, u',', "1", u'1', "2", "1"},
        {"ChDutyOffAdj1", 0, 1, 1, 1000000, false, 0, u',', "1", u'1', "2", "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TPlusSpinModel m;
        m.setDecimals(c.decimals);
        m.setIncrement(c.inc);
        m.setMaxValue(c.max);
        m.setMinValue(c.min);
        if (c.hasValue)
            m.setValue(c.value);
        m.setThousandSeparator(c.sep);
        Recorder r;
        r.Attach(m);  // bound last, like the form does
        EXPECT_EQ(U8(m.Text()), c.text);
        ASSERT_GE(m.FocusIndex(), 1);
        ASSERT_LE(m.FocusIndex(), static_cast<int>(m.Text().size()));
        EXPECT_EQ(m.Text()[m.FocusIndex() - 1], c.selected);
        const double start = m.Value();
        m.StepUp();
        EXPECT_EQ(U8(m.Text()), c.afterUp);
        EXPECT_EQ(r.changes, m.Value() != start ? 1 : 0);
        m.SetValue(start);
        m.StepDown();
        EXPECT_EQ(U8(m.Text()), c.afterDown);
    }
}

}  // namespace
