#include "model/DeviceIdentity.h"

#include "model/Capabilities.h"
#include "model/NumberText.h"

#include <optional>
#include <span>

namespace {

// Cuts Text at the first occurrence of Sep: returns the part before it
// (empty when Sep is absent or first) and leaves the part after it in Text
// (all of Text when Sep is absent).
QString CutAt(QString& text, QChar sep)
{
    const qsizetype p = text.indexOf(sep);
    if (p < 0)
        return QString();
    QString field = text.left(p);
    text = text.mid(p + 1);
    return field;
}

// Version part before the next ".", or the part after the next "." (all of
// the text when there is none), converted strictly.
std::optional<std::int32_t> PartBeforeDot(QString& text)
{
    return TryStrToInt(CutAt(text, '.'));
}

std::optional<std::int32_t> PartAfterDot(const QString& text)
{
    const qsizetype p = text.indexOf('.');
    return TryStrToInt(p < 0 ? text : text.mid(p + 1));
}

// Converts a version's parts into Parts, each as soon as it is read, and
// stops at the first that does not convert. Firmware versions have three
// parts ("a.b.c"); FPGA versions have three or four ("a.b.c.d"), the fourth
// 0 when absent. The third part of a three-part version is read as
// PartAfterDot reads it.
bool ParseVersionParts(const QString& version, std::span<std::int32_t> parts)
{
    QString t = version;
    for (int i = 0; i < 2; ++i) {
        auto v = PartBeforeDot(t);
        if (!v)
            return false;
        parts[i] = *v;
    }
    const bool fourParts = parts.size() == 4 && version.count('.') == 3;
    auto third = fourParts ? PartBeforeDot(t) : PartAfterDot(t);
    if (!third)
        return false;
    parts[2] = *third;
    if (parts.size() == 4) {
        // The rest after the third "." (all of it when none is left).
        auto fourth = fourParts ? TryStrToInt(t) : std::optional<std::int32_t>(0);
        if (!fourth)
            return false;
        parts[3] = *fourth;
    }
    return true;
}

}  // namespace

TIdnParseResult ParseIDNText(const QString& answer, TDeviceIdentity& identity)
{
    QString s = answer;
    if (s.size() <= 10) {
        identity.Manufacturer.clear();
        identity.Model.clear();
        identity.FirmwareVersion.clear();
        identity.FpgaVersion.clear();
        identity.SerialNumber = 0;
        return TIdnParseResult::iprCleared;
    }
    identity.Manufacturer = TrimRightControls(CutAt(s, ','));
    identity.Model = TrimRightControls(CutAt(s, ','));

    const qsizetype comma = s.indexOf(',');
    const auto serial = TryStrToInt(TrimRightControls(comma < 0 ? QString() : s.left(comma)));
    if (!serial)
        return TIdnParseResult::iprNoSerial;
    identity.SerialNumber = *serial;
    s = s.mid(comma + 1);

    const qsizetype dash = s.indexOf('-');
    identity.FirmwareVersion = TrimRightControls(dash < 0 ? QString() : s.left(dash));
    identity.FpgaVersion = dash < 0 ? s : s.mid(dash + 1);

    if (!ParseVersionParts(identity.FirmwareVersion, identity.FirmwareVersionParts))
        return TIdnParseResult::iprBadVersion;
    if (!ParseVersionParts(identity.FpgaVersion, identity.FpgaVersionParts))
        return TIdnParseResult::iprBadVersion;
    return TIdnParseResult::iprComplete;
}

TIdnParseResult ParseIDN(TDeviceIdentity& identity, const TQueryFunction& query)
{
    return ParseIDNText(query(QStringLiteral("*IDN")), identity);
}

QString ManufacturerName(const TDeviceIdentity& identity)
{
    return MakerName(identity.Manufacturer);
}
