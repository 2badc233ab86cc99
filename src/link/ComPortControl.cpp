#include "link/ComPortControl.h"

namespace comportcontrol {

namespace {

constexpr std::uint8_t kIac = 255, kSb = 250, kSe = 240, kComPortOption = 44, kSetControl = 5;

} // namespace

std::string setControlCommand(std::uint8_t value) {
    // No value this sends is 255, so none needs doubling.
    return {static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kComPortOption),
            static_cast<char>(kSetControl), static_cast<char>(value), static_cast<char>(kIac),
            static_cast<char>(kSe)};
}

std::string controlName(std::uint8_t value) {
    switch (value) {
    case kDtrOn:
        return "DTR on";
    case kDtrOff:
        return "DTR off";
    case kRtsOn:
        return "RTS on";
    case kRtsOff:
        return "RTS off";
    default:
        return "control value " + std::to_string(value);
    }
}

} // namespace comportcontrol
