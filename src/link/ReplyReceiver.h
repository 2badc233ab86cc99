#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/StampedBytes.h"

// What one read (or one quiet tick) brings: replies to hand over, and reports of bytes that were
// no reply for this device.
struct Received {
    enum class Kind { Reply, AddressError, FunctionError };
    // What the bytes given up were: another board's frame, a reply without the frame, or noise.
    enum class Stray { Noise, OtherAddress, Unframed };

    Kind kind = Kind::Reply;
    // Reply: the payload of a frame, or a line in plain mode. Errors: the bytes of this read.
    std::string text;
    bool framed = true;
    // Reply: the stamp of the read that brought its first byte, and when its last byte arrived.
    std::uint64_t stamp = 0;
    std::chrono::steady_clock::time_point completedAt{};
    // Framed reply: the CRC received and the CRC computed.
    std::string crc, crcCalc;
    // Errors: the bytes given up.
    Stray stray = Stray::Noise;
    std::uint8_t strayAddress = 0;
};

// Cuts the bytes read from the port into replies. In Modbus RTU mode a reply is a frame of the
// device's address, "B", the text and a CRC-16; in plain mode it ends with CR LF, or when the line
// stays quiet. Bytes that arrived in one framing are never handed over in the other: a switch
// drops what the other framing held. Each read carries a stamp (the caller's count of frames
// sent), so that a reply tells whether it began before the caller's last frame went out.
class ReplyReceiver {
  public:
    using Clock = std::chrono::steady_clock;

    // One read, of bytes that arrived at `now`. `address`: the device address, empty when none can be named
    // (the bytes then only wait). Framed replies whose end is not yet certain wait for `heldFrameWait` of
    // quiet.
    std::vector<Received> take(const std::string& chunk, bool framed, std::optional<std::uint8_t> address,
                               std::uint64_t stamp, Clock::time_point now);
    // A tick that read nothing: the replies the line's quiet has completed.
    std::vector<Received> quiet(bool framed, std::optional<std::uint8_t> address, Clock::time_point now);
    void clear();

    // Modbus RTU mode: the bytes that have not formed a frame yet.
    const std::string& frameBytes() const { return frames.bytes(); }
    // Plain mode: the bytes of a reply whose line end has not come yet.
    const std::string& lineBytes() const { return line.bytes(); }
    bool holdingFrame() const { return frameHeld; }
    // When a held frame is due to be handed over, should no byte come first.
    std::optional<Clock::time_point> heldFrameDue() const;

    // How long a framed reply whose end is not certain waits for the line to be quiet. Zero: it
    // waits only while bytes behind it may be its rest, until a tick finds no more (the window's
    // poll gathers a reply between its ticks).
    Clock::duration heldFrameWait{};
    // A byte's time on the line; zero where nothing paces the bytes.
    Clock::duration byteTime{};

  private:
    void takeFrames(std::uint8_t address, std::vector<Received>& out);
    void takeLines(std::vector<Received>& out);
    void handOverFrame(std::size_t discard, std::size_t length, std::vector<Received>& out);
    void dropOtherFraming(bool framed);
    Clock::time_point completedBefore(std::size_t bytesBehind) const;

    StampedBytes frames;
    StampedBytes line;
    bool frameHeld = false;
    Clock::time_point lastRead{};
    std::string chunk; // the bytes of the current read, for error reports
};
