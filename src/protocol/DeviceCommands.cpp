#include <cstdint>
#include <exception>
#include <string>

#include "link/NumberRule.h"
#include "protocol/Vocabulary.h"
#include "window/frmSerial.h"

namespace {

// The lowest 8 bits of `number` as two upper-case hexadecimal digits (-1 gives "FF").
std::string lowestByteInHex(std::int64_t number) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    const auto byte = static_cast<std::uint8_t>(static_cast<std::uint64_t>(number) & 0xFFu);
    return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

} // namespace

void frmSerial::Command1_Click() {
    // Refused while a record is in flight, as are "Install " and "?": the device's answer would
    // be taken for the record's.
    if (RecordAwaited == 1)
        return;
    if (ScanMode == 1) {
        // "Next": the connection wait goes on from its count, so the next probe goes past the found device.
        view.setTimer3Enabled(true);
        view.setText8Text("");
        return;
    }
    std::int64_t newAddress = 0;
    try {
        newAddress = WholeNumber(view.text2Text(), INT32_MIN, INT32_MAX);
    } catch (const std::exception&) {
        // A number no 32-bit register holds names no address: nothing is sent, as for "00".
        return;
    }
    const std::string digits = lowestByteInHex(newAddress);
    if (digits == "00")
        return;
    // Like "Install " and "?", it holds a transfer: the device's "OK" answers the command.
    TransferActive = 0;
    WriteCOM32(vocabulary::setAddressCommand(digits));
}

void frmSerial::Command6_Click() {
    if (RecordAwaited == 1)
        return;
    TransferActive = 0;
    WriteCOM32(vocabulary::kInstall);
    view.pause(1000);
    WriteCOM32(vocabulary::kVersionQuery);
}

void frmSerial::Command4_Click() {
    if (RecordAwaited == 1)
        return;
    view.setText8Text("");
    TransferActive = 0;
    WriteCOM32(vocabulary::kProbe);
}
