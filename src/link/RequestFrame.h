#pragma once

#include <cstdint>
#include <string>

// A request in Modbus RTU framing: address byte, the command text, CRC-16 low byte then high byte.
std::string modbusRequestFrame(std::uint8_t address, const std::string& commandText);
