#include "FirmwareImage.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "support/IntelHexRecord.h"

namespace {

std::string hexRecord(std::uint8_t type, std::uint32_t offset, const QByteArray& data) {
    return intelHexRecord(type, static_cast<std::uint16_t>(offset), {data.begin(), data.end()});
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
                    0x04, 0, QByteArray(1, static_cast<char>(upper >> 8)) + static_cast<char>(upper)));
            }
            const std::uint32_t start = address;
            QByteArray data;
            for (const std::uint32_t end = std::min({address + 16, to, (address | 0xFFFF) + 1});
                 address < end; ++address)
                data += static_cast<char>(address * 7 + (address >> 8));
            image.flash.replace(start - kFlashStart, data.size(), data);
            image.lines.push_back(hexRecord(0x00, start & 0xFFFF, data));
        }
    }
    image.lines.push_back(hexRecord(0x01, 0, {}));
    return image;
}
