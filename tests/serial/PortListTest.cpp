#include "serial/JTComPort.h"
#include "serial/PortList.h"
#include "support/PtyTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(PortFilter, RegistryPairs)
{
    const QList<TPortEntry> entries = {
        {"\\Device\\Serial2", "COM7"}, {"\\Device\\Serial0", "COM3"}, {"\\Device\\VirtualModem0", "COM4"},
        {"\\Device\\modem1", "COM9"},  // "Modem" is matched case-sensitively
        {"\\Device\\Bth0", "BTH1"},    // not "COM" and a number: skipped
        {"\\Device\\X", "COM"},        {"\\Device\\Y", "COM0"},       {"\\Device\\Z", "COM12x"},
        {"\\Device\\USB", "COM105"},   {"\\Device\\Dup", "COM3"},
    };
    EXPECT_EQ(FilterSerialPorts(entries), (QList<int>{3, 3, 7, 9, 105}));
    EXPECT_TRUE(FilterSerialPorts({}).isEmpty());
}

// The registry's values as the enumeration hands them out, through the same
// filter: names keep their backslashes, text data ends at its NUL, values of
// another type name no port.
TEST(PortFilter, RegistryValuesBecomePorts)
{
    const auto text = [](std::u16string t) {
        return QByteArray(reinterpret_cast<const char*>(t.c_str()), static_cast<qsizetype>((t.size() + 1) * 2));
    };
    const QList<TPortEntry> entries = {
        RegistryValueEntry(u"\\Device\\Serial0", kRegistryTextType, text(u"COM3")),
        RegistryValueEntry(u"\\Device\\VCP0", kRegistryTextType, text(u"COM12").chopped(2)),  // no NUL
        RegistryValueEntry(u"\\Device\\VirtualModem0", kRegistryTextType, text(u"COM4")),
        RegistryValueEntry(u"\\Device\\Serial1", 4 /* a number */, QByteArray("\x05\0\0\0", 4)),
        RegistryValueEntry(u"\\Device\\Serial2", kRegistryTextType, QByteArray()),
        RegistryValueEntry(u"\\Device\\Serial3", kRegistryTextType, QByteArray("C", 1)),  // odd byte count
    };
    EXPECT_EQ(entries[0].Name, "\\Device\\Serial0");
    EXPECT_EQ(entries[0].Data, "COM3");
    EXPECT_EQ(entries[1].Data, "COM12");
    EXPECT_EQ(FilterSerialPorts(entries), (QList<int>{3, 12}));
}

TEST(PortFilter, PortNames)
{
    EXPECT_EQ(PortNumberOfName("COM1"), 1);
    EXPECT_EQ(PortNumberOfName("COM105"), 105);
    for (const char* bad : {"", "COM", "COM0", "COM01", "com3", "COM3 ", "COM-3", "LPT1", "COM99999999999"})
        EXPECT_EQ(PortNumberOfName(bad), 0) << bad;
}

TEST(PortFilter, LinuxDeviceNumbering)
{
    const QList<TPortEntry> entries =
        NumberSystemDevices({"ttyUSB1", "ttyS0", "ttyACM0", "rfcomm0", "ttyS3", "ttyAMA0", "ttyUSB0", "ttyS40"});
    QStringList pairs;
    for (const auto& e : entries)
        pairs << e.Name + "=" + e.Data;
    EXPECT_EQ(pairs, (QStringList{"ttyUSB1=COM34", "ttyS0=COM1", "ttyACM0=COM65", "ttyS3=COM4", "ttyUSB0=COM33",
                                  "rfcomm0=COM97", "ttyAMA0=COM98", "ttyS40=COM99"}));
    EXPECT_EQ(FilterSerialPorts(entries), (QList<int>{1, 4, 33, 34, 65, 97, 98, 99}));
}

TEST(PortFilter, PortFolderListsComLinksIncludingDeadOnes)
{
    TPtyPair pty;
    TPortFolder folder;
    folder.Link(7, pty.SlavePath());
    folder.Link(3, "/nonexistent/device");
    QFile(QDir(folder.Path()).filePath("readme")).open(QIODevice::WriteOnly);
    QFile::link(pty.SlavePath(), QDir(folder.Path()).filePath("COMx"));
    QFile::link(pty.SlavePath(), QDir(folder.Path()).filePath("COM0"));

    const QList<TPortEntry> entries = PortFolderEntries(folder.Path());
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].Data, "COM3");
    EXPECT_EQ(entries[0].Name, "/nonexistent/device");
    EXPECT_EQ(entries[1].Data, "COM7");
    EXPECT_EQ(entries[1].Name, pty.SlavePath());

    TJTComPort port;
    EXPECT_EQ(port.GetValidSerialPorts(), (QList<int>{3, 7}));
    EXPECT_EQ(PortDevicePath(7), QDir(folder.Path()).filePath("COM7"));
}

TEST(PortFilter, EmptyFolderGivesNoPorts)
{
    TPortFolder folder;
    TJTComPort port;
    EXPECT_TRUE(port.GetValidSerialPorts().isEmpty());
}

}  // namespace

namespace {

// On Linux every COM<n> entry of the folder is a port, whatever its device
// is called: a USB modem adapter's by-id name holds "Modem", as the
// registry's driver names of Windows modems do, and still counts. The port
// opens through the chain of links.
TEST(PortFilter, FolderPortsNamedModemAreKept)
{
    TPtyPair pty;
    TPortFolder folder;
    QTemporaryDir devices;
    ASSERT_TRUE(QDir(devices.path()).mkpath("serial/by-id"));
    const QString byId = QDir(devices.path()).filePath("serial/by-id/usb-Acme_USB_Serial_Modem-if00-port0");
    ASSERT_TRUE(QFile::link(pty.SlavePath(), byId));
    folder.Link(6, byId);
    folder.Link(2, pty.SlavePath());

    TJTComPort port;
    EXPECT_EQ(port.GetValidSerialPorts(), (QList<int>{2, 6}));
    EXPECT_EQ(SystemPortNumbers(), (QList<int>{2, 6}));
    port.SetShowErrors(false);
    port.SetPort(6);
    ASSERT_TRUE(port.Open());
    EXPECT_TRUE(port.Write("x"));
    EXPECT_EQ(pty.Receive(1), "x");
    // The registry's rule itself stays as it was.
    EXPECT_EQ(FilterSerialPorts({{"\\Device\\AcmeModem0", "COM6"}, {"\\Device\\Serial0", "COM2"}}), QList<int>{2});
}

}  // namespace
