#include "link/RequestFrame.h"

#include "link/Crc16.h"

std::string modbusRequestFrame(std::uint8_t address, const std::string& commandText) {
    std::string frame(1, static_cast<char>(address));
    frame += commandText;
    return frame + CRC16(frame);
}
