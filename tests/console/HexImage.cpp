#include "HexImage.h"

#include <fstream>
#include <iterator>
#include <random>

#include "support/IntelHexRecord.h"

HexImage makeHexImage(int dataRecords, std::uint32_t flashStart, std::size_t flashSize, unsigned seed) {
    HexImage image;
    image.flash.assign(flashSize, 0xFF);
    std::mt19937 random(seed);
    std::uint32_t offset = 0;
    for (int i = 0; i < dataRecords; ++i, offset += 16) {
        const std::uint32_t address = flashStart + offset;
        if (i == 0 || address % 0x10000 == 0) {
            const std::uint32_t upper = address >> 16;
            image.lines.push_back(intelHexRecord(
                4, 0, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper & 0xFF)}));
        }
        std::vector<std::uint8_t> data(16);
        for (auto& b : data)
            b = static_cast<std::uint8_t>(random());
        image.lines.push_back(intelHexRecord(0, static_cast<std::uint16_t>(address & 0xFFFF), data));
        std::copy(data.begin(), data.end(), image.flash.begin() + offset);
    }
    image.lines.push_back(intelHexRecord(1, 0, {}));
    return image;
}

void writeLines(const std::string& path, const std::vector<std::string>& lines, bool lastLineEnded) {
    std::ofstream file(path, std::ios::binary);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        file << lines[i];
        if (i + 1 < lines.size() || lastLineEnded)
            file << "\r\n";
    }
}

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> readBinary(const std::string& path) {
    const std::string bytes = fileText(path);
    return {bytes.begin(), bytes.end()};
}
