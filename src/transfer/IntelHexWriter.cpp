#include "transfer/IntelHexWriter.h"

#include <algorithm>

namespace {

constexpr std::size_t kBytesPerRecord = 16;

std::string recordLine(std::uint8_t type, std::uint16_t offset, const std::uint8_t* data,
                       std::size_t length) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string line = ":";
    std::uint8_t sum = 0;
    const auto put = [&](std::uint8_t byte) {
        line += kDigits[byte >> 4];
        line += kDigits[byte & 0xF];
        sum = static_cast<std::uint8_t>(sum + byte);
    };
    put(static_cast<std::uint8_t>(length));
    put(static_cast<std::uint8_t>(offset >> 8));
    put(static_cast<std::uint8_t>(offset & 0xFF));
    put(type);
    for (std::size_t i = 0; i < length; ++i)
        put(data[i]);
    put(static_cast<std::uint8_t>(0x100 - sum));
    return line;
}

std::string wordsRecord(std::uint8_t type, std::uint32_t value, std::size_t length) {
    std::uint8_t bytes[4];
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * (length - 1 - i)));
    return recordLine(type, 0, bytes, length);
}

} // namespace

std::vector<std::string> intelHexLines(const FirmwareImage& image) {
    std::vector<std::string> lines;
    std::uint32_t upper = 0;
    for (const ImageSegment& segment : image.segments) {
        std::size_t done = 0;
        while (done < segment.bytes.size()) {
            const std::uint32_t address = segment.address + static_cast<std::uint32_t>(done);
            if (address >> 16 != upper) {
                upper = address >> 16;
                lines.push_back(wordsRecord(0x04, upper, 2));
            }
            const std::size_t toBoundary = 0x10000 - (address & 0xFFFF);
            const std::size_t length = std::min({kBytesPerRecord, segment.bytes.size() - done, toBoundary});
            lines.push_back(recordLine(0x00, static_cast<std::uint16_t>(address & 0xFFFF),
                                       segment.bytes.data() + done, length));
            done += length;
        }
    }
    if (image.startAddress && *image.startAddress != 0)
        lines.push_back(wordsRecord(0x05, *image.startAddress, 4));
    lines.push_back(recordLine(0x01, 0, nullptr, 0));
    return lines;
}
