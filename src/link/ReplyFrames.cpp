#include "link/ReplyFrames.h"

#include "link/Crc16.h"
#include "link/ReplyFrameEnd.h"

namespace {

class Search {
  public:
    Search(const std::string& buffer, std::uint8_t address)
        : buffer(buffer), address(address), ends(buffer) {}

    bool startsFrameAt(std::size_t at) {
        ++examined;
        return at + 1 < buffer.size() && byte(at) == address && buffer[at + 1] == kReplyFunction;
    }

    // Where a frame may start at or after `from`: the address followed by "B", or the address as
    // the very last byte, whose "B" may still come. The buffer's size when there is no such place.
    std::size_t nextPossibleStart(std::size_t from) {
        for (std::size_t at = from; at < buffer.size(); ++at) {
            ++examined;
            if (byte(at) == address && (at + 1 == buffer.size() || buffer[at + 1] == kReplyFunction))
                return at;
        }
        return buffer.size();
    }

    ReplyFrameEnd frameEnd(std::size_t start) { return ends.frameEnd(start); }

    std::size_t work() const { return examined + ends.examined; }

  private:
    std::uint8_t byte(std::size_t at) const { return static_cast<std::uint8_t>(buffer[at]); }

    const std::string& buffer;
    std::uint8_t address;
    ReplyFrameFinder ends;
    std::size_t examined = 0;
};

} // namespace

std::size_t replyFrameLength(const std::string& buffer, std::size_t start, std::size_t* examined) {
    const auto byte = [&buffer](std::size_t at) { return static_cast<std::uint8_t>(buffer[at]); };
    // One pass: the CRC register is carried along instead of being recomputed for every length.
    std::uint16_t crc = kCrc16Init;
    for (std::size_t end = start; end + 2 <= buffer.size() && end + 2 - start <= kMaxReplyLength; ++end) {
        if (examined)
            ++*examined;
        if (end - start + 2 >= kMinReplyLength && byte(end) == (crc & 0xFF) && byte(end + 1) == (crc >> 8))
            return end - start + 2;
        crc = crc16Update(crc, byte(end));
    }
    return 0;
}

ReplyScan scanReplyBuffer(const std::string& buffer, std::uint8_t address) {
    using Outcome = ReplyScan::Outcome;
    if (buffer.size() < kMinReplyLength)
        return {};
    Search search(buffer, address);
    const auto result = [&search](Outcome outcome, std::size_t discard, ReplyFrameEnd end = {}) {
        return ReplyScan{outcome, discard, end.length, end.settled, search.work()};
    };
    if (static_cast<std::uint8_t>(buffer[0]) != address)
        return result(Outcome::WrongAddress, search.nextPossibleStart(1));
    if (buffer[1] != kReplyFunction)
        return result(Outcome::WrongFunction, search.nextPossibleStart(1));
    if (const ReplyFrameEnd end = search.frameEnd(0); end.length != 0)
        return result(Outcome::Frame, 0, end);
    // The front may be a reply cut short that is still arriving, or a corrupted one; it is given
    // up when a complete frame follows it, or when it lies too far back to be a reply at all.
    for (std::size_t start = 1; start + kMinReplyLength <= buffer.size(); ++start)
        if (search.startsFrameAt(start))
            if (const ReplyFrameEnd end = search.frameEnd(start); end.length != 0)
                return result(Outcome::Frame, start, end);
    const std::size_t stale = buffer.size() >= kMaxReplyLength ? buffer.size() - kMaxReplyLength + 1 : 0;
    return result(Outcome::Waiting, stale == 0 ? 0 : search.nextPossibleStart(stale));
}

void boundReplyBuffer(std::string& buffer) {
    if (buffer.size() > kReplyBufferLimit)
        buffer.erase(0, buffer.size() - kReplyBufferLimit);
}
