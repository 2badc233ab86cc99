#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Finding reply frames in the bytes received in Modbus RTU mode. A reply frame is the device
// address, the function byte "B", a payload of at least two bytes and the CRC-16 (low byte first)
// over everything before it. There is no length field: a frame ends at a length of at least six
// bytes whose CRC matches, chosen as link/ReplyFrameEnd.h tells.

inline constexpr std::size_t kMinReplyLength = 6;
inline constexpr char kReplyFunction = 'B';
// No device reply comes near this length (they are short texts such as "OK" or "VER=..."). The
// bound keeps the search linear in the buffer: a start is followed for this many bytes at most, and
// a start this far back from the newest byte can no longer begin a reply.
inline constexpr std::size_t kMaxReplyLength = 256;
// The most one tick looks at. Bytes beyond it at the front of one read are noise: a device sends
// one short reply per request, never kilobytes between two polls.
inline constexpr std::size_t kReplyBufferLimit = 512;

// The most work a search over `size` bytes does: a frame may start at every byte (at address 0x42
// the address byte is itself a "B"), each start is followed for one reply length at most, and each
// position is checked once more for a frame of any address that follows another.
inline constexpr std::size_t replySearchWorkBound(std::size_t size) {
    return size * (2 * kMaxReplyLength + 4);
}

// What the front of the receive buffer holds.
struct ReplyScan {
    enum class Outcome {
        Waiting,       // nothing to hand over yet: too short, or a reply still arriving
        WrongAddress,  // the first byte is not the device address
        WrongFunction, // the second byte is not "B"
        Frame,         // a complete frame
    };
    Outcome outcome = Outcome::Waiting;
    // Bytes to drop from the front: for the errors, up to the next place where a frame can start;
    // for a frame, the bytes before it that can never form a frame of their own; while waiting,
    // the bytes too far back to begin a reply that is still arriving.
    std::size_t discard = 0;
    // Frame: its length, counted from `discard`.
    std::size_t length = 0;
    // Frame: its end is certain (see ReplyFrameEnd). An unsettled frame may be handed over at
    // once, or after the line has stayed quiet for a moment, where a receiver can afford it.
    bool settled = false;
    // Bytes looked at by the search, CRC steps included: the measure of its work.
    std::size_t examined = 0;
};

ReplyScan scanReplyBuffer(const std::string& buffer, std::uint8_t address);

// The length of the frame that starts at `start` (its address byte), whatever the address: the
// first length of at least kMinReplyLength whose last two bytes are the CRC of the rest, 0 when
// none completes within kMaxReplyLength. Each byte looked at is counted in `examined`, if given.
std::size_t replyFrameLength(const std::string& buffer, std::size_t start, std::size_t* examined = nullptr);

// Drops the oldest bytes beyond kReplyBufferLimit (of either mode's buffer).
void boundReplyBuffer(std::string& buffer);
