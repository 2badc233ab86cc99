#include "LineSession.h"

#include "SimBytes.h"
#include "link/Crc16.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

std::string request(std::uint8_t address, const std::string& text) {
    std::string frame(1, static_cast<char>(address));
    frame += text + "\r\n";
    return frame + CRC16(frame);
}

const std::string kVersionFrom1 = bytesOf({
    0x01,                                     // address
    0x42,                                     // "B"
    0x56, 0x45, 0x52, 0x3D, 0x31, 0x2E, 0x30, // "VER=1.0"
    0x0D, 0x0A,                               // CR LF
    0x35,                                     // CRC low
    0xF6,                                     // CRC high
});
const std::string kOkFrom1 = bytesOf({0x01, 0x42, 0x4F, 0x4B, 0x0D, 0x0A, 0x9B, 0x90});
const std::string kOkFrom5 = bytesOf({0x05, 0x42, 0x4F, 0x4B, 0x0D, 0x0A, 0x9A, 0x14});
const std::string kVersionFrom5 =
    bytesOf({0x05, 0x42, 0x56, 0x45, 0x52, 0x3D, 0x31, 0x2E, 0x30, 0x0D, 0x0A, 0x20, 0xC6});

std::vector<EmulatedDevice> devicesAt(std::initializer_list<std::uint8_t> addresses) {
    std::vector<EmulatedDevice> devices;
    for (std::uint8_t address : addresses)
        devices.emplace_back(DeviceSettings{address, "1.0", 0, 0x1'0000, 30ms});
    return devices;
}

// One line with a test clock: each step moves time on by hand.
struct Line {
    explicit Line(std::vector<EmulatedDevice> devices, LineTiming timing = {}, FaultSettings faults = {},
                  bool modbus = true)
        : bus(std::move(devices), modbus), session(bus, timing, faults) {}

    std::vector<std::string> ask(const std::string& bytes) {
        session.receive(bytes, now);
        return session.service(now);
    }
    std::vector<std::string> advanceTo(SimClock::time_point later) {
        now = later;
        return session.service(now);
    }

    DeviceBus bus;
    LineSession session;
    SimClock::time_point now{};
};

using Writes = std::vector<std::string>;

} // namespace

TEST(DeviceBusLine, EachDeviceAnswersOnlyAtItsOwnAddressWithItsOwnFlash) {
    Line line(devicesAt({3, 5, 9}));
    EXPECT_EQ(line.ask(request(5, "BOOTi")), Writes{kVersionFrom5});
    EXPECT_EQ(line.ask(request(4, "BOOTi")), Writes{});
    EXPECT_EQ(line.ask(request(3, "BOOT:02000000AABB99")).size(), 1u);
    EXPECT_EQ(line.bus.devices()[0].flash().bytes()[0], 0xAA);
    EXPECT_EQ(line.bus.devices()[1].flash().bytes()[0], 0xFF);
}

TEST(DeviceBusLine, NewAddressIsAnsweredAtTheOldOneAndUsedFromThenOn) {
    Line line(devicesAt({1}));
    EXPECT_EQ(line.ask(request(1, "BOOT$05")), Writes{kOkFrom1});
    EXPECT_EQ(line.ask(request(1, "BOOTi")), Writes{});
    EXPECT_EQ(line.ask(request(5, "BOOTg")), Writes{kOkFrom5});
}

TEST(DeviceBusLine, PlainFramingSendsBareTexts) {
    Line line(devicesAt({1}), {}, {}, false);
    EXPECT_EQ(line.ask("BOOTi\r\n"), Writes{"VER=1.0\r\n"});
    EXPECT_EQ(line.ask("BOOT:00000001FF\r\n"), Writes{"DOWNLOAD\r\n"});
    EXPECT_THROW(DeviceBus(devicesAt({1, 2}), false), std::invalid_argument);
}

TEST(DeviceBusLine, FormatGoesOutAtOnceAndItsOkAfterTheEraseTime) {
    Line line(devicesAt({1}));
    const Writes first = line.ask(request(1, "BOOT:02000000AABB99"));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_NE(first[0].find("FORMAT"), std::string::npos);
    ASSERT_EQ(line.session.nextWake(), line.now + 30ms);
    // A request that comes during the erase is answered after it, not before.
    EXPECT_EQ(line.ask(request(1, "BOOTi")), Writes{});
    EXPECT_EQ(line.advanceTo(line.now + 29ms), Writes{});
    EXPECT_EQ(line.advanceTo(line.now + 1ms), (Writes{kOkFrom1, kVersionFrom1}));
    EXPECT_FALSE(line.session.nextWake().has_value());
}

TEST(DeviceBusLine, ReplyDelayHoldsEveryReplyBack) {
    Line line(devicesAt({1}), LineTiming{.replyDelay = 50ms});
    EXPECT_EQ(line.ask(request(1, "BOOTi")), Writes{});
    EXPECT_EQ(line.advanceTo(line.now + 50ms), Writes{kVersionFrom1});
}

TEST(ReplyFaultsOnTheLine, DropEveryNthLeavesThoseRepliesOut) {
    Line line(devicesAt({1}), {}, FaultSettings{.dropEvery = 2});
    EXPECT_EQ(line.ask(request(1, "BOOTi")), Writes{kVersionFrom1});
    EXPECT_EQ(line.ask(request(1, "BOOTi")), Writes{});
    EXPECT_EQ(line.ask(request(1, "BOOTi")), Writes{kVersionFrom1});
}

TEST(ReplyFaultsOnTheLine, CorruptEveryNthBreaksTheCrcOrTheKeyword) {
    Line modbus(devicesAt({1}), {}, FaultSettings{.corruptEvery = 1});
    const Writes corrupted = modbus.ask(request(1, "BOOTg"));
    ASSERT_EQ(corrupted.size(), 1u);
    EXPECT_EQ(hexOf(corrupted[0]), hexOf(bytesOf({0x01, 0x42, 0x6F, 0x4B, 0x0D, 0x0A, 0x9B, 0x90})));
    EXPECT_NE(crc16Update(kCrc16Init, corrupted[0]), 0);

    Line plain(devicesAt({1}), {}, FaultSettings{.corruptEvery = 1}, false);
    EXPECT_EQ(plain.ask("BOOTg\r\n"), Writes{"oK\r\n"});
}

TEST(ReplyFaultsOnTheLine, GlueHoldsAReplyAndSendsItInOneWriteWithTheNext) {
    Line line(devicesAt({1}), {}, FaultSettings{.glueEvery = 2});
    EXPECT_EQ(line.ask(request(1, "BOOTi")), Writes{kVersionFrom1});
    EXPECT_EQ(line.ask(request(1, "BOOTg")), Writes{});
    EXPECT_EQ(line.ask(request(1, "BOOTi")), Writes{kOkFrom1 + kVersionFrom1});
}

TEST(ReplyFaultsOnTheLine, AHeldReplyGoesOutAloneWhenNoOtherFollows) {
    Line line(devicesAt({1}), LineTiming{.glueHoldLimit = 250ms}, FaultSettings{.glueEvery = 1});
    EXPECT_EQ(line.ask(request(1, "BOOTg")), Writes{});
    ASSERT_EQ(line.session.nextWake(), line.now + 250ms);
    EXPECT_EQ(line.advanceTo(line.now + 250ms), Writes{kOkFrom1});
}

TEST(ReplyFaultsOnTheLine, FormatAndItsOkGlueIntoOneWrite) {
    Line line(devicesAt({1}), {}, FaultSettings{.glueEvery = 1});
    EXPECT_EQ(line.ask(request(1, "BOOT:02000000AABB99")), Writes{});
    const Writes glued = line.advanceTo(line.now + 30ms);
    ASSERT_EQ(glued.size(), 1u);
    EXPECT_EQ(glued[0].find("FORMAT"), 2u);
    EXPECT_EQ(glued[0].substr(glued[0].size() - kOkFrom1.size()), kOkFrom1);
}

TEST(ReplyFaultsOnTheLine, StrayBytesGoInFrontOfTheReply) {
    Line line(devicesAt({1}), {}, FaultSettings{.strayEvery = 2, .strayBytes = 3});
    EXPECT_EQ(line.ask(request(1, "BOOTg")), Writes{kOkFrom1});
    EXPECT_EQ(line.ask(request(1, "BOOTg")), Writes{bytesOf({0, 0, 0}) + kOkFrom1});
}

TEST(LinePacing, BytesTakeTenBitTimesEachWay) {
    // At 1000 baud a byte takes 10 ms.
    Line line(devicesAt({1}), LineTiming{.lineRate = 1000});
    const std::string probe = request(1, "BOOTi");
    EXPECT_EQ(line.ask(probe), Writes{});
    const SimClock::time_point requestArrived = line.now + 10ms * probe.size();
    EXPECT_EQ(line.advanceTo(requestArrived - 1ms), Writes{});

    std::string received;
    std::size_t writes = 0;
    for (line.now = requestArrived; received.size() < kVersionFrom1.size() && writes < 100; line.now += 5ms) {
        for (const std::string& chunk : line.session.service(line.now)) {
            received += chunk;
            ++writes;
        }
        EXPECT_LE(received.size(), static_cast<std::size_t>((line.now - requestArrived) / 10ms));
    }
    EXPECT_EQ(received, kVersionFrom1);
    EXPECT_GT(writes, 1u);
}
