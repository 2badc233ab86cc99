#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A request taken off the line: its command text without the CR LF, and in Modbus RTU framing the
// address byte it was sent to.
struct BusRequest {
    std::optional<std::uint8_t> address;
    std::string text;
};

// Cuts the byte stream from the host into requests. In Modbus RTU framing a request is
// [address][text ending in CR LF][CRC low][CRC high] with no length field, so the end is found by
// trying every CR LF until the CRC over address and text matches. Bytes in front of a good frame
// (noise, a frame hit by a bad CRC, half a frame) are dropped once the good frame has come, or once
// they lie too far back to start a request, so one damaged frame never deafens the device.
// In plain framing a request is the text up to CR LF.
class RequestDecoder {
  public:
    explicit RequestDecoder(bool modbusFraming) : modbusFraming_(modbusFraming) {}

    std::vector<BusRequest> feed(std::string_view bytes);

    // Bytes thrown away so far as noise or damaged frames.
    std::size_t discardedBytes() const { return discarded_; }

  private:
    std::optional<BusRequest> takeModbusFrame();
    std::optional<BusRequest> takePlainLine();
    void discardFront(std::size_t count);

    bool modbusFraming_;
    std::string pending_;
    std::size_t discarded_ = 0;
};

// The bytes of one reply: in Modbus RTU framing [address]["B"][text CR LF][CRC low][CRC high],
// in plain framing the text and CR LF alone.
std::string encodeReply(std::optional<std::uint8_t> address, std::string_view text);
