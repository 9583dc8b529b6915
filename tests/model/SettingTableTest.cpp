#include "model/SettingTable.h"

#include "model/Capabilities.h"
#include "model/SettingsSnapshot.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(SettingTable, RowsStandInTheOrderOfTheirIdentifiers)
{
    int i = 0;
    for (const TSettingDescription& s : SettingTable()) {
        EXPECT_EQ(static_cast<int>(s.Id), i) << s.SetHeader;
        EXPECT_EQ(&Setting(s.Id), &s);
        ++i;
    }
    EXPECT_EQ(i, static_cast<int>(TSettingId::siMuxGate) + 1);
}

// The lines the panel sends for an edit, byte for byte.
TEST(SettingTable, SetCommandsAreTheWireLines)
{
    const struct {
        TSettingId id;
        int channel;
        double value;
        const char* line;
    } cases[] = {
        {TSettingId::siWidth, 1, 2e-6, ":PULS1:WIDT 0.000002000"},
        {TSettingId::siDelay, 8, -1.5e-9, ":PULS8:DEL -0.000000001500"},
        {TSettingId::siDelay, 2, -1e-13, ":PULS2:DEL 0.000000000000"},
        {TSettingId::siAmplitude, 3, 4.126, ":PULS3:OUTP:AMPL 4.13"},
        {TSettingId::siPeriod, 0, 1e-3, ":PULS0:PER 0.001000000"},
        {TSettingId::siTriggerLevel, 0, 2.5, ":PULS0:EXT:LEV 2.50"},
        {TSettingId::siSystemMode, 0, IndexOf(TSystemMode::Burst), ":PULS0:MOD BURS"},
        {TSettingId::siExtMode, 0, IndexOf(TExtMode::ReArm), ":PULS0:EXT:MOD REARM"},
        {TSettingId::siTriggerEdge, 0, IndexOf(TTriggerEdge::Rising), ":PULS0:EXT:EDG RIS"},
        {TSettingId::siGatePolarity, 0, IndexOf(TGatePolarity::Low), ":PULS0:EXT:POL LOW"},
        {TSettingId::siChannelMode, 4, IndexOf(TChannelMode::DutyCycle), ":PULS4:CMOD DCYC"},
        {TSettingId::siPolarity, 1, IndexOf(TChannelPolarity::Inverted), ":PULS1:POL INV"},
        {TSettingId::siGateMode, 1, IndexOf(TChannelGateMode::ActiveHighWR), ":PULS1:CGAT HIGHWR"},
        {TSettingId::siMuxGate, 2, IndexOf(TMuxGateMode::Invert), ":PULS2:MUXG 3"},
        {TSettingId::siMuxMask, 2, 5, ":PULS2:MUX 5"},
        {TSettingId::siSyncSource, 2, 3, ":PULS2:SYNC CHC"},
        {TSettingId::siSyncSource, 5, 0, ":PULS5:SYNC T0"},
        {TSettingId::siBurstCount, 1, 2.5, ":PULS1:BCO 2"},  // halves to the even neighbour
        {TSettingId::siWaitCount, 1, 3.5, ":PULS1:WCO 4"},
        {TSettingId::siSystemBurstCount, 0, 5e9, ":PULS0:BCO 4294967295"},
        {TSettingId::siSystemDutyOffCount, 0, -3, ":PULS0:OCO 0"},
        {TSettingId::siEnabled, 7, 1, ":PULS7:STAT 1"},
        {TSettingId::siAutoStart, 0, 0, ":SYST:AUT 0"},
        {TSettingId::siPeriodCounterEnabled, 0, 1, ":PULS0:EXTP:STAT ON"},
        {TSettingId::siPeriodAutoUpdate, 0, 0, ":PULS0:EXTP:AUT OFF"},
        {TSettingId::siShotCountEnabled, 0, 1, ":PULS0:COUN:STAT 1"},
        {TSettingId::siShotCountSource, 0, 2, ":PULS0:COUN:SOUR CHB"},
        {TSettingId::siSyncUpdateAuto, 0, 0, ":SYST:UPD:AUTO 0"},
        {TSettingId::siPeriodsToAverage, 0, 7, ":PULS0:EXTP:NCOU 7"},
        {TSettingId::siCycleCount, 0, 12, ":PULS0:CCO 12"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SetCommandOf(Setting(c.id), c.channel, c.value), c.line);
}

TEST(SettingTable, QueriesReadTheSettingBack)
{
    EXPECT_EQ(QueryOf(Setting(TSettingId::siExtMode)), ":PULS0:EXT:MODE?");
    EXPECT_EQ(QueryOf(Setting(TSettingId::siWidth), 3), ":PULS3:WIDT?");
    EXPECT_EQ(QueryOf(Setting(TSettingId::siSyncUpdateAuto)), ":SYST:UPD:AUTO?");
    EXPECT_EQ(QueryHeaderOf(Setting(TSettingId::siAmplitude), 1), ":PULS1:OUTP:AMPL");
    EXPECT_EQ(SetHeaderOf(Setting(TSettingId::siExtMode)), ":PULS0:EXT:MOD");
}

TEST(SettingOfCommand, NamesTheSettingAndChannelACommandChanges)
{
    const struct {
        const char* line;
        TSettingId id;
        int channel;
    } cases[] = {
        {":PULS1:WIDT 2E-6", TSettingId::siWidth, 1},
        {":PULSE0:MODE BURS", TSettingId::siSystemMode, 0},
        {":pulse0:mode burs", TSettingId::siSystemMode, 0},
        {"PULS0:MOD NORM", TSettingId::siSystemMode, 0},
        {":PULS8:DEL 1E-9", TSettingId::siDelay, 8},
        {":PULSE3:DELAY 0", TSettingId::siDelay, 3},
        {"  :PULS2:CMOD BURS  ", TSettingId::siChannelMode, 2},
        {":PULS2:MUXG 1", TSettingId::siMuxGate, 2},
        {":PULS2:MUX 3", TSettingId::siMuxMask, 2},
        {":PULS4:OUTP:AMPL 3.3", TSettingId::siAmplitude, 4},
        {":PULS4:OUTPUT:AMPLITUDE 3.3", TSettingId::siAmplitude, 4},
        {":PULS0:EXT:MOD TRIG", TSettingId::siExtMode, 0},
        {":PULS0:EXT:MODE TRIG", TSettingId::siExtMode, 0},
        {":PULSE0:EXTERNAL:LEVEL 2", TSettingId::siTriggerLevel, 0},
        {":PULS0:EXTP:STAT ON", TSettingId::siPeriodCounterEnabled, 0},
        {":PULS0:COUN:SOUR CHA", TSettingId::siShotCountSource, 0},
        {":SYST:UPD:AUTO 1", TSettingId::siSyncUpdateAuto, 0},
        {":SYSTEM:AUT 1", TSettingId::siAutoStart, 0},
        {":PULS0:BCO\t12", TSettingId::siSystemBurstCount, 0},
        {":PULS5:BCO 12", TSettingId::siBurstCount, 5},
        {":PULS1:STAT 1", TSettingId::siEnabled, 1},
    };
    for (const auto& c : cases) {
        int channel = -1;
        const TSettingDescription* s = SettingOfCommand(c.line, channel);
        ASSERT_NE(s, nullptr) << c.line;
        EXPECT_EQ(s->Id, c.id) << c.line;
        EXPECT_EQ(channel, c.channel) << c.line;
    }
}

TEST(SettingOfCommand, NothingForLinesThatChangeNoSetting)
{
    for (const char* line : {"", ":PULS1:WIDT?", ":PULS1:WIDT? ", ":PULS0:STAT ON", "*RCL 1", "*IDN?",
                             ":PULS0:COUN:CL", ":SYST:UPD:EX", ":PULS9:WIDT 1E-6", ":PULS0:WIDT 1E-6",
                             ":PULS1:PER 1", ":PER 1", ":PULS:WIDT 1", ":PULSX1:WIDT 1", ":PULS1:WID 1",
                             ":PULS1:WIDTHS 1", ":SYST:PULS0:PER 1", ":PULS0:EXTP:PER?"}) {
        int channel = 7;
        EXPECT_EQ(SettingOfCommand(line, channel), nullptr) << line;
    }
}

// Whatever the table writes, it recognises again.
TEST(SettingOfCommand, EverySetAndQueryHeaderIsRecognised)
{
    for (const TSettingDescription& s : SettingTable()) {
        const std::vector<int> channels = s.IsChannelSetting() ? std::vector<int>{1, 8} : std::vector<int>{0};
        for (int n : channels) {
            int channel = -1;
            EXPECT_EQ(SettingOfCommand(SetCommandOf(s, n, 1), channel), &s) << s.SetHeader;
            EXPECT_EQ(channel, n);
            EXPECT_EQ(SettingOfCommand(QueryHeaderOf(s, n) + " 1", channel), &s) << s.QueryHeader;
        }
    }
}

TEST(SettingTable, FieldsOfTheSnapshot)
{
    TSettingsSnapshot snapshot;
    Setting(TSettingId::siWidth).Put(snapshot, 3, 2e-6);
    Setting(TSettingId::siChannelMode).Put(snapshot, 3, 2);
    Setting(TSettingId::siSystemBurstCount).Put(snapshot, 0, 4000000000.0);
    Setting(TSettingId::siExtMode).Put(snapshot, 0, 3);
    Setting(TSettingId::siMuxGate).Put(snapshot, 9, 3);  // no channel 9: nothing changes
    EXPECT_EQ(snapshot.ChannelSettings[3].Width, 2e-6);
    EXPECT_EQ(snapshot.SystemSettings.BurstCount, 4000000000u);
    EXPECT_EQ(Setting(TSettingId::siExtMode).Get(snapshot, 0), 3);
    EXPECT_EQ(Setting(TSettingId::siChannelMode).Get(snapshot, 3), 2);
    EXPECT_EQ(Setting(TSettingId::siChannelMode).Get(snapshot, 2), 0);
    EXPECT_EQ(Setting(TSettingId::siMuxGate).Get(snapshot, 9), 0);
}

TEST(SettingTable, LimitsFollowTheVariant)
{
    const TVariantValues standard = VariantValues(false, false, 4);
    const TVariantValues high = VariantValues(false, true, 4);
    const struct {
        TSettingId id;
        const TVariantValues& variant;
        double minimum, maximum;
    } cases[] = {
        {TSettingId::siPeriod, standard, 2e-7, 1000},
        {TSettingId::siPeriod, high, 4e-8, 4000},
        {TSettingId::siWidth, standard, 1e-8, 1000},
        {TSettingId::siWidth, high, 8e-9, 4000},
        {TSettingId::siDelay, high, -4000, 4000},
        {TSettingId::siExtMode, standard, 0, 2},
        {TSettingId::siExtMode, high, 0, 3},
        {TSettingId::siGateMode, standard, 0, 2},
        {TSettingId::siGateMode, high, 0, 4},
        {TSettingId::siSystemBurstCount, standard, 1, 4000000000.0},
        {TSettingId::siBurstCount, standard, 1, 1000000},
        {TSettingId::siAmplitude, standard, 3.3, 5},
    };
    for (const auto& c : cases) {
        const TValueRange r = Setting(c.id).Range(c.variant);
        EXPECT_EQ(r.Minimum, c.minimum) << Setting(c.id).SetHeader;
        EXPECT_EQ(r.Maximum, c.maximum) << Setting(c.id).SetHeader;
    }
}

TEST(Captions, ListsOfferThePlusItemsOnlyWithThePlusFeatures)
{
    EXPECT_EQ(Captions(TKeywordTable::ktSystemMode), (QStringList{"Continuous", "Single Shot", "Burst", "Duty Cycle"}));
    EXPECT_EQ(Captions(TKeywordTable::ktChannelMode), (QStringList{"Normal", "Single Shot", "Burst", "Duty Cycle"}));
    EXPECT_EQ(Captions(TKeywordTable::ktExtMode, false), (QStringList{"Disabled", "Triggered", "Gated"}));
    EXPECT_EQ(Captions(TKeywordTable::ktExtMode, true), (QStringList{"Disabled", "Triggered", "Gated", "ReArm"}));
    EXPECT_EQ(Captions(TKeywordTable::ktChannelGateMode, false),
              (QStringList{"Disabled", "Active Low", "Active High"}));
    EXPECT_EQ(Captions(TKeywordTable::ktChannelGateMode),
              (QStringList{"Disabled", "Active Low", "Active High", "ActiveLoWR", "ActiveHiWR"}));
    EXPECT_EQ(Captions(TKeywordTable::ktMuxGate), (QStringList{"Disabled", "Gated", "Inhibit", "Invert"}));
    EXPECT_EQ(Captions(TKeywordTable::ktShotCountSource), (QStringList{"T0", "ChA", "ChB", "ChC", "ChD"}));
    EXPECT_EQ(CaptionOf(TKeywordTable::ktTriggerEdge, TTriggerEdge::Rising), "Rising");
    EXPECT_EQ(CaptionOf(TKeywordTable::ktChannelPolarity, 0), "Inverted");
    EXPECT_EQ(CaptionOf(TKeywordTable::ktGatePolarity, 2), "");
    EXPECT_EQ(KeywordOf(TKeywordTable::ktMuxGate, TMuxGateMode::Inhibit), "2");
}

TEST(Keywords, ModesFromAnswers)
{
    TExtMode mode = TExtMode::Gated;
    EXPECT_FALSE(ApplyKeyword(TKeywordTable::ktExtMode, "rearm", mode));
    EXPECT_EQ(mode, TExtMode::Gated);
    EXPECT_TRUE(ApplyKeyword(TKeywordTable::ktExtMode, "REARM", mode));
    EXPECT_EQ(mode, TExtMode::ReArm);
}

}  // namespace
