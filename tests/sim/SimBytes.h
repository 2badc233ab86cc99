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

// Replies of the device at address 1: framed as requests are, with "B" before the text (the CRC
// itself is checked against independent vectors in the core tests).
inline const std::string kVersionFrom1 = request(1, "BVER=1.0");
inline const std::string kOkFrom1 = request(1, "BOK");
inline const std::string kFormatFrom1 = request(1, "BFORMAT");
