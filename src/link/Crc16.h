#pragma once

#include <array>
#include <cstdint>
#include <string>

// Byte strings travel as std::string: one char per byte, values 0..255 unchanged.

// CRC-16/MODBUS: polynomial 0x8005 reflected (0xA001), initial value 0xFFFF, LSB first, no final XOR.
// Continue a running register over `bytes`; start from kCrc16Init.
inline constexpr std::uint16_t kCrc16Init = 0xFFFF;
std::uint16_t crc16Update(std::uint16_t crc, const std::string& bytes);

// The register after eight shifts of each byte value, worked out once: the reply search runs the
// CRC along every candidate frame start, so a step per byte instead of per bit keeps it cheap.
inline constexpr std::array<std::uint16_t, 256> kCrc16ByteSteps = [] {
    std::array<std::uint16_t, 256> steps{};
    for (unsigned value = 0; value < 256; ++value) {
        unsigned crc = value;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1;
        steps[value] = static_cast<std::uint16_t>(crc);
    }
    return steps;
}();

// The same for one byte, for searches that carry the register along a buffer byte by byte.
inline std::uint16_t crc16Update(std::uint16_t crc, std::uint8_t byte) {
    return static_cast<std::uint16_t>((crc >> 8) ^ kCrc16ByteSteps[(crc ^ byte) & 0xFFu]);
}

// The check value of `sString` as it goes on the wire: low byte, then high byte.
// Refuses texts over 32767 bytes with std::length_error, as the window's CRC procedure always has.
std::string CRC16(const std::string& sString);

inline constexpr std::size_t kCrc16MaxLength = 32767;
