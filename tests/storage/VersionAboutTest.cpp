// The program's version strings, the About box and the web-site command.
#include <gtest/gtest.h>

#include "model/DeviceIdentity.h"
#include "storage/StorageTestSupport.h"
#include "storage/TrpVersionInfo.h"
#include "jt6400/Version.h"

namespace {

TEST(VersionInfo, BuiltInStringsUnderTheUsEnglishBlock)
{
    const TrpVersionInfo info;
    EXPECT_EQ(info.FileVersion(), JT6400_VERSION);
    EXPECT_EQ(info.ProductVersion(), "1.2.0.0");
    EXPECT_EQ(info.CompanyName(), "Jentrix");
    EXPECT_FALSE(info.FileDescription().isEmpty());
    EXPECT_FALSE(info.ProductName().isEmpty());
    for (const QString& absent :
         {info.InternalName(), info.LegalCopyright(), info.LegalTradeMark(), info.OriginalFileName(), info.Comments()})
        EXPECT_EQ(absent, QString());
}

TEST(VersionInfo, LooksUpEachKeyOnceAndStaysEmptyWithoutInformation)
{
    QStringList asked;
    TVersionSource source{[] { return std::size_t{100}; },
                          [&asked](const QString& path) -> std::optional<QString> {
                              asked << path;
                              if (path.endsWith("Comments"))
                                  return QString("c");
                              return std::nullopt;
                          }};
    const TrpVersionInfo info(nullptr, source);
    const QStringList keys = {"CompanyName",    "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
                              "LegalTradeMark", "OriginalFileName", "ProductName", "ProductVersion", "Comments"};
    QStringList expected;
    for (const QString& k : keys)
        expected << "\\StringFileInfo\\040904E4\\" + k;
    EXPECT_EQ(asked, expected);
    EXPECT_EQ(info.Comments(), "c");
    EXPECT_EQ(info.FileVersion(), QString());

    asked.clear();
    source.Size = [] { return std::size_t{0}; };
    const TrpVersionInfo none(nullptr, source);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(none.Comments(), QString());
}

TEST(About, SixLinesFromTheLastIdentification)
{
    TDeviceIdentity jt{"JT", "6424", 4711, "2.1.0", {}, "3.0.7", {}};
    TDeviceIdentity lower = jt;
    lower.Manufacturer = "jt";
    TDeviceIdentity blank = jt;
    blank.Manufacturer = "JT ";
    const std::pair<TDeviceIdentity, QString> cases[] = {
        {jt,
         "Company: Jentrix\r\nModel Number: 6424\r\nSerial Number: 4711\r\nFirmware Version: 2.1.0\r\n"
         "FPGA Version: 3.0.7\r\nSoftware Version: " JT6400_VERSION},
        {lower,
         "Company: Unknown\r\nModel Number: 6424\r\nSerial Number: 4711\r\nFirmware Version: 2.1.0\r\n"
         "FPGA Version: 3.0.7\r\nSoftware Version: " JT6400_VERSION},
        {blank,
         "Company: Unknown\r\nModel Number: 6424\r\nSerial Number: 4711\r\nFirmware Version: 2.1.0\r\n"
         "FPGA Version: 3.0.7\r\nSoftware Version: " JT6400_VERSION},
        {TDeviceIdentity{},
         "Company: Unknown\r\nModel Number: \r\nSerial Number: 0\r\nFirmware Version: \r\n"
         "FPGA Version: \r\nSoftware Version: " JT6400_VERSION},
    };
    for (const auto& [identity, text] : cases)
        EXPECT_EQ(AboutText(identity, JT6400_VERSION), text);
    EXPECT_TRUE(AboutText(TDeviceIdentity{}, QString()).endsWith("\r\nSoftware Version: "));
}

class MenuFixture : public StorageFixture {};

TEST_F(MenuFixture, AboutShowsThePlainBoxAndWebSiteOpensTheMakersPage)
{
    MakeApp();
    App->State().DeviceIdentity = TDeviceIdentity{"JT", "6402+", 17, "1.9.2", {}, "2.0.1", {}};
    App->Form().AboutAction->trigger();
    ASSERT_EQ(Dialogs.Shown.size(), 1);
    EXPECT_EQ(Dialogs.Shown[0].Text, AboutText(App->State().DeviceIdentity, JT6400_VERSION));
    EXPECT_EQ(Dialogs.Shown[0].Buttons, TMsgButton::mbOK);
    EXPECT_EQ(Dialogs.Shown[0].Caption, QString());

    App->Form().WebSiteAction->trigger();
    EXPECT_EQ(Urls.Opened, QList<QUrl>{MakerWebSite()});
    EXPECT_TRUE(MakerWebSite().isValid());
    EXPECT_EQ(Dialogs.Shown.size(), 1);
}

}  // namespace
