#include <chrono>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "link/ReplyFrameSpotter.h"
#include "link/ReplyFrames.h"
#include "protocol/ProbeAnswers.h"
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

// One probe to address 5 and what came back in its window: replies, noise, collisions.
TEST(ProbeAnswers, TellsWhenMoreThanOneBoardAnsweredAndWhatFormedNoReply) {
    const std::string version = reply(5, "VER=1.0\r\n");
    std::string damaged = version; // the second board's reply, its first letter hit in a collision
    damaged[2] ^= 0x20;
    const struct {
        const char* name;
        bool modbusFraming;
        std::string window;
        bool moreThanOne;
        std::size_t unreadable;
    } table[] = {
        {"one reply", true, version, false, 0},
        {"two replies", true, version + version, true, 0},
        {"a reply and a damaged one", true, version + damaged, true, damaged.size()},
        {"a damaged reply, then a good one", true, damaged + version, true, damaged.size()},
        {"a damaged reply alone", true, damaged, false, damaged.size()},
        {"a reply and the shortest frame's length of junk", true, version + "\x55\x55\x55\x55\x55\x55", true,
         6},
        {"a reply and a few stray bytes", true, "\x55\x55\x55\x55\x55" + version, false, 5},
        {"a reply and zero bytes of a transceiver", true,
         std::string(8, '\0') + version + std::string(8, '\xFF'), false, 16},
        {"the probe's echo and a reply", true, request(5, "BOOTi\r\n") + version, false, 0},
        {"a late reply from 4 and a reply", true, reply(4, "VER=1.0\r\n") + version, false, 0},
        {"two replies from 4", true, reply(4, "VER=1.0\r\n") + reply(4, "VER=1.0\r\n"), false, 0},
        {"a flood", true, version + std::string(5000, '\x55'), true, 5000},
        {"plain: one reply and the echo", false, "BOOTi\r\nVER=1.0\r\n", false, 0},
        {"plain: two replies", false, "VER=1.0\r\nVER=1.0\r\n", true, 0},
        {"plain: a reply and a damaged one", false, "VER=1.0\r\nvER=1.0\r\n", true, 9},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        ProbeAnswers answers(row.modbusFraming);
        answers.probeSent(5);
        answers.received(row.window.substr(0, 3));
        answers.received(row.window.substr(3));
        EXPECT_EQ(answers.moreThanOneBoard(), row.moreThanOne);
        EXPECT_EQ(answers.unreadableBytes(), row.unreadable);
        // A new probe judges its own window; what formed no reply is still counted.
        answers.probeSent(6);
        EXPECT_FALSE(answers.moreThanOneBoard());
        EXPECT_EQ(answers.unreadableBytes(), row.unreadable);
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
