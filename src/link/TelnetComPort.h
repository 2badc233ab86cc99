#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "link/PortConfig.h"

// The Telnet side of a line reached through a serial device server with the COM port control
// option (RFC 2217): it offers binary transmission and COM port control, sets the remote line's
// speed, data bits, parity and stop bits once the server agrees, and separates the line's data
// from Telnet commands. Bytes in, bytes out, no I/O: a command split across reads is completed
// by the next call, and any option it does not know is refused, once, however often it is asked.
class TelnetComPort {
  public:
    enum class ComPortState { Asked, Agreed, Refused };

    // The offers to send as soon as the connection stands.
    std::string start(const LineSettings& settings);
    // Takes bytes from the network and returns the line's data among them.
    std::string receive(const std::string& bytes);
    // Answers and settings owed to the server, removed as they are taken.
    std::string takeReplies();
    // The line's data as it must travel: 0xFF doubled, and CR followed by NUL until the server
    // accepts binary transmission.
    std::string encode(const std::string& data) const;

    ComPortState comPortState() const { return comPort; }
    // The speed the server reported after setting it, once it has.
    std::optional<std::uint32_t> confirmedBaud() const { return baudReply; }
    // The server's last answer to SET-CONTROL (a modem line's value), removed as it is taken.
    std::optional<std::uint8_t> takeControlAnswer() { return std::exchange(controlAnswer, std::nullopt); }

  private:
    enum class Side { No, WantYes, Yes };
    enum class Parse { Data, Iac, Verb, Sub, SubIac };

    void onVerb(std::uint8_t verb, std::uint8_t option);
    void onSubnegotiation();
    void sendCommand(std::uint8_t verb, std::uint8_t option);
    void refuseOnce(std::bitset<256>& refused, std::uint8_t verb, std::uint8_t option);
    void sendSettings();
    Side& usFor(std::uint8_t option);
    Side& himFor(std::uint8_t option);

    LineSettings settings;
    std::string replies;
    Parse parse = Parse::Data;
    std::uint8_t verb = 0;
    std::string sub;
    bool afterCr = false;
    Side usBinary = Side::No, usSga = Side::No, usComPort = Side::No, usOther = Side::No;
    Side himBinary = Side::No, himSga = Side::No, himOther = Side::No;
    ComPortState comPort = ComPortState::Asked;
    std::optional<std::uint32_t> baudReply;
    std::bitset<256> refusedToUs, refusedToHim;
    std::optional<std::uint8_t> controlAnswer;
};
