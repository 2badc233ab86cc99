#include "LineSession.h"

#include "SimBytes.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Writes = std::vector<std::string>;

const std::string kOkFrom5 = request(5, "BOK");

// One line with a test clock: each step moves time on by hand.
struct Line {
    explicit Line(std::initializer_list<std::uint8_t> addresses, LineTiming timing = {},
                  FaultSettings faults = {}, bool modbus = true)
        : bus(devicesAt(addresses), modbus), session(bus, timing, faults) {}

    static std::vector<EmulatedDevice> devicesAt(std::initializer_list<std::uint8_t> addresses) {
        std::vector<EmulatedDevice> devices;
        for (std::uint8_t address : addresses)
            devices.emplace_back(DeviceSettings{address, "1.0", 0, 0x1'0000, 30ms});
        return devices;
    }

    Writes ask(const std::string& bytes) {
        session.receive(bytes, now);
        return session.service(now);
    }
    Writes advanceTo(SimClock::time_point later) {
        now = later;
        return session.service(now);
    }

    DeviceBus bus;
    LineSession session;
    SimClock::time_point now{};
};

} // namespace

TEST(DeviceBusLine, EachDeviceAnswersOnlyAtItsOwnAddressWithItsOwnFlash) {
    Line line({3, 5, 9});
    EXPECT_EQ(line.ask(request(5, "BOOTg")), Writes{kOkFrom5});
    EXPECT_EQ(line.ask(request(4, "BOOTi")), Writes{});
    // The device answers a new address from its old one and listens at the new one from then on.
    EXPECT_EQ(line.ask(request(5, "BOOT$01")), Writes{kOkFrom5});
    EXPECT_EQ(line.ask(request(5, "BOOTi")), Writes{});
    EXPECT_EQ(line.ask(request(1, "BOOTi")), Writes{kVersionFrom1});
    EXPECT_EQ(line.ask(request(3, "BOOT:02000000AABB99")).size(), 1u);
    EXPECT_EQ(line.bus.devices()[0].flash().bytes()[0], 0xAA);
    EXPECT_EQ(line.bus.devices()[1].flash().bytes()[0], 0xFF);
}

// Plain framing cuts requests at CR LF and sends bare replies; it also shows where a corrupted
// reply is hit: the first letter of its keyword.
TEST(DeviceBusLine, PlainFramingTakesLinesAndSendsBareTexts) {
    Line line({1}, {}, FaultSettings{.corruptEvery = 2}, false);
    EXPECT_EQ(line.ask("BOOTi\r\nBOOT:00000001FF\r\nBO"), (Writes{"VER=1.0\r\n", "dOWNLOAD\r\n"}));
    EXPECT_EQ(line.ask("OTg\r\n"), Writes{"OK\r\n"});
    EXPECT_THROW(Line({1, 2}, {}, {}, false), std::invalid_argument);
}

TEST(DeviceBusLine, FormatGoesOutAtOnceAndItsOkAfterTheEraseTime) {
    Line line({1});
    EXPECT_EQ(line.ask(request(1, "BOOT:02000000AABB99")), Writes{kFormatFrom1});
    ASSERT_EQ(line.session.nextWake(), line.now + 30ms);
    // A request that comes during the erase is answered after it, not before.
    EXPECT_EQ(line.ask(request(1, "BOOTi")), Writes{});
    EXPECT_EQ(line.advanceTo(line.now + 29ms), Writes{});
    EXPECT_EQ(line.advanceTo(line.now + 1ms), (Writes{kOkFrom1, kVersionFrom1}));
    EXPECT_FALSE(line.session.nextWake().has_value());
}

TEST(LineTiming, ReplyDelayHoldsEveryReplyBack) {
    Line line({1}, LineTiming{.replyDelay = 50ms});
    EXPECT_EQ(line.ask(request(1, "BOOTi")), Writes{});
    EXPECT_EQ(line.advanceTo(line.now + 49ms), Writes{});
    EXPECT_EQ(line.advanceTo(line.now + 1ms), Writes{kVersionFrom1});
}

TEST(LineTiming, BytesTakeTenBitTimesEachWay) {
    // At 1000 baud a byte takes 10 ms: the reply starts once the request is through and comes a
    // byte at a time.
    Line line({1}, LineTiming{.lineRate = 1000});
    const std::string probe = request(1, "BOOTi");
    EXPECT_EQ(line.ask(probe), Writes{});
    const SimClock::time_point arrived = line.now + 10ms * probe.size();
    EXPECT_EQ(line.advanceTo(arrived - 1ms), Writes{});
    const SimClock::time_point replied = arrived + 10ms * kVersionFrom1.size();
    EXPECT_EQ(line.advanceTo(replied - 1ms), Writes{kVersionFrom1.substr(0, kVersionFrom1.size() - 1)});
    EXPECT_EQ(line.advanceTo(replied), Writes{kVersionFrom1.substr(kVersionFrom1.size() - 1)});
}

// At 115200 baud with a 1 ms tick, five replies back to back (about 5 ms on the line) go out in
// writes on the tick, each holding every byte that has crossed by then and none that has not, and
// a byte that crossed is out by the next tick at the latest.
TEST(LineTiming, PacedBytesGoOutOnTheTickNeverEarlyAndAtMostATickLate) {
    const LineTiming timing{.lineRate = 115200, .writeTick = 1000us};
    Line line({1}, timing);
    const std::string probe = request(1, "BOOTi");
    const SimClock::time_point start = line.now;
    EXPECT_EQ(line.ask(probe + probe + probe + probe + probe), Writes{});
    const auto byteTime = std::chrono::nanoseconds(10'000'000'000ll / timing.lineRate);
    // The requests count from the end of the read that brought them; the replies follow each other.
    const SimClock::time_point repliesBegin = start + byteTime * probe.size() * 5;
    const auto crossedBy = [&](SimClock::time_point at) {
        return at < repliesBegin
                   ? 0
                   : std::min<std::size_t>(kVersionFrom1.size() * 5, (at - repliesBegin) / byteTime);
    };
    std::string sent;
    int wakes = 0;
    while (const auto wake = line.session.nextWake()) {
        ASSERT_LT(++wakes, 20);
        EXPECT_EQ(wake->time_since_epoch() % timing.writeTick, SimClock::duration::zero()) << "off the tick";
        const Writes writes = line.advanceTo(*wake);
        EXPECT_LE(writes.size(), 1u);
        for (const std::string& write : writes)
            sent += write;
        EXPECT_EQ(sent.size(), crossedBy(*wake)) << "at " << (*wake - start).count() << " ns";
    }
    EXPECT_EQ(sent, kVersionFrom1 + kVersionFrom1 + kVersionFrom1 + kVersionFrom1 + kVersionFrom1);
    EXPECT_LE(wakes, 8) << "about one write per tick";
}

TEST(ReplyFaultsOnTheLine, DropCorruptAndStrayHitEverySecondReplyOnly) {
    // Each fault with what it makes of the second reply.
    const std::pair<FaultSettings, Writes> cases[] = {
        {{.dropEvery = 2}, {}},
        {{.corruptEvery = 2},
         {bytes({
             0x01,                   // address
             0x42,                   // "B"
             0x6F, 0x4B, 0x0D, 0x0A, // "oK" CR LF: the first letter's case turned
             0x9B, 0x90,             // the CRC of "OK", which no longer fits
         })}},
        {{.strayEvery = 2, .strayBytes = 3}, {bytes({0, 0, 0}) + kOkFrom1}},
    };
    for (const auto& [faults, second] : cases) {
        SCOPED_TRACE(hexBytes(second.empty() ? "" : second[0]));
        Line line({1}, {}, faults);
        EXPECT_EQ(line.ask(request(1, "BOOTg")), Writes{kOkFrom1});
        EXPECT_EQ(line.ask(request(1, "BOOTg")), second);
        EXPECT_EQ(line.ask(request(1, "BOOTg")), Writes{kOkFrom1});
    }
}

TEST(ReplyFaultsOnTheLine, GlueHoldsAReplyForTheNextOneOrForTheHoldLimitAtMost) {
    Line line({1}, LineTiming{.glueHoldLimit = 250ms}, FaultSettings{.glueEvery = 2});
    EXPECT_EQ(line.ask(request(1, "BOOTi")), Writes{kVersionFrom1});
    // Reply 2, "FORMAT", waits for reply 3, the "OK" at the end of the erase.
    EXPECT_EQ(line.ask(request(1, "BOOT:02000000AABB99")), Writes{});
    EXPECT_EQ(line.advanceTo(line.now + 30ms), Writes{kFormatFrom1 + kOkFrom1});
    EXPECT_EQ(line.ask(request(1, "BOOTg")), Writes{});
    ASSERT_EQ(line.session.nextWake(), line.now + 250ms);
    EXPECT_EQ(line.advanceTo(line.now + 250ms), Writes{kOkFrom1});
}
