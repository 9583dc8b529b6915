// Number texts of the settings snapshot.
#include "readback/SettingsLines.h"

#include <QLocale>
#include <gtest/gtest.h>

TEST(SettingsRealText, FifteenDigitsFixedOrExponent)
{
    struct Row {
        double value;
        const char* text;
    } rows[] = {
        {0, "0"},
        {0.001, "0.001"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {1e-7, "1E-7"},
        {2e-7, "2E-7"},
        {-2.5e-9, "-2.5E-9"},
        {1.5, "1.5"},
        {-4000, "-4000"},
        {4.0, "4"},
        {3.6, "3.6"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {2.5e15, "2.5E15"},
        {999999999999999.9, "1E15"},  // rounds to 15 digits first
        {0.1 + 0.2, "0.3"},           // 0.30000000000000004 at 17 digits
        {1.23456789012345678, "1.23456789012346"},
        {0.000123456, "0.000123456"},
        {1000, "1000"},
        {5e-12, "5E-12"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(SettingsRealText(r.value), r.text) << r.value;
}

TEST(SettingsRealText, IgnoresTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_EQ(SettingsRealText(1.25), "1.25");
    EXPECT_EQ(SettingsRealLine(":PULS0:EXT:LEV", 1.25), ":PULS0:EXT:LEV 1.25");
    QLocale::setDefault(saved);
}

TEST(SettingsLines, ValueKinds)
{
    EXPECT_EQ(SettingsIntLine(":PULS1:WCO", -3), ":PULS1:WCO -3");
    EXPECT_EQ(SettingsUIntLine(":PULS0:BCO", 4000000000u), ":PULS0:BCO 4000000000");
    EXPECT_EQ(SettingsRealLine(":PULS1:WIDT", 2e-7), ":PULS1:WIDT 2E-7");
    EXPECT_EQ(SettingsAnswerLine(":PULS0:MOD", "norm"), ":PULS0:MOD norm");
    EXPECT_EQ(SettingsAnswerLine(":PULS1:SYNC", ""), ":PULS1:SYNC ");
    EXPECT_EQ(SettingsCommentLine("FPGA Ver: 3.0.7"), "// FPGA Ver: 3.0.7");
    const QString stamp = SettingsTimeStampLine(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9, 321)));
    EXPECT_TRUE(stamp.startsWith("// "));
    EXPECT_TRUE(stamp.endsWith(",07:08:09")) << stamp.toStdString();
    EXPECT_FALSE(stamp.contains(", "));
}
