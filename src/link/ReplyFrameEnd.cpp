#include "link/ReplyFrameEnd.h"

#include "link/Crc16.h"
#include "link/ReplyFrames.h"

ReplyFrameEnd ReplyFrameFinder::frameEnd(std::size_t start) {
    const std::uint8_t address = byte(start);
    const std::size_t whole = buffer.size() - start;
    ReplyFrameEnd first;
    ReplyFrameEnd split;
    // One pass: the CRC register is carried along instead of being recomputed for every length.
    std::uint16_t crc = kCrc16Init;
    for (std::size_t end = start; end + 2 <= buffer.size() && end + 2 - start <= kMaxReplyLength; ++end) {
        ++examined;
        const std::size_t length = end - start + 2;
        if (length >= kMinReplyLength && byte(end) == (crc & 0xFF) && byte(end + 1) == (crc >> 8)) {
            if (length == whole)
                return {length, textEndsInLineEnd(start, length)};
            if (first.length == 0)
                first = {length, false};
            if (split.length == 0 &&
                (textEndsInLineEnd(start, length) || frameBeginsAt(start + length, address)))
                split = {length, true};
        }
        crc = crc16Update(crc, byte(end));
    }
    if (split.length != 0)
        return split;
    // No later byte can make the frame longer once it spans the longest reply.
    first.settled = first.length != 0 && whole >= kMaxReplyLength;
    return first;
}

bool ReplyFrameFinder::textEndsInLineEnd(std::size_t start, std::size_t length) const {
    const std::size_t crAt = start + length - 4;
    return buffer[crAt] == '\r' && buffer[crAt + 1] == '\n';
}

bool ReplyFrameFinder::frameBeginsAt(std::size_t at, std::uint8_t address) {
    if (at + 1 >= buffer.size() || buffer[at + 1] != kReplyFunction)
        return false;
    return byte(at) == address || goodFrameAt(at);
}

bool ReplyFrameFinder::goodFrameAt(std::size_t at) {
    if (goodFrameKnown.empty())
        goodFrameKnown.assign(buffer.size(), -1);
    if (goodFrameKnown[at] < 0)
        goodFrameKnown[at] = replyFrameLength(buffer, at, &examined) != 0 ? 1 : 0;
    return goodFrameKnown[at] == 1;
}
