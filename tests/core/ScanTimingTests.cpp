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

// Probes to address 5 and what came back: replies, noise, collisions, slow boards. Steps are a
// probe sent at a time, or bytes received; the first answer came at `firstAnswerMs`, and an answer
// is on time up to `windowMs` after its probe.
TEST(ProbeAnswers, MoreThanOneBoardIsMoreWholeRepliesThanProbesToAnswer) {
    const std::string version = reply(5, "VER=1.0\r\n");
    std::string damaged = version; // a second board's reply, its first letter hit in a collision
    damaged[2] ^= 0x20;
    const std::string noise = "\xF8\xE0\x80\xFC\xC0\xF0";
    struct Step {
        int probeMs; // -1: bytes received
        std::string bytes;
        bool overWaiting = false; // the probe went out with received bytes unread
        int readMs = -1;          // when the bytes were read, where known
    };
    const auto probe = [](int ms) { return Step{ms, {}}; };
    const auto probeOverWaiting = [](int ms) { return Step{ms, {}, true}; };
    const auto bytesOf = [](std::string text) { return Step{-1, std::move(text)}; };
    const auto readAt = [](int ms, std::string text) { return Step{-1, std::move(text), false, ms}; };
    const struct {
        const char* name;
        bool modbusFraming;
        std::vector<Step> steps;
        int firstAnswerMs;
        int windowMs;
        bool moreThanOne;
        std::size_t unreadable;
    } table[] = {
        {"one reply", true, {probe(0), bytesOf(version)}, 10, 20, false, 0},
        {"two replies", true, {probe(0), bytesOf(version + version)}, 10, 20, true, 0},
        {"a reply and a damaged one",
         true,
         {probe(0), bytesOf(version + damaged)},
         10,
         20,
         false,
         damaged.size()},
        {"a reply amid noise", true, {probe(0), bytesOf(noise + version + noise + noise)}, 10, 20, false, 18},
        {"a flood", true, {probe(0), bytesOf(version + std::string(5000, '\x55'))}, 10, 20, false, 5000},
        {"the probe's echo and a reply",
         true,
         {probe(0), bytesOf(request(5, "BOOTi\r\n") + version)},
         10,
         20,
         false,
         0},
        {"two replies from 4",
         true,
         {probe(0), bytesOf(reply(4, "VER=1.0\r\n") + reply(4, "VER=1.0\r\n"))},
         10,
         20,
         false,
         0},
        {"a reply split over two probes",
         true,
         {probe(0), bytesOf(version.substr(0, 4)), probe(200), bytesOf(version.substr(4))},
         210,
         20,
         false,
         0},
        {"a slow board answers the probe before, then its own",
         true,
         {probe(0), probe(200), bytesOf(version), bytesOf(version)},
         250,
         310,
         false,
         0},
        {"two slow boards",
         true,
         {probe(0), probe(200), bytesOf(version + version), bytesOf(version + version)},
         250,
         310,
         true,
         0},
        {"a board slower than the window",
         true,
         {probe(0), probe(200), bytesOf(version)},
         350,
         110,
         false,
         0},
        {"two boards that answer only a later probe",
         true,
         {probe(0), probe(200), probe(400), bytesOf(version + version)},
         410,
         20,
         true,
         0},
        {"a host held up: its next probe goes out over the unread answer",
         true,
         {probe(0), probeOverWaiting(700), bytesOf(version), bytesOf(version)},
         710,
         110,
         false,
         0},
        {"two boards, the host held up",
         true,
         {probe(0), probeOverWaiting(700), bytesOf(version + version), bytesOf(version + version)},
         710,
         110,
         true,
         0},
        {"a host held up reads the answer, then its overdue probe goes out, then judges",
         true,
         {probe(0), readAt(987, version), probe(989), readAt(995, version)},
         1000,
         110,
         false,
         0},
        {"two boards, read by a host held up",
         true,
         {probe(0), readAt(987, version + version), probe(989), readAt(995, version + version)},
         1000,
         110,
         true,
         0},
        {"noise waited unread, then two boards answer a later probe",
         true,
         {probe(0), probeOverWaiting(200), bytesOf(noise), probe(400), bytesOf(version + version)},
         410,
         20,
         true,
         noise.size()},
        {"plain: one reply and the echo",
         false,
         {probe(0), bytesOf("BOOTi\r\nVER=1.0\r\n")},
         10,
         20,
         false,
         0},
        {"plain: two replies", false, {probe(0), bytesOf("VER=1.0\r\nVER=1.0\r\n")}, 10, 20, true, 0},
        {"plain: a reply and a damaged one",
         false,
         {probe(0), bytesOf("VER=1.0\r\nvER=1.0\r\n")},
         10,
         20,
         false,
         9},
    };
    using Clock = ProbeAnswers::Clock;
    const auto at = [](int ms) { return Clock::time_point{} + std::chrono::milliseconds(ms); };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        ProbeAnswers answers(row.modbusFraming);
        for (const Step& step : row.steps) {
            if (step.probeMs >= 0) {
                answers.probeSent(5, at(step.probeMs), step.overWaiting);
                continue;
            }
            const auto read = step.readMs >= 0 ? std::optional(at(step.readMs)) : std::nullopt;
            answers.received(step.bytes.substr(0, 3), read);
            answers.received(step.bytes.substr(std::min<std::size_t>(3, step.bytes.size())), read);
        }
        const auto window = std::chrono::milliseconds(row.windowMs);
        EXPECT_EQ(answers.moreThanOneBoard(at(row.firstAnswerMs), window), row.moreThanOne);
        EXPECT_EQ(answers.unreadableBytes(), row.unreadable);
        // A probe to another address starts its own tally; what formed no reply is still counted.
        answers.probeSent(6, at(1000));
        EXPECT_FALSE(answers.moreThanOneBoard(at(1000), window));
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
