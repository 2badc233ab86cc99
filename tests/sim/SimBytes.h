#pragma once

#include "link/Crc16.h"
#include "support/Bytes.h"

#include <cstdint>
#include <string>

// A host's request in Modbus RTU framing.
inline std::string request(std::uint8_t address, const std::string& text) {
    std::string frame(1, static_cast<char>(address));
    frame += text + "\r\n";
    return frame + CRC16(frame);
}

// Replies of the device at address 1.
inline const std::string kVersionFrom1 = bytes({
    0x01,                                     // address
    0x42,                                     // "B"
    0x56, 0x45, 0x52, 0x3D, 0x31, 0x2E, 0x30, // "VER=1.0"
    0x0D, 0x0A,                               // CR LF
    0x35,                                     // CRC low
    0xF6,                                     // CRC high
});
inline const std::string kOkFrom1 = bytes({
    0x01,                   // address
    0x42,                   // "B"
    0x4F, 0x4B, 0x0D, 0x0A, // "OK" CR LF
    0x9B,                   // CRC low
    0x90,                   // CRC high
});
inline const std::string kFormatFrom1 =
    bytes({0x01, 0x42, 0x46, 0x4F, 0x52, 0x4D, 0x41, 0x54, 0x0D, 0x0A, 0xC3, 0x78});
