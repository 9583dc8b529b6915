#include "model/NumberText.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

TEST(NumberText, Trimming)
{
    EXPECT_EQ(TrimRightControls(" a b \r\n\t"), " a b");
    EXPECT_EQ(TrimControls("\x01 a b \r\n"), "a b");
    EXPECT_EQ(TrimControls(" \r\n"), "");
}

TEST(NumberText, Integers)
{
    EXPECT_EQ(TryStrToInt("1"), 1);
    EXPECT_EQ(TryStrToInt("-17"), -17);
    EXPECT_EQ(TryStrToInt("+17"), 17);
    EXPECT_EQ(TryStrToInt("2147483647"), 2147483647);
    EXPECT_EQ(TryStrToInt64("4000000000"), 4000000000LL);
    for (const char* bad : {"", " 1", "1 ", "1.0", "abc", "2147483648", "+-1", "+", "1,000", "0x10"}) {
        EXPECT_FALSE(TryStrToInt(bad).has_value()) << bad;
    }
    EXPECT_FALSE(TryStrToInt64("9223372036854775808").has_value());
}

TEST(NumberText, FloatsUseDotWhateverTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(TryStrToFloat("2.5"), 2.5);
    EXPECT_EQ(TryStrToFloat("-1e-7"), -1e-7);
    EXPECT_EQ(TryStrToFloat("+3.25E2"), 325.0);
    EXPECT_EQ(TryStrToFloat("7"), 7.0);
    for (const char* bad : {"", "2,5", "1,000.5", "abc", "inf", "nan", "1e999", " 2.5", "0x1p3", "2.5.1"})
        EXPECT_FALSE(TryStrToFloat(bad).has_value()) << bad;
    QLocale::setDefault(QLocale::c());
}

}  // namespace
