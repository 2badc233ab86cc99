#include "link/ReplyFrames.h"

#include "link/Crc16.h"

namespace {

bool startsFrameAt(const std::string& buffer, std::size_t at, std::uint8_t address) {
    return at + 1 < buffer.size() && static_cast<std::uint8_t>(buffer[at]) == address &&
           buffer[at + 1] == kReplyFunction;
}

// Where a frame may start after noise at the front: the address followed by "B", or the address
// as the very last byte, whose "B" may still come. The buffer's size when there is no such place.
std::size_t nextPossibleStart(const std::string& buffer, std::uint8_t address) {
    for (std::size_t at = 1; at < buffer.size(); ++at)
        if (static_cast<std::uint8_t>(buffer[at]) == address &&
            (at + 1 == buffer.size() || buffer[at + 1] == kReplyFunction))
            return at;
    return buffer.size();
}

// The length of the frame starting at `start`, 0 when none completes. One pass: the CRC register
// is carried along instead of being recomputed for every candidate length.
std::size_t completeFrameLength(const std::string& buffer, std::size_t start) {
    std::uint16_t crc = kCrc16Init;
    for (std::size_t end = start; end + 2 <= buffer.size(); ++end) {
        if (end - start + 2 >= kMinReplyLength && static_cast<std::uint8_t>(buffer[end]) == (crc & 0xFF) &&
            static_cast<std::uint8_t>(buffer[end + 1]) == (crc >> 8))
            return end - start + 2;
        crc = crc16Update(crc, static_cast<std::uint8_t>(buffer[end]));
    }
    return 0;
}

} // namespace

ReplyScan scanReplyBuffer(const std::string& buffer, std::uint8_t address) {
    using Outcome = ReplyScan::Outcome;
    if (buffer.size() < kMinReplyLength)
        return {};
    if (static_cast<std::uint8_t>(buffer[0]) != address)
        return {Outcome::WrongAddress, nextPossibleStart(buffer, address), 0};
    if (buffer[1] != kReplyFunction)
        return {Outcome::WrongFunction, nextPossibleStart(buffer, address), 0};
    if (const std::size_t length = completeFrameLength(buffer, 0))
        return {Outcome::Frame, 0, length};
    // The front may be a reply cut short that is still arriving, or a corrupted one; it is given
    // up only when a complete frame follows it.
    for (std::size_t start = 1; start + kMinReplyLength <= buffer.size(); ++start)
        if (startsFrameAt(buffer, start, address))
            if (const std::size_t length = completeFrameLength(buffer, start))
                return {Outcome::Frame, start, length};
    return {};
}

void boundReplyBuffer(std::string& buffer) {
    if (buffer.size() > kReplyBufferLimit)
        buffer.erase(0, buffer.size() - kReplyBufferLimit);
}
