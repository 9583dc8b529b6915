#include "serial/PortList.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

int PortNumberOfName(const QString& portName)
{
    static const QRegularExpression pattern(QStringLiteral("^COM([1-9][0-9]{0,8})$"));
    const auto match = pattern.match(portName);
    if (!match.hasMatch())
        return 0;
    return match.captured(1).toInt();
}

TPortEntry RegistryValueEntry(const std::u16string& name, unsigned long type, const QByteArray& data)
{
    TPortEntry entry{QString::fromStdU16String(name), QString()};
    if (type != kRegistryTextType)
        return entry;
    std::u16string text(static_cast<std::size_t>(data.size()) / sizeof(char16_t), u'\0');
    std::memcpy(text.data(), data.constData(), text.size() * sizeof(char16_t));
    entry.Data = QString::fromStdU16String(text.substr(0, text.find(u'\0')));
    return entry;
}

QList<int> FilterSerialPorts(const QList<TPortEntry>& entries)
{
    QList<int> ports;
    for (const auto& e : entries) {
        if (e.Name.contains(QLatin1String("Modem")))
            continue;
        const int n = PortNumberOfName(e.Data);
        if (n > 0)
            ports.append(n);
    }
    std::sort(ports.begin(), ports.end());
    return ports;
}

QList<int> PortNumbers(const QList<TPortEntry>& entries)
{
    QList<int> ports;
    for (const auto& e : entries) {
        const int n = PortNumberOfName(e.Data);
        if (n > 0)
            ports.append(n);
    }
    std::sort(ports.begin(), ports.end());
    return ports;
}

QList<int> SystemPortNumbers()
{
#ifdef Q_OS_WIN
    return FilterSerialPorts(SystemPortEntries());
#else
    // The "Modem" rule is about the registry's driver names; a port folder's
    // links and the system's devices are ports whatever they are called.
    return PortNumbers(SystemPortEntries());
#endif
}

QList<TPortEntry> NumberSystemDevices(const QStringList& deviceNames)
{
    static const QRegularExpression known(QStringLiteral("^tty(S|USB|ACM)([0-9]{1,5})$"));
    QList<TPortEntry> entries;
    QStringList others;
    for (const QString& name : deviceNames) {
        const auto m = known.match(name);
        if (!m.hasMatch()) {
            others << name;
            continue;
        }
        const int k = m.captured(2).toInt();
        const QString kind = m.captured(1);
        const int base = kind == QLatin1String("S") ? 1 : kind == QLatin1String("USB") ? 33 : 65;
        if (k >= 32) {  // each family has 32 numbers; beyond that it counts as "other"
            others << name;
            continue;
        }
        entries.append({name, QStringLiteral("COM%1").arg(base + k)});
    }
    others.sort();
    for (qsizetype i = 0; i < others.size(); ++i)
        entries.append({others[i], QStringLiteral("COM%1").arg(97 + i)});
    return entries;
}

QString PortFolder()
{
    return qEnvironmentVariable("JT6400_PORT_DIR");
}

QList<TPortEntry> PortFolderEntries(const QString& folder)
{
    QList<TPortEntry> entries;
    const QDir dir(folder);
    // System makes broken links show up too; they stay in the list and simply
    // fail to open.
    const QStringList names = dir.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        if (PortNumberOfName(name) == 0)
            continue;
        const QFileInfo info(dir.filePath(name));
        entries.append({info.isSymLink() ? info.symLinkTarget() : info.filePath(), name});
    }
    return entries;
}

namespace {

QList<TPortEntry> SystemDeviceEntries(QStringList* locations = nullptr)
{
    QStringList names;
    QStringList paths;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        names << info.portName();
        paths << info.systemLocation();
    }
    QList<TPortEntry> entries = NumberSystemDevices(names);
    if (locations) {
        locations->clear();
        for (const auto& e : entries)
            locations->append(paths[names.indexOf(e.Name)]);
    }
    return entries;
}

}  // namespace

QList<TPortEntry> SystemPortEntries()
{
#ifdef Q_OS_WIN
    // The value names hold backslashes, so the key is read value by value with
    // the registry API itself rather than through a settings layer that would
    // take them for sub-keys.
    static_assert(kRegistryTextType == REG_SZ);
    QList<TPortEntry> entries;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return entries;
    DWORD count = 0, longestName = 0, longestData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName, &longestData,
                         nullptr, nullptr) == ERROR_SUCCESS) {
        std::u16string name(longestName + 1, u'\0');
        QByteArray data(static_cast<qsizetype>(longestData), '\0');
        for (DWORD i = 0; i < count; ++i) {
            DWORD nameLength = longestName + 1;
            DWORD dataSize = longestData;
            DWORD type = 0;
            if (RegEnumValueW(key, i, reinterpret_cast<wchar_t*>(name.data()), &nameLength, nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &dataSize) != ERROR_SUCCESS)
                continue;
            entries.append(RegistryValueEntry(name.substr(0, nameLength), type, data.left(dataSize)));
        }
    }
    RegCloseKey(key);
    return entries;
#else
    const QString folder = PortFolder();
    if (!folder.isEmpty())
        return PortFolderEntries(folder);
    return SystemDeviceEntries();
#endif
}

QString PortDevicePath(int number)
{
    if (number < 1)
        return QString();
#ifdef Q_OS_WIN
    return QStringLiteral("\\\\.\\COM%1").arg(number);
#else
    const QString folder = PortFolder();
    if (!folder.isEmpty())
        return QDir(folder).filePath(ComPortName(number));
    QStringList locations;
    const QList<TPortEntry> entries = SystemDeviceEntries(&locations);
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (PortNumberOfName(entries[i].Data) == number)
            return locations[i];
    return QString();
#endif
}

QString ComPortName(int number)
{
    return QStringLiteral("COM%1").arg(number);
}
