#include "FirmwareImage.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <stdexcept>

namespace {

constexpr std::uint8_t kData = 0x00;
constexpr std::uint8_t kEndOfFile = 0x01;
constexpr std::uint8_t kExtendedLinearAddress = 0x04;
constexpr std::size_t kMaxRecordData = 16;

std::string hexByte(std::uint8_t value) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", value);
    return digits;
}

} // namespace

QStringList flashOptions(const FlashLayout& layout) {
    return {"--flash-start", QString::number(layout.start), "--flash-size", QString::number(layout.size)};
}

std::string hexRecord(std::uint8_t type, std::uint16_t offset, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> body{static_cast<std::uint8_t>(data.size()),
                                   static_cast<std::uint8_t>(offset >> 8),
                                   static_cast<std::uint8_t>(offset & 0xFF), type};
    body.insert(body.end(), data.begin(), data.end());
    std::uint8_t sum = 0;
    std::string line = ":";
    for (std::uint8_t byte : body) {
        sum = static_cast<std::uint8_t>(sum + byte);
        line += hexByte(byte);
    }
    return line + hexByte(static_cast<std::uint8_t>(-sum));
}

FirmwareImage makeFirmwareImage(const FlashLayout& layout, const std::vector<DataBlock>& blocks) {
    FirmwareImage image{layout, {}, std::vector<std::uint8_t>(layout.size, 0xFF)};
    std::optional<std::uint16_t> upper;
    for (const DataBlock& block : blocks) {
        if (block.address < layout.start || block.address - layout.start + block.bytes.size() > layout.size)
            throw std::invalid_argument("block outside the flash");
        std::copy(block.bytes.begin(), block.bytes.end(),
                  image.flash.begin() + (block.address - layout.start));
        std::size_t done = 0;
        while (done < block.bytes.size()) {
            const std::uint32_t address = block.address + static_cast<std::uint32_t>(done);
            const auto blockUpper = static_cast<std::uint16_t>(address >> 16);
            if (upper != blockUpper) {
                upper = blockUpper;
                image.lines.push_back(hexRecord(kExtendedLinearAddress, 0,
                                                {static_cast<std::uint8_t>(blockUpper >> 8),
                                                 static_cast<std::uint8_t>(blockUpper & 0xFF)}));
            }
            const std::size_t toBoundary = 0x10000 - (address & 0xFFFF);
            const std::size_t length = std::min({kMaxRecordData, block.bytes.size() - done, toBoundary});
            const auto from = block.bytes.begin() + static_cast<std::ptrdiff_t>(done);
            image.lines.push_back(
                hexRecord(kData, static_cast<std::uint16_t>(address & 0xFFFF),
                          std::vector<std::uint8_t>(from, from + static_cast<std::ptrdiff_t>(length))));
            done += length;
        }
    }
    image.lines.push_back(hexRecord(kEndOfFile, 0, {}));
    return image;
}

FirmwareImage sampleFirmware() {
    const FlashLayout layout{0x0800'0000, 128 * 1024};
    return makeFirmwareImage(layout,
                             {{0x0800'0000, patternBytes(0x40, 1)}, {0x0800'FF80, patternBytes(0x10B, 2)}});
}

std::vector<std::uint8_t> patternBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::vector<std::uint8_t> bytes(count);
    for (std::uint8_t& byte : bytes)
        byte = static_cast<std::uint8_t>(generator() & 0xFF);
    return bytes;
}

std::string withBadChecksum(const std::string& line) {
    const auto checksum = static_cast<std::uint8_t>(std::stoul(line.substr(line.size() - 2), nullptr, 16));
    return line.substr(0, line.size() - 2) + hexByte(static_cast<std::uint8_t>(checksum + 1));
}

void writeWithoutFinalLineEnd(const std::string& path, const std::vector<std::string>& lines) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    for (std::size_t i = 0; i < lines.size(); ++i)
        file << (i == 0 ? "" : "\r\n") << lines[i];
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> readWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}
