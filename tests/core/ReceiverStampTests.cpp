#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "link/ReplyReceiver.h"
#include "support/Bytes.h"
#include "support/Frames.h"

namespace {

using std::chrono::milliseconds;
using Clock = ReplyReceiver::Clock;

} // namespace

// A reply carries the stamp of the read that brought its first byte: bytes left from before a
// request never lend it theirs, or the machine would take the answer for a second answer to the
// frame before and wait on for one that has come. Each case lists its reads (bytes and stamp), in
// Modbus RTU framing at address 1 or plain, and the replies with their stamps.
TEST(ReceiverStamps, AReplyCarriesTheStampOfTheReadItBeganIn) {
    struct Read {
        std::string bytes;
        std::uint64_t stamp;
    };
    const std::string ok = reply(1, "OK");
    const struct {
        const char* name;
        bool framed;
        std::vector<Read> reads;
        std::vector<std::pair<std::string, std::uint64_t>> replies;
    } cases[] = {
        {"a reply behind one cut short before its request",
         true,
         {{ok.substr(0, 3), 1}, {ok, 2}},
         {{"OK", 2}}},
        {"a reply after the start of another address's frame",
         true,
         {{reply(2, "VER=1").substr(0, 3), 4}, {ok, 5}},
         {{"OK", 5}}},
        {"a reply split over two reads", true, {{ok.substr(0, 3), 1}, {ok.substr(3), 2}}, {{"OK", 1}}},
        {"a reply that starts the read after another",
         true,
         {{ok + ok.substr(0, 1), 1}, {ok.substr(1) + reply(1, "DOWNLOAD"), 2}},
         {{"OK", 1}, {"OK", 1}, {"DOWNLOAD", 2}}},
        {"a plain reply behind the line end of the one before",
         false,
         {{"FORMAT\r", 1}, {"\nOK\r\n", 2}},
         {{"FORMAT\r\n", 1}, {"OK\r\n", 2}}},
        {"a plain reply split over two reads", false, {{"O", 3}, {"K\r\n", 4}}, {{"OK\r\n", 3}}},
    };
    const Clock::time_point start{};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReplyReceiver receiver;
        std::vector<std::pair<std::string, std::uint64_t>> replies;
        for (const Read& read : c.reads)
            for (const Received& received : receiver.take(read.bytes, c.framed, 1, read.stamp, start))
                if (received.kind == Received::Kind::Reply)
                    replies.emplace_back(received.text, received.stamp);
        EXPECT_EQ(replies, c.replies);
    }
}

// A plain reply without its line end is taken once the line has been quiet longer than a USB
// adapter's latency timer (16 ms) can hold back the rest of it.
TEST(ReceiverStamps, APlainReplyWithoutLineEndWaitsOutTheAdaptersLatency) {
    const Clock::time_point start{};
    ReplyReceiver receiver;
    EXPECT_TRUE(receiver.take("VER=1", false, 1, 7, start).empty());
    EXPECT_TRUE(receiver.quiet(false, 1, start + milliseconds(17)).empty());
    EXPECT_TRUE(receiver.quiet(false, 1, start + milliseconds(19)).empty());
    const std::vector<Received> taken = receiver.quiet(false, 1, start + milliseconds(20));
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].text, "VER=1");
    EXPECT_EQ(taken[0].stamp, 7u);
}

// Replies that came in one read completed one after the other: each is as much line time older
// than the read as the bytes behind it took, so a take-up "OK" read with a later reply is not
// timed as late as that reply.
TEST(ReceiverStamps, EachReplyOfOneReadCompletedBeforeTheBytesBehindIt) {
    for (const bool framed : {true, false}) {
        SCOPED_TRACE(framed ? "framed" : "plain");
        ReplyReceiver receiver;
        receiver.byteTime = std::chrono::microseconds(87);
        const std::string first = framed ? reply(1, "OK\r\n") : std::string("OK\r\n");
        const std::string second = framed ? reply(1, "ERROR\r\n") : std::string("ERROR\r\n");
        const Clock::time_point read = Clock::time_point{} + milliseconds(50);
        const auto replies = receiver.take(first + second, framed, std::uint8_t{1}, 1, read);
        ASSERT_EQ(replies.size(), 2u);
        EXPECT_EQ(replies[0].completedAt, read - static_cast<long>(second.size()) * receiver.byteTime);
        EXPECT_EQ(replies[1].completedAt, read);
    }
}
