// The generator's identity as it answers the identification query, and the
// parser that splits the answer into fields.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>

struct TDeviceIdentity {
    QString Manufacturer;
    QString Model;
    std::int32_t SerialNumber = 0;
    QString FirmwareVersion;
    std::array<std::int32_t, 3> FirmwareVersionParts{};
    QString FpgaVersion;
    std::array<std::int32_t, 4> FpgaVersionParts{};

    bool operator==(const TDeviceIdentity&) const = default;
};

// How far the parse of one answer got.
enum class TIdnParseResult {
    iprCleared,     // answer empty or at most 10 characters: identity cleared
    iprNoSerial,    // serial-number field not an integer: only manufacturer and model set
    iprComplete,    // every field and version part converted
    iprBadVersion,  // a firmware or FPGA version part did not convert; the
                    // fields and parts before it hold their new values
};

// Fills Identity from the answer text (trailing white space already removed
// by the query). Pure: no I/O, safe on any input.
TIdnParseResult ParseIDNText(const QString& answer, TDeviceIdentity& identity);

// Sends the identification query through Query (given "*IDN", it must
// append "?" and return the answer with trailing white space removed) and
// parses the answer into Identity.
using TQueryFunction = std::function<QString(const QString& command)>;
TIdnParseResult ParseIDN(TDeviceIdentity& identity, const TQueryFunction& query);

// The maker's name of the capability table (MakerName) for the identity's
// manufacturer code.
QString ManufacturerName(const TDeviceIdentity& identity);
