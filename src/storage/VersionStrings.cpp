// The program's version strings.
#include "storage/VersionStrings.h"

#include "jt6400/Version.h"

#include <iterator>

namespace {

struct TVersionString {
  const char* Block;  // language and code page, e.g. 040904E4
  const char* Key;
  const char* Value;
};

// US English, code page 1252. Keys without a value here are absent.
constexpr TVersionString kStrings[] = {
    {"040904E4", "CompanyName", "Jentrix"},
    {"040904E4", "FileDescription", "6400 Pulse Generator control panel"},
    {"040904E4", "FileVersion", JT6400_VERSION},
    {"040904E4", "ProductName", "6400 Pulse Generator"},
    {"040904E4", "ProductVersion", JT6400_PRODUCT_VERSION},
};

}  // namespace

namespace jt {

std::size_t VersionInfoSize() {
  std::size_t size = 0;
  for (const auto& s : kStrings) size += QByteArrayView(s.Block).size() + QByteArrayView(s.Key).size() +
                                         QByteArrayView(s.Value).size() + 3;
  return size;
}

std::optional<QString> VersionQueryValue(const QString& path) {
  for (const auto& s : kStrings) {
    const QString full = QStringLiteral("\\StringFileInfo\\") + QLatin1String(s.Block) + QLatin1Char('\\') +
                         QLatin1String(s.Key);
    if (QString::compare(full, path, Qt::CaseInsensitive) == 0) return QString::fromUtf8(s.Value);
  }
  return std::nullopt;
}

}  // namespace jt
