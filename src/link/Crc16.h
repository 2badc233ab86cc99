#pragma once

#include <cstdint>
#include <string>

// Byte strings travel as std::string: one char per byte, values 0..255 unchanged.

// CRC-16/MODBUS: polynomial 0x8005 reflected (0xA001), initial value 0xFFFF, LSB first, no final XOR.
// Continue a running register over `bytes`; start from kCrc16Init.
inline constexpr std::uint16_t kCrc16Init = 0xFFFF;
std::uint16_t crc16Update(std::uint16_t crc, const std::string& bytes);
// The same for one byte, for searches that carry the register along a buffer byte by byte.
std::uint16_t crc16Update(std::uint16_t crc, std::uint8_t byte);

// The check value of `sString` as it goes on the wire: low byte, then high byte.
// Refuses texts over 32767 bytes with std::length_error, as the window's CRC procedure always has.
std::string CRC16(const std::string& sString);

inline constexpr std::size_t kCrc16MaxLength = 32767;
