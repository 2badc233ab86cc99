// The reply search on arbitrary buffers: what it reports must hold, and its work stays linear.
#include <string>

#include "fuzz/FuzzRequire.h"
#include "link/Crc16.h"
#include "link/ReplyFrames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::uint8_t address = data[0];
    const std::string buffer(reinterpret_cast<const char*>(data) + 1, size - 1);
    const ReplyScan scan = scanReplyBuffer(buffer, address);

    require(scan.examined <= replySearchWorkBound(buffer.size()));
    require(scan.discard <= buffer.size());
    switch (scan.outcome) {
    case ReplyScan::Outcome::Frame: {
        require(scan.length >= kMinReplyLength && scan.length <= kMaxReplyLength);
        require(scan.discard + scan.length <= buffer.size());
        const std::string frame = buffer.substr(scan.discard, scan.length);
        require(static_cast<std::uint8_t>(frame[0]) == address && frame[1] == kReplyFunction);
        require(crc16Update(kCrc16Init, frame) == 0); // a frame followed by its own CRC
        // Bytes that form one good frame as a whole are never cut where a shorter part matches.
        const std::string rest = buffer.substr(scan.discard);
        if (rest.size() <= kMaxReplyLength && crc16Update(kCrc16Init, rest) == 0)
            require(scan.length == rest.size());
        break;
    }
    case ReplyScan::Outcome::WrongAddress:
    case ReplyScan::Outcome::WrongFunction:
        require(scan.discard >= 1); // the search always moves on
        break;
    case ReplyScan::Outcome::Waiting:
        require(buffer.size() - scan.discard < kMaxReplyLength);
        break;
    }
    return 0;
}
