#include "link/Crc16.h"

#include <stdexcept>

std::uint16_t crc16Update(std::uint16_t crc, const std::string& bytes) {
    for (unsigned char byte : bytes)
        crc = crc16Update(crc, static_cast<std::uint8_t>(byte));
    return crc;
}

std::string CRC16(const std::string& sString) {
    if (sString.size() > kCrc16MaxLength)
        throw std::length_error("CRC16: text longer than 32767 bytes");
    const std::uint16_t crc = crc16Update(kCrc16Init, sString);
    return {static_cast<char>(crc & 0xFF), static_cast<char>(crc >> 8)};
}
