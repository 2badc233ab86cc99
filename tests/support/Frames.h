#pragma once

#include <string>

#include "link/Crc16.h"
#include "support/Bytes.h"

// A request as the device receives it in Modbus RTU mode: address, command text, CRC low, CRC high.
inline std::string request(int address, const std::string& text) {
    const std::string body = bytes({address}) + text;
    return body + CRC16(body);
}

// A reply as the device sends it: address, "B", payload, CRC low, CRC high.
inline std::string reply(int address, const std::string& payload) {
    return request(address, "B" + payload);
}
