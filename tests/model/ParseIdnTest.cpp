#include "model/DeviceIdentity.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

TDeviceIdentity Filled()
{
    TDeviceIdentity id;
    id.Manufacturer = "OLD";
    id.Model = "OLDM";
    id.SerialNumber = 77;
    id.FirmwareVersion = "9.9.9";
    id.FirmwareVersionParts = {9, 9, 9};
    id.FpgaVersion = "8.8.8.8";
    id.FpgaVersionParts = {8, 8, 8, 8};
    return id;
}

TEST(ParseIDN, FullAnswerSplitsIntoFields)
{
    TDeviceIdentity id;
    EXPECT_EQ(ParseIDNText("JT,6404+,1234,2.1.0-3.0.7", id), TIdnParseResult::iprComplete);
    EXPECT_EQ(id.Manufacturer, "JT");
    EXPECT_EQ(id.Model, "6404+");
    EXPECT_EQ(id.SerialNumber, 1234);
    EXPECT_EQ(id.FirmwareVersion, "2.1.0");
    EXPECT_EQ(id.FirmwareVersionParts, (std::array<int32_t, 3>{2, 1, 0}));
    EXPECT_EQ(id.FpgaVersion, "3.0.7");
    EXPECT_EQ(id.FpgaVersionParts, (std::array<int32_t, 4>{3, 0, 7, 0}));
    EXPECT_EQ(ManufacturerName(id), "Jentrix");
}

TEST(ParseIDN, ShortAnswersClearTextFieldsButKeepParts)
{
    for (const char* answer : {"", "JT,6404,12", "0123456789"}) {
        SCOPED_TRACE(answer);
        TDeviceIdentity id = Filled();
        EXPECT_EQ(ParseIDNText(answer, id), TIdnParseResult::iprCleared);
        EXPECT_TRUE(id.Manufacturer.isEmpty());
        EXPECT_TRUE(id.Model.isEmpty());
        EXPECT_TRUE(id.FirmwareVersion.isEmpty());
        EXPECT_TRUE(id.FpgaVersion.isEmpty());
        EXPECT_EQ(id.SerialNumber, 0);
        EXPECT_EQ(id.FirmwareVersionParts, (std::array<int32_t, 3>{9, 9, 9}));
        EXPECT_EQ(id.FpgaVersionParts, (std::array<int32_t, 4>{8, 8, 8, 8}));
    }
}

TEST(ParseIDN, ElevenCharactersAreParsed)
{
    TDeviceIdentity id = Filled();
    EXPECT_EQ(ParseIDNText("JT,6402,7,1", id), TIdnParseResult::iprBadVersion);
    EXPECT_EQ(id.Manufacturer, "JT");
    EXPECT_EQ(id.Model, "6402");
    EXPECT_EQ(id.SerialNumber, 7);
}

TEST(ParseIDN, SerialNumberThatIsNoIntegerStopsAfterModel)
{
    for (const char* answer : {"JT,6404,ABC,2.1.0-3.0.7", "JT,6404,,2.1.0-3.0.7", "JT,6404,12 34"}) {
        SCOPED_TRACE(answer);
        TDeviceIdentity id = Filled();
        EXPECT_EQ(ParseIDNText(answer, id), TIdnParseResult::iprNoSerial);
        EXPECT_EQ(id.Manufacturer, "JT");
        EXPECT_EQ(id.Model, "6404");
        EXPECT_EQ(id.SerialNumber, 77);
        EXPECT_EQ(id.FirmwareVersion, "9.9.9");
        EXPECT_EQ(id.FpgaVersion, "8.8.8.8");
    }
}

TEST(ParseIDN, FieldsLoseTrailingBlanksOnly)
{
    TDeviceIdentity id;
    ParseIDNText("JT \t,6404+  ,1,2.1.0 -3.0.7", id);
    EXPECT_EQ(id.Manufacturer, "JT");
    EXPECT_EQ(id.Model, "6404+");
    EXPECT_EQ(id.FirmwareVersion, "2.1.0");
    ParseIDNText("JT, 6404+,1,2.1.0-3.0.7", id);
    EXPECT_EQ(id.Model, " 6404+");
}

struct VersionCase {
    const char* answer;
    TIdnParseResult result;
    std::array<int32_t, 3> firmware;
    std::array<int32_t, 4> fpga;
};
void PrintTo(const VersionCase& c, std::ostream* os)
{
    *os << '"' << c.answer << '"';
}

class ParseIdnVersions : public ::testing::TestWithParam<VersionCase> {};

TEST_P(ParseIdnVersions, SplitsVersionParts)
{
    const VersionCase& c = GetParam();
    TDeviceIdentity id;
    id.FirmwareVersionParts = {-1, -1, -1};
    id.FpgaVersionParts = {-1, -1, -1, -1};
    EXPECT_EQ(ParseIDNText(c.answer, id), c.result);
    EXPECT_EQ(id.FirmwareVersionParts, c.firmware);
    EXPECT_EQ(id.FpgaVersionParts, c.fpga);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseIdnVersions,
    ::testing::Values(
        VersionCase{"JT,6404+,1,2.1.0-3.0.7.1", TIdnParseResult::iprComplete, {2, 1, 0}, {3, 0, 7, 1}},
        VersionCase{"JT,6404+,1,1.2.3.4-4.5.6", TIdnParseResult::iprComplete, {1, 2, 4}, {4, 5, 6, 0}},
        VersionCase{"JT,6404+,1,10.20.30-40.50.60", TIdnParseResult::iprComplete, {10, 20, 30}, {40, 50, 60, 0}},
        // A two-part firmware version: the second part has no "." after it.
        VersionCase{"JT,6404+,1,1.00-1.25", TIdnParseResult::iprBadVersion, {1, -1, -1}, {-1, -1, -1, -1}},
        // No "-": empty firmware version, all of the rest is the FPGA version.
        VersionCase{"JT,6404+,1,2.1.0", TIdnParseResult::iprBadVersion, {-1, -1, -1}, {-1, -1, -1, -1}},
        VersionCase{"JT,6404+,1,2.1.0-3.x.7", TIdnParseResult::iprBadVersion, {2, 1, 0}, {3, -1, -1, -1}},
        VersionCase{"JT,6404+,1,2.1.0-3.0.7.z", TIdnParseResult::iprBadVersion, {2, 1, 0}, {3, 0, 7, -1}},
        VersionCase{"JT,6404+,1,2.1.99999999999-3.0.7", TIdnParseResult::iprBadVersion, {2, 1, -1}, {-1, -1, -1, -1}}));

TEST(ParseIDN, VersionTextsAreKeptWhenPartsFail)
{
    TDeviceIdentity id;
    EXPECT_EQ(ParseIDNText("JT,6404+,5,1.00-1.25", id), TIdnParseResult::iprBadVersion);
    EXPECT_EQ(id.SerialNumber, 5);
    EXPECT_EQ(id.FirmwareVersion, "1.00");
    EXPECT_EQ(id.FpgaVersion, "1.25");
}

TEST(ParseIDN, QueryCallSendsIdentificationCommand)
{
    QStringList sent;
    TDeviceIdentity id;
    auto result = ParseIDN(id, [&](const QString& cmd) {
        sent << cmd;
        return QStringLiteral("JT,6424,42,3.2.1-1.2.3.4");
    });
    EXPECT_EQ(result, TIdnParseResult::iprComplete);
    EXPECT_EQ(sent, QStringList{"*IDN"});
    EXPECT_EQ(id.Model, "6424");
    EXPECT_EQ(id.FpgaVersionParts, (std::array<int32_t, 4>{1, 2, 3, 4}));
}

TEST(ManufacturerName, OnlyUpperCaseJtIsKnown)
{
    TDeviceIdentity id;
    for (auto [code, name] : {std::pair{"JT", "Jentrix"}, {"jt", "Unknown"}, {"", "Unknown"}, {"JT ", "Unknown"}}) {
        id.Manufacturer = code;
        EXPECT_EQ(ManufacturerName(id), name) << code;
    }
}

}  // namespace
