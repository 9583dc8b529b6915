// Which serial ports the PC has, as COM port numbers, and which device each
// number stands for.
//
// On Windows the list comes from the registry's SERIALCOMM value pairs. On
// other systems a port folder named by JT6400_PORT_DIR holds links COM<n>
// to device nodes; without it the serial devices the system lists are
// numbered ttyS<k> -> k+1, ttyUSB<k> -> 33+k, ttyACM<k> -> 65+k, any other
// from 97 on in name order.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <string>

// One source entry: the driver's device name and the port name ("COM7").
struct TPortEntry {
    QString Name;
    QString Data;
};

// Port number of a port name "COM<n>" (n >= 1, decimal); 0 for any other
// text.
int PortNumberOfName(const QString& portName);

// The registry's type code of a text value (REG_SZ).
constexpr unsigned long kRegistryTextType = 1;

// One value of the SERIALCOMM key as the registry hands it out: the value's
// name (the driver's device name, e.g. "\Device\Serial0", taken whole,
// backslashes and all) and its type and raw data. A text value's data is
// UTF-16 in the machine's byte order, usually with its terminating NUL;
// the port name is the text before the first NUL. A value of another type
// gives an empty port name, which the port filter skips.
TPortEntry RegistryValueEntry(const std::u16string& name, unsigned long type, const QByteArray& data);

// Ascending port numbers of the entries whose driver name does not contain
// "Modem" (case-sensitive). Entries whose port name is not "COM" and a
// number are skipped. Duplicates stay.
QList<int> FilterSerialPorts(const QList<TPortEntry>& entries);

// Ascending port numbers of all entries whose port name is "COM" and a
// number, whatever their driver name. Duplicates stay.
QList<int> PortNumbers(const QList<TPortEntry>& entries);

// The ports of this system: on Windows the registry's entries through
// FilterSerialPorts (its driver names tell modems apart), elsewhere every
// port of the folder or of the system's devices.
QList<int> SystemPortNumbers();

// Numbers the given device names (file names such as "ttyUSB0") as above.
// Returns one entry per device: Name = the device name, Data = "COM<n>".
QList<TPortEntry> NumberSystemDevices(const QStringList& deviceNames);

// The environment's port folder, or an empty text when JT6400_PORT_DIR is
// unset or empty.
QString PortFolder();

// Entries of a port folder: every entry named "COM<n>" (dead links
// included), with its link target as the driver name.
QList<TPortEntry> PortFolderEntries(const QString& folder);

// The entries of this system's port source.
QList<TPortEntry> SystemPortEntries();

// The device to open for port number N, or an empty text when the number
// names no device.
QString PortDevicePath(int number);

// The name a port number goes by: "COM3".
QString ComPortName(int number);
