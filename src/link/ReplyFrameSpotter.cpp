#include "link/ReplyFrameSpotter.h"

#include "link/Crc16.h"
#include "link/ReplyFrames.h"

namespace {

// Enough for several replies; older bytes can only be noise or frames already passed over.
constexpr std::size_t kPendingLimit = 512;

// The length of the shortest frame starting at `start`, 0 when none completes. A frame followed
// by its own CRC leaves the register at 0.
std::size_t frameLengthAt(const std::string& bytes, std::size_t start) {
    if (start + 1 >= bytes.size() || bytes[start + 1] != kReplyFunction)
        return 0;
    std::uint16_t crc = kCrc16Init;
    for (std::size_t end = start; end < bytes.size(); ++end) {
        crc = crc16Update(crc, static_cast<std::uint8_t>(bytes[end]));
        if (end - start + 1 >= kMinReplyLength && crc == 0)
            return end - start + 1;
    }
    return 0;
}

} // namespace

std::vector<std::uint8_t> ReplyFrameSpotter::feed(const std::string& bytes) {
    pending += bytes;
    if (pending.size() > kPendingLimit)
        pending.erase(0, pending.size() - kPendingLimit);
    std::vector<std::uint8_t> addresses;
    for (std::size_t start = 0; start + kMinReplyLength <= pending.size();) {
        const std::size_t length = frameLengthAt(pending, start);
        if (length == 0) {
            ++start;
            continue;
        }
        addresses.push_back(static_cast<std::uint8_t>(pending[start]));
        pending.erase(0, start + length);
        start = 0;
    }
    return addresses;
}
