#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Where a reply frame ends. A frame has no length field, so it can end wherever its CRC matches,
// and a shorter part of a frame matches by chance about once in 65536 lengths: "VER=2.62" from
// address 1 or "OK" from address 17 hold such a part. Of the lengths that match, the end is:
//  - all the bytes received, when they form one good frame;
//  - otherwise the first length after which another frame begins (this address and "B", or a
//    complete good frame from any address), or whose text ends in CR LF as device replies do;
//  - otherwise the first length, unsettled: more bytes may yet show the frame to be longer.
struct ReplyFrameEnd {
    std::size_t length = 0; // 0: no length matches (yet)
    // The end is certain. An unsettled frame is all the bytes received so far (or is followed by
    // bytes that begin nothing), and its text lacks the line end: it may be the front of a longer
    // frame that is still arriving.
    bool settled = false;
};

// Looks for frame ends in one buffer. Each position's frame is followed at most once however
// often it is asked about, which keeps the work linear in the buffer.
class ReplyFrameFinder {
  public:
    explicit ReplyFrameFinder(const std::string& buffer) : buffer(buffer) {}

    // The frame whose address byte is at `start` (its "B" is the caller's to check).
    ReplyFrameEnd frameEnd(std::size_t start);

    // Bytes looked at, CRC steps included: the measure of the work.
    std::size_t examined = 0;

  private:
    std::uint8_t byte(std::size_t at) const { return static_cast<std::uint8_t>(buffer[at]); }
    bool textEndsInLineEnd(std::size_t start, std::size_t length) const;
    // Another frame begins at `at`: the address byte of `address` and "B", or any good frame.
    bool frameBeginsAt(std::size_t at, std::uint8_t address);
    bool goodFrameAt(std::size_t at);

    const std::string& buffer;
    std::vector<std::int8_t> goodFrameKnown; // by position: -1 unknown, 0 no, 1 yes
};
