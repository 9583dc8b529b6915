// Fuzzes the identification-answer parser with arbitrary 8-bit answers.
#include "model/DeviceIdentity.h"
#include "fuzz/FuzzCheck.h"

#include <QString>
#include <cstddef>
#include <cstdint>

namespace {

TDeviceIdentity Filled()
{
    TDeviceIdentity id;
    id.Manufacturer = QStringLiteral("old");
    id.Model = QStringLiteral("old");
    id.SerialNumber = 77;
    id.FirmwareVersion = QStringLiteral("9.9.9");
    id.FirmwareVersionParts = {9, 9, 9};
    id.FpgaVersion = QStringLiteral("8.8.8.8");
    id.FpgaVersionParts = {8, 8, 8, 8};
    return id;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The serial line carries 8-bit text: each byte is one character.
    const QString answer = QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const TDeviceIdentity before = Filled();
    TDeviceIdentity id = before;
    const TIdnParseResult result = ParseIDNText(answer, id);

    switch (result) {
        case TIdnParseResult::iprCleared:
            FUZZ_CHECK(answer.size() <= 10);
            FUZZ_CHECK(id.Manufacturer.isEmpty() && id.Model.isEmpty() && id.SerialNumber == 0);
            FUZZ_CHECK(id.FirmwareVersion.isEmpty() && id.FpgaVersion.isEmpty());
            break;
        case TIdnParseResult::iprNoSerial:
            FUZZ_CHECK(answer.size() > 10);
            FUZZ_CHECK(id.SerialNumber == before.SerialNumber);
            FUZZ_CHECK(id.FirmwareVersion == before.FirmwareVersion && id.FpgaVersion == before.FpgaVersion);
            FUZZ_CHECK(id.FirmwareVersionParts == before.FirmwareVersionParts);
            FUZZ_CHECK(id.FpgaVersionParts == before.FpgaVersionParts);
            break;
        case TIdnParseResult::iprComplete:
            // Every part came from the text: the firmware version has its three
            // parts, the FPGA version three or four.
            FUZZ_CHECK(id.FirmwareVersion.count('.') >= 2);
            FUZZ_CHECK(id.FpgaVersion.count('.') >= 2);
            if (id.FpgaVersion.count('.') != 3)
                FUZZ_CHECK(id.FpgaVersionParts[3] == 0);
            [[fallthrough]];
        case TIdnParseResult::iprBadVersion:
            FUZZ_CHECK(answer.size() > 10);
            // Manufacturer, model and serial number are comma-separated fields
            // that precede the versions in the answer.
            FUZZ_CHECK(!id.Manufacturer.contains(',') && !id.Model.contains(','));
            FUZZ_CHECK(answer.count(',') >= 3);
            FUZZ_CHECK(answer.endsWith(id.FpgaVersion));
            break;
        default:
            FUZZ_CHECK(false);
    }

    // The query path gives the same result for the same answer.
    TDeviceIdentity viaQuery = before;
    QString asked;
    const TIdnParseResult queried = ParseIDN(viaQuery, [&](const QString& command) {
        asked = command;
        return answer;
    });
    FUZZ_CHECK(asked == QLatin1String("*IDN"));
    FUZZ_CHECK(queried == result && viaQuery == id);
    (void)ManufacturerName(id);
    return 0;
}
