#include "FirmwareImage.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace {

std::string hexRecord(std::uint8_t type, std::uint32_t offset, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> body{static_cast<std::uint8_t>(data.size()),
                                   static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset),
                                   type};
    body.insert(body.end(), data.begin(), data.end());
    std::uint8_t sum = 0;
    std::string line = ":";
    char digits[3];
    for (std::uint8_t byte : body) {
        sum = static_cast<std::uint8_t>(sum + byte);
        std::snprintf(digits, sizeof digits, "%02X", byte);
        line += digits;
    }
    std::snprintf(digits, sizeof digits, "%02X", static_cast<std::uint8_t>(-sum));
    return line + digits;
}

} // namespace

FirmwareImage sampleFirmware() {
    constexpr std::uint32_t kFlashStart = 0x0800'0000;
    FirmwareImage image{{}, QByteArray(128 * 1024, '\xFF')};
    std::uint32_t upper = 0xFFFF'FFFF;
    for (const auto& [from, to] :
         {std::pair{0x0800'0000u, 0x0800'0040u}, std::pair{0x0800'FF80u, 0x0801'008Bu}}) {
        for (std::uint32_t address = from; address < to;) {
            if (address >> 16 != upper) {
                upper = address >> 16;
                image.lines.push_back(hexRecord(
                    0x04, 0, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)}));
            }
            const std::uint32_t offset = address & 0xFFFF;
            std::vector<std::uint8_t> data;
            for (const std::uint32_t end = std::min({address + 16, to, (address | 0xFFFF) + 1});
                 address < end; ++address) {
                data.push_back(static_cast<std::uint8_t>(address * 7 + (address >> 8)));
                image.flash[address - kFlashStart] = static_cast<char>(data.back());
            }
            image.lines.push_back(hexRecord(0x00, offset, data));
        }
    }
    image.lines.push_back(hexRecord(0x01, 0, {}));
    return image;
}
