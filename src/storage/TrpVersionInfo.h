// TrpVersionInfo: the program's own version strings, read once when the
// component is created and published as ten read-only texts. A key the
// program's version information lacks reads as an empty text.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <cstddef>
#include <functional>
#include <optional>

enum class TVersionType {
    vtCompanyName,
    vtFileDescription,
    vtFileVersion,
    vtInternalName,
    vtLegalCopyright,
    vtLegalTradeMark,
    vtOriginalFileName,
    vtProductName,
    vtProductVersion,
    vtComments,
};
constexpr std::size_t kVersionTypeCount = static_cast<std::size_t>(TVersionType::vtComments) + 1;

// Where the strings come from: the size of the version information (0 means
// there is none) and a lookup by path.
struct TVersionSource {
    std::function<std::size_t()> Size;
    std::function<std::optional<QString>(const QString& path)> Query;
};
// The strings compiled into this program.
TVersionSource BuiltInVersionSource();

class TrpVersionInfo : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString CompanyName READ CompanyName CONSTANT)
    Q_PROPERTY(QString FileDescription READ FileDescription CONSTANT)
    Q_PROPERTY(QString FileVersion READ FileVersion CONSTANT)
    Q_PROPERTY(QString InternalName READ InternalName CONSTANT)
    Q_PROPERTY(QString LegalCopyright READ LegalCopyright CONSTANT)
    Q_PROPERTY(QString LegalTradeMark READ LegalTradeMark CONSTANT)
    Q_PROPERTY(QString OriginalFileName READ OriginalFileName CONSTANT)
    Q_PROPERTY(QString ProductName READ ProductName CONSTANT)
    Q_PROPERTY(QString ProductVersion READ ProductVersion CONSTANT)
    Q_PROPERTY(QString Comments READ Comments CONSTANT)
public:
    explicit TrpVersionInfo(QObject* owner = nullptr, const TVersionSource& source = BuiltInVersionSource());

    QString CompanyName() const { return Text(TVersionType::vtCompanyName); }
    QString FileDescription() const { return Text(TVersionType::vtFileDescription); }
    QString FileVersion() const { return Text(TVersionType::vtFileVersion); }
    QString InternalName() const { return Text(TVersionType::vtInternalName); }
    QString LegalCopyright() const { return Text(TVersionType::vtLegalCopyright); }
    QString LegalTradeMark() const { return Text(TVersionType::vtLegalTradeMark); }
    QString OriginalFileName() const { return Text(TVersionType::vtOriginalFileName); }
    QString ProductName() const { return Text(TVersionType::vtProductName); }
    QString ProductVersion() const { return Text(TVersionType::vtProductVersion); }
    QString Comments() const { return Text(TVersionType::vtComments); }

private:
    QString Text(TVersionType type) const { return FVersionInfo[static_cast<std::size_t>(type)]; }

    std::array<QString, kVersionTypeCount> FVersionInfo;
};
