#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One Intel HEX record line: ":", byte count, address, type, data, checksum, in upper-case hex.
inline std::string intelHexRecord(std::uint8_t type, std::uint16_t address,
                                  const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(data.size()),
                                    static_cast<std::uint8_t>(address >> 8),
                                    static_cast<std::uint8_t>(address & 0xFF), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes)
        sum = static_cast<std::uint8_t>(sum - b);
    bytes.push_back(sum);
    std::string line = ":";
    for (std::uint8_t b : bytes)
        line += {"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 0xF]};
    return line;
}

// `count` data records of one byte each, the k-th at address `first` + k holding that address's
// low byte: a good file's body of any length.
inline std::vector<std::string> oneByteRecords(std::size_t first, std::size_t count) {
    std::vector<std::string> lines;
    for (std::size_t k = first; k < first + count; ++k)
        lines.push_back(intelHexRecord(0, static_cast<std::uint16_t>(k), {static_cast<std::uint8_t>(k)}));
    return lines;
}

// The lines as a file's text, each ended by `end`.
inline std::string textOf(const std::vector<std::string>& lines, const char* end = "\r\n") {
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}
