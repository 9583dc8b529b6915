#include "model/Settings.h"

#include <gtest/gtest.h>

namespace {

TEST(ChannelNames, NumbersFromEveryAcceptedName)
{
    const char letters[] = "ABCDEFGH";
    EXPECT_EQ(GetChannelNumber("T0"), 0);
    for (int n = 1; n <= 8; ++n) {
        const QChar l = QChar(letters[n - 1]);
        EXPECT_EQ(GetChannelNumber(QString("CH") + l), n);
        EXPECT_EQ(GetChannelNumber(QString("Ch") + l), n);
        EXPECT_EQ(GetChannelNumber(QString("Ch ") + l), n);
        EXPECT_EQ(GetChSyncName(n), QString("Ch ") + l);
        EXPECT_EQ(GetChCmdName(n), QString("CH") + l);
    }
}

TEST(ChannelNames, UnknownTextsGiveNoChannel)
{
    for (const char* name : {"", "t0", "cha", "CH A", "Ch  A", "CHI", "Ch I", "T1", " CHA", "CHA "})
        EXPECT_EQ(GetChannelNumber(name), kNoChannel) << name;
}

TEST(ChannelNames, OutOfRangeNumbersGiveEmptyNames)
{
    EXPECT_EQ(GetChSyncName(0), "T0");
    EXPECT_EQ(GetChCmdName(0), "T0");
    for (int n : {-1, 9, 100}) {
        EXPECT_TRUE(GetChSyncName(n).isEmpty()) << n;
        EXPECT_TRUE(GetChCmdName(n).isEmpty()) << n;
    }
}

TEST(ChannelNames, IndexInList)
{
    EXPECT_EQ(GetChannelIndex({"T0", "Ch A", "Ch C"}, 3), 2);
    EXPECT_EQ(GetChannelIndex({"T0", "Ch A", "Ch C"}, 0), 0);
    EXPECT_EQ(GetChannelIndex({"Ch B", "T0", "Ch B"}, 2), 2);  // the last of equal items
    EXPECT_EQ(GetChannelIndex({"T0", "Ch A"}, 2), -1);
    EXPECT_EQ(GetChannelIndex({"T0", "Ch A"}, 9), -1);
    EXPECT_EQ(GetChannelIndex({"T0", ""}, -1), -1);
}

TEST(Keywords, TablesInIndexOrder)
{
    EXPECT_EQ(Keywords(TKeywordTable::ktSystemMode), (QStringList{"NORM", "SING", "BURS", "DCYC"}));
    EXPECT_EQ(Keywords(TKeywordTable::ktChannelMode), (QStringList{"NORM", "SING", "BURS", "DCYC"}));
    EXPECT_EQ(Keywords(TKeywordTable::ktExtMode), (QStringList{"DIS", "TRIG", "GAT", "REARM"}));
    EXPECT_EQ(Keywords(TKeywordTable::ktTriggerEdge), (QStringList{"FALL", "RIS"}));
    EXPECT_EQ(Keywords(TKeywordTable::ktGatePolarity), (QStringList{"LOW", "HIGH"}));
    EXPECT_EQ(Keywords(TKeywordTable::ktChannelPolarity), (QStringList{"INV", "NORM"}));
    EXPECT_EQ(Keywords(TKeywordTable::ktChannelGateMode), (QStringList{"DIS", "LOW", "HIGH", "LOWWR", "HIGHWR"}));
    EXPECT_EQ(Keywords(TKeywordTable::ktShotCountSource), (QStringList{"T0", "CHA", "CHB", "CHC", "CHD"}));
    EXPECT_EQ(KeywordOf(TKeywordTable::ktExtMode, 3), "REARM");
    EXPECT_EQ(KeywordOf(TKeywordTable::ktExtMode, 4), "");
    EXPECT_EQ(KeywordOf(TKeywordTable::ktExtMode, -1), "");
}

TEST(Keywords, AnswersMatchWholeAndExact)
{
    std::int32_t mode = 2;
    EXPECT_FALSE(ApplyKeyword(TKeywordTable::ktChannelMode, "norm", mode));
    EXPECT_FALSE(ApplyKeyword(TKeywordTable::ktChannelMode, "NOR", mode));
    EXPECT_FALSE(ApplyKeyword(TKeywordTable::ktChannelMode, "NORM ", mode));
    EXPECT_EQ(mode, 2);
    EXPECT_TRUE(ApplyKeyword(TKeywordTable::ktChannelMode, "DCYC", mode));
    EXPECT_EQ(mode, 3);
    EXPECT_EQ(KeywordIndex(TKeywordTable::ktChannelGateMode, "HIGHWR"), 4);
    EXPECT_EQ(KeywordIndex(TKeywordTable::ktChannelGateMode, "HIGH"), 2);
}

TEST(ValueTexts, FixedDecimals)
{
    struct Case {
        double value;
        int decimals;
        const char* text;
    };
    const Case cases[] = {
        {3e-8, 12, "0.000000030000"},
        {1.5e-8, 9, "0.000000015"},
        {-2.5e-6, 12, "-0.000002500000"},
        {1000, 9, "1000.000000000"},
        {4.256, 2, "4.26"},
        {0.001, 9, "0.001000000"},
        {1234567.5, 1, "1234567.5"},
        {-1e-15, 12, "0.000000000000"},
        {0, 2, "0.00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FixedText(c.value, c.decimals), c.text) << c.value;
}

TEST(ValueTexts, CountsRoundHalvesToEven)
{
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.5, "0"}, {1.5, "2"}, {2.5, "2"}, {3.49, "3"}, {-1.5, "-2"}, {-2.5, "-2"}, {2147483647, "2147483647"},
        {7, "7"}};
    for (const auto& c : cases)
        EXPECT_EQ(CountText(c.value), c.text) << c.value;
    EXPECT_EQ(RoundCount(1e12), 2147483647);
}

TEST(ValueTexts, SystemCountsAreUnsigned)
{
    EXPECT_EQ(UnsignedCountText(4000000000.0), "4000000000");
    EXPECT_EQ(RoundUnsignedCount(4000000000.0), 4000000000u);
    EXPECT_EQ(UnsignedCountText(4000000000.5), "4000000000");
    EXPECT_EQ(UnsignedCountText(4294967295.0), "4294967295");
    EXPECT_EQ(UnsignedCountText(-3), "0");
    TSystemSettings s;
    s.BurstCount = RoundUnsignedCount(4000000000.0);
    EXPECT_EQ(QString::number(s.BurstCount), "4000000000");
}

TEST(Records, StartZero)
{
    TChannelSettingsArray channels{};
    for (const auto& c : channels)
        EXPECT_EQ(c, TChannelSettings{});
    TSystemSettings s;
    EXPECT_EQ(s.Period, 0);
    EXPECT_EQ(s.ShotCount, 0u);
}

}  // namespace
