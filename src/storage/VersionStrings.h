// The program's own version strings, compiled into the executable. They are
// kept the way a version resource keeps them: string tables per language and
// code page block, looked up by a path such as
// "\StringFileInfo\040904E4\FileVersion".
#pragma once

#include <QString>
#include <cstddef>
#include <optional>

namespace jt {

// Size in bytes of the built-in version information; 0 when there is none.
std::size_t VersionInfoSize();

// The string stored under Path, or nothing when the path names no string.
std::optional<QString> VersionQueryValue(const QString& path);

}  // namespace jt
