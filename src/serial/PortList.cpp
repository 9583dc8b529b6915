#include "PortList.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

int PortNumberOfName(const QString& portName) {
  static const QRegularExpression pattern(QStringLiteral("^COM([1-9][0-9]{0,8})$"));
  const auto match = pattern.match(portName);
  if (!match.hasMatch()) return 0;
  return match.captured(1).toInt();
}

QList<int> FilterSerialPorts(const QList<TPortEntry>& entries) {
  QList<int> ports;
  for (const auto& e : entries) {
    if (e.Name.contains(QLatin1String("Modem"))) continue;
    const int n = PortNumberOfName(e.Data);
    if (n > 0) ports.append(n);
  }
  std::sort(ports.begin(), ports.end());
  return ports;
}

QList<TPortEntry> NumberSystemDevices(const QStringList& deviceNames) {
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

QString PortFolder() { return qEnvironmentVariable("JT6400_PORT_DIR"); }

QList<TPortEntry> PortFolderEntries(const QString& folder) {
  QList<TPortEntry> entries;
  const QDir dir(folder);
  // System makes broken links show up too; they stay in the list and simply
  // fail to open.
  const QStringList names = dir.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QString& name : names) {
    if (PortNumberOfName(name) == 0) continue;
    const QFileInfo info(dir.filePath(name));
    entries.append({info.isSymLink() ? info.symLinkTarget() : info.filePath(), name});
  }
  return entries;
}

namespace {

QList<TPortEntry> SystemDeviceEntries(QStringList* locations = nullptr) {
  QStringList names;
  QStringList paths;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    names << info.portName();
    paths << info.systemLocation();
  }
  QList<TPortEntry> entries = NumberSystemDevices(names);
  if (locations) {
    locations->clear();
    for (const auto& e : entries) locations->append(paths[names.indexOf(e.Name)]);
  }
  return entries;
}

}  // namespace

QList<TPortEntry> SystemPortEntries() {
#ifdef Q_OS_WIN
  QList<TPortEntry> entries;
  QSettings key(QStringLiteral("HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM"), QSettings::NativeFormat);
  for (const QString& name : key.childKeys()) entries.append({name, key.value(name).toString()});
  return entries;
#else
  const QString folder = PortFolder();
  if (!folder.isEmpty()) return PortFolderEntries(folder);
  return SystemDeviceEntries();
#endif
}

QString PortDevicePath(int number) {
  if (number < 1) return QString();
#ifdef Q_OS_WIN
  return QStringLiteral("\\\\.\\COM%1").arg(number);
#else
  const QString folder = PortFolder();
  if (!folder.isEmpty()) return QDir(folder).filePath(QStringLiteral("COM%1").arg(number));
  QStringList locations;
  const QList<TPortEntry> entries = SystemDeviceEntries(&locations);
  for (qsizetype i = 0; i < entries.size(); ++i)
    if (PortNumberOfName(entries[i].Data) == number) return locations[i];
  return QString();
#endif
}
