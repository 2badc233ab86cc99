#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The server side of Telnet with COM port control (RFC 2217), as a serial device server answers
// it: agrees to binary transmission, suppress-go-ahead and COM port control, answers every COM
// port command with the value it took (speed, data bits, parity, stop bits, DTR, RTS), and
// separates the line's data from Telnet commands. Bytes in, bytes out, no I/O.
class TelnetServer {
  public:
    // Takes bytes from the client and returns the line's data among them.
    std::string receive(std::string_view bytes);
    // Answers owed to the client, removed as they are taken.
    std::string takeReplies();
    // The line's data as it travels to the client: 0xFF doubled.
    static std::string encode(std::string_view data);

    // A serial port opens with both lines asserted.
    bool dtr() const { return dtr_; }
    bool rts() const { return rts_; }
    std::uint32_t baud() const { return baud_; }

  private:
    enum class Parse { Data, Iac, Verb, Sub, SubIac };

    void onVerb(std::uint8_t verb, std::uint8_t option);
    void onComPortCommand();
    void answer(std::uint8_t command, const std::string& value);

    Parse parse_ = Parse::Data;
    std::uint8_t verb_ = 0;
    std::string sub_;
    std::string replies_;
    // Options each side has agreed to, one bit per option number below 64.
    std::uint64_t ours_ = 0, theirs_ = 0;
    bool dtr_ = true, rts_ = true;
    std::uint32_t baud_ = 115200;
    std::uint8_t dataSize_ = 8, parity_ = 1, stopSize_ = 1;
};
