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
    NoteFramingSwitch();
    if (ScanMode == 1) {
        // "Next": the connection wait goes on from its count, so the next probe goes past the found device.
        machine.handle(Event::NextClicked);
        CloseIfLostOnWrite();
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
    AddressDigits = digits;
    machine.handle(Event::SetAddressClicked);
    CloseIfLostOnWrite();
}

void frmSerial::Command6_Click() {
    NoteFramingSwitch();
    machine.handle(Event::InstallClicked);
    CloseIfLostOnWrite();
}

void frmSerial::Command4_Click() {
    NoteFramingSwitch();
    machine.handle(Event::IdentifyClicked);
    CloseIfLostOnWrite();
}

// The hidden "Send" button: the machine sends a record only as the board answers the one before.
void frmSerial::Command5_Click() {
    machine.handle(Event::SendClicked);
}

bool frmSerial::sendAddressChange() {
    return Sent(WriteCOM32(vocabulary::setAddressCommand(AddressDigits)));
}

bool frmSerial::sendIdentify() {
    return Sent(WriteCOM32(vocabulary::kProbe));
}

bool frmSerial::sendInstall() {
    const bool started = Sent(WriteCOM32(vocabulary::kInstall));
    view.pause(1000);
    WriteCOM32(vocabulary::kVersionQuery);
    return started;
}
