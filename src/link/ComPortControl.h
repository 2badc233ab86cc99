#pragma once

#include <cstdint>
#include <string>

// The modem lines over Telnet with COM port control (RFC 2217): the SET-CONTROL values that switch
// DTR and RTS, and the command that carries one. The server answers each with the value it set.
namespace comportcontrol {

constexpr std::uint8_t kDtrOn = 8, kDtrOff = 9, kRtsOn = 11, kRtsOff = 12;

inline std::uint8_t dtrValue(bool on) {
    return on ? kDtrOn : kDtrOff;
}
inline std::uint8_t rtsValue(bool on) {
    return on ? kRtsOn : kRtsOff;
}

// IAC SB COM-PORT-OPTION SET-CONTROL value IAC SE.
std::string setControlCommand(std::uint8_t value);
// "DTR on", "RTS off": a value as a message names it.
std::string controlName(std::uint8_t value);

} // namespace comportcontrol
