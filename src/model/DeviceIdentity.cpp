#include "model/DeviceIdentity.h"

#include "model/Capabilities.h"
#include "model/NumberText.h"

#include <optional>

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

bool ParseFirmwareParts(const QString& version, std::array<std::int32_t, 3>& parts)
{
    QString t = version;
    for (int i = 0; i < 2; ++i) {
        auto v = PartBeforeDot(t);
        if (!v)
            return false;
        parts[i] = *v;
    }
    auto v = PartAfterDot(t);
    if (!v)
        return false;
    parts[2] = *v;
    return true;
}

bool ParseFpgaParts(const QString& version, std::array<std::int32_t, 4>& parts)
{
    const qsizetype count = 1 + version.count('.');
    QString t = version;
    for (int i = 0; i < 2; ++i) {
        auto v = PartBeforeDot(t);
        if (!v)
            return false;
        parts[i] = *v;
    }
    if (count == 4) {
        auto third = PartBeforeDot(t);
        if (!third)
            return false;
        parts[2] = *third;
        // The rest after the third "." (all of it when none is left).
        auto fourth = TryStrToInt(t);
        if (!fourth)
            return false;
        parts[3] = *fourth;
    } else {
        auto third = PartAfterDot(t);
        if (!third)
            return false;
        parts[2] = *third;
        parts[3] = 0;
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

    if (!ParseFirmwareParts(identity.FirmwareVersion, identity.FirmwareVersionParts))
        return TIdnParseResult::iprBadVersion;
    if (!ParseFpgaParts(identity.FpgaVersion, identity.FpgaVersionParts))
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
