#include "storage/TrpVersionInfo.h"

#include "storage/VersionStrings.h"

namespace {

// The names of TVersionType in order; each name without its "vt" prefix is
// the key looked up.
constexpr const char* kTypeNames[kVersionTypeCount] = {
    "vtCompanyName",    "vtFileDescription",  "vtFileVersion", "vtInternalName",   "vtLegalCopyright",
    "vtLegalTradeMark", "vtOriginalFileName", "vtProductName", "vtProductVersion", "vtComments",
};

const QString kStringBlock = QStringLiteral("\\StringFileInfo\\040904E4\\");

}  // namespace

TVersionSource BuiltInVersionSource()
{
    return {[] { return jt::VersionInfoSize(); }, [](const QString& path) { return jt::VersionQueryValue(path); }};
}

TrpVersionInfo::TrpVersionInfo(QObject* owner, const TVersionSource& source) : QObject(owner)
{
    if (!source.Size || !source.Query || source.Size() == 0)
        return;
    for (std::size_t i = 0; i < kVersionTypeCount; ++i) {
        const QString key = QString::fromLatin1(kTypeNames[i]).mid(2);
        if (const auto value = source.Query(kStringBlock + key))
            FVersionInfo[i] = *value;
    }
}
