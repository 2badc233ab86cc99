#include <chrono>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "link/ReplyFrameSpotter.h"
#include "link/ReplyFrames.h"
#include "protocol/ProbeWait.h"

namespace {

using Addresses = std::vector<std::uint8_t>;

// Chunks fed one after another; the addresses each chunk completes.
TEST(ReplyFrameSpotter, NamesTheAddressOfEveryGoodFrameOnce) {
    const std::string fromThree = reply(3, "VER=1.0\r\n");
    const std::string fromNine = reply(9, "OK");
    std::string corrupted = fromThree;
    corrupted[4] ^= 0x01;
    const struct {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<Addresses> found;
    } table[] = {
        {"whole frame", {fromThree}, {{3}}},
        {"split over three chunks",
         {fromThree.substr(0, 1), fromThree.substr(1, 5), fromThree.substr(6)},
         {{}, {}, {3}}},
        {"two frames in one chunk, any address", {fromThree + fromNine}, {{3, 9}}},
        {"noise in front", {bytes({0x00, 0x42, 0xFF}) + fromNine}, {{9}}},
        {"corrupted frame, then a good one", {corrupted, fromNine}, {{}, {9}}},
        {"a frame seen is not named again", {fromNine, bytes({0x55})}, {{9}, {}}},
        {"function byte not \"B\"", {request(3, "COK")}, {{}}},
        {"one-byte payload is no frame", {reply(3, "X")}, {{}}},
        {"the longest frame", {reply(7, std::string(kMaxReplyLength - 4, 'x'))}, {{7}}},
        {"a frame after much noise", {std::string(5000, '\x55'), reply(127, "VER=2.1\r\n")}, {{}, {127}}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        ReplyFrameSpotter spotter;
        for (std::size_t i = 0; i < row.chunks.size(); ++i)
            EXPECT_EQ(spotter.feed(row.chunks[i]), row.found[i]) << "chunk " << i;
    }
}

// The wait is the line time of a 10-byte probe and a 36-byte reply at 10 bits a byte, rounded up,
// plus the margin and the wake allowance.
TEST(ProbeWait, FollowsTheSpeed) {
    using std::chrono::milliseconds;
    const struct {
        int baud;
        int marginMs;
        milliseconds wait;
    } table[] = {
        {115200, 10, milliseconds(4 + 10) + kWakeAllowance}, // 460 bits: 3.99 ms
        {19200, 10, milliseconds(24 + 10) + kWakeAllowance}, // 23.96 ms
        {9600, 0, milliseconds(48) + kWakeAllowance},        // 47.92 ms
    };
    for (const auto& row : table)
        EXPECT_EQ(probeWait(row.baud, milliseconds(row.marginMs)), row.wait) << row.baud;
    EXPECT_EQ(lineTime(12, 115200), std::chrono::microseconds(1042));
}

} // namespace
