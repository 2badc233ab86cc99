#include "link/ReplyFrameSpotter.h"

#include "link/ReplyFrames.h"

std::vector<std::uint8_t> ReplyFrameSpotter::feed(const std::string& bytes) {
    // Older bytes can only be noise or frames already passed over.
    pending += bytes;
    boundReplyBuffer(pending);
    std::vector<std::uint8_t> addresses;
    for (std::size_t start = 0; start + kMinReplyLength <= pending.size();) {
        const std::size_t length =
            pending[start + 1] == kReplyFunction ? replyFrameLength(pending, start) : 0;
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
