#include "EmulatedDevice.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

class Device : public ::testing::Test {
  protected:
    EmulatedDevice device{DeviceSettings{1, "1.0", 0x0800'0000, 0x2'0000, 30ms}};

    Texts send(std::string_view command) { return pass("", {command}); }
    // Sends each record behind `prefix` ("BOOT:" writes, "BOOT#" verifies) and gathers all replies.
    Texts pass(const std::string& prefix, std::initializer_list<std::string_view> records) {
        Texts replies;
        for (std::string_view record : records)
            for (const DeviceReply& reply : device.handle(prefix + std::string(record)))
                replies.push_back(reply.text);
        return replies;
    }
    std::uint8_t flashAt(std::uint32_t address) const {
        return device.flash().bytes().at(address - device.flash().start());
    }
};

} // namespace

TEST_F(Device, AnswersVersionProbeStartAndUnknownCommands) {
    EXPECT_EQ(send("BOOTi"), Texts{"VER=1.0"});
    EXPECT_EQ(send("VER"), Texts{"VER=1.0"});
    EXPECT_EQ(send("BOOTg"), Texts{"OK"});
    for (std::string_view unknown : {"", "BOOT", "BOOTx", "bOOTi", "BOOTi ", "HELLO", "BOOT;00000001FF"})
        EXPECT_EQ(send(unknown), Texts{"ERROR"}) << unknown;
}

TEST_F(Device, FirstDataRecordOfAPassErasesAndAnswersFormatThenOkAfterTheEraseTime) {
    EXPECT_EQ(send("BOOT:020000040800F2"), Texts{"OK"});
    // The OK waits for the erase time: the line checks when it goes out.
    EXPECT_EQ(
        pass("BOOT:", {"10000000000102030405060708090A0B0C0D0E0F78", "04001000DEADBEEFB4", "00000001FF"}),
        (Texts{"FORMAT", "OK", "OK", "DOWNLOAD"}));
    EXPECT_EQ(flashAt(0x0800'000F), 0x0F);
    EXPECT_EQ(flashAt(0x0800'0013), 0xEF);

    // The next pass erases again: what the first pass wrote and the second does not is gone.
    EXPECT_EQ(pass("BOOT:", {"020000040800F2", "02000000AABB99"}), (Texts{"OK", "FORMAT", "OK"}));
    EXPECT_EQ(flashAt(0x0800'0000), 0xAA);
    EXPECT_EQ(flashAt(0x0800'0013), 0xFF);
}

TEST_F(Device, AddressRecordsPlaceDataAndEndOfFileResetsTheBase) {
    EXPECT_EQ(pass("BOOT:", {"020000040801F1", "04001000DEADBEEFB4", "04000005080001C12D", "00000001FF"}),
              (Texts{"OK", "FORMAT", "OK", "OK", "DOWNLOAD"}));
    EXPECT_EQ(flashAt(0x0801'0010), 0xDE);
    // Without an address record the base is 0 again, which lies below this flash.
    EXPECT_EQ(send("BOOT:04001000DEADBEEFB4"), Texts{"ERROR"});
}

TEST_F(Device, RefusedRecordsEndThePassAndDataOutsideTheFlashErasesNothing) {
    EXPECT_EQ(pass("BOOT:", {"020000040800F2", "02000000AABB99", "00000001FF"}),
              (Texts{"OK", "FORMAT", "OK", "DOWNLOAD"}));
    // 0x08020000 is the first byte past a 128 KiB flash; 0x0801FFF8 starts inside and runs past the end.
    EXPECT_EQ(pass("BOOT:", {"020000040802F0", "04000000DEADBEEFC4", "020000040801F1",
                             "10FFF800000102030405060708090A0B0C0D0E0F81"}),
              (Texts{"OK", "ERROR", "OK", "ERROR"}));
    EXPECT_EQ(flashAt(0x0800'0000), 0xAA);
    // After a damaged record the host starts again, and that pass erases afresh.
    EXPECT_EQ(pass("BOOT:", {"020000040800F2", "04001000DEADBEEFB4", "02000000AABB98"}),
              (Texts{"OK", "FORMAT", "OK", "ERROR"}));
    // The last record ends on the flash's last byte.
    EXPECT_EQ(pass("BOOT:", {"020000040800F2", "02000000AABB99", "020000040801F1",
                             "10FFF000000102030405060708090A0B0C0D0E0F89"}),
              (Texts{"OK", "FORMAT", "OK", "OK", "OK"}));
    EXPECT_EQ(flashAt(0x0800'0010), 0xFF);
    EXPECT_EQ(flashAt(0x0801'FFFF), 0x0F);
}

TEST_F(Device, VerifyRecordsCompareWithTheFlash) {
    EXPECT_EQ(pass("BOOT:", {"020000040800F2", "04001000DEADBEEFB4", "00000001FF"}),
              (Texts{"OK", "FORMAT", "OK", "DOWNLOAD"}));
    EXPECT_EQ(pass("BOOT#", {"020000040800F2", "04001000deadbeefb4", "00000001FF"}),
              (Texts{"OK", "OK", "DOWNLOAD"}));
    // Same place with one byte different (and a checksum that fits it), then data against erased flash.
    EXPECT_EQ(pass("BOOT#", {"020000040800F2", "04001000DEADBEEEB5", "020000040800F2", "02000000AABB99"}),
              (Texts{"OK", "ERROR", "OK", "ERROR"}));
    EXPECT_EQ(flashAt(0x0800'0010), 0xDE);
}

TEST_F(Device, TakesANewAddressFromTwoHexDigits) {
    EXPECT_EQ(send("BOOT$0A"), Texts{"OK"});
    EXPECT_EQ(device.address(), 0x0A);
    EXPECT_EQ(send("BOOT$fe"), Texts{"OK"});
    EXPECT_EQ(device.address(), 0xFE);
    for (std::string_view bad : {"BOOT$00", "BOOT$1", "BOOT$123", "BOOT$G1", "BOOT$"})
        EXPECT_EQ(send(bad), Texts{"ERROR"}) << bad;
    EXPECT_EQ(device.address(), 0xFE);
}

// A board that restarts mid-pass forgets the pass: the host's next record 1 erases again, and data
// without an address record lies at base 0 again, below this flash.
TEST(RestartedDevice, ForgetsThePassItRestartedIn) {
    for (const bool erase : {true, false}) {
        DeviceSettings settings{1, "1.0", 0x0800'0000, 0x2'0000, 30ms};
        settings.restartAt = 3;
        EmulatedDevice device(settings);
        const auto pass = [&](std::initializer_list<std::string_view> records) {
            Texts replies;
            for (std::string_view record : records)
                for (const DeviceReply& reply : device.handle("BOOT:" + std::string(record)))
                    replies.push_back(reply.text);
            return replies;
        };
        EXPECT_EQ(pass({"020000040800F2", "04001000DEADBEEFB4", "02000000AABB99"}),
                  (Texts{"OK", "FORMAT", "OK", "VER=1.0"}));
        if (erase) {
            EXPECT_EQ(pass({"020000040800F2", "02000000AABB99"}), (Texts{"OK", "FORMAT", "OK"}));
            EXPECT_EQ(device.flash().bytes().at(0x10), 0xFF);
        } else {
            EXPECT_EQ(pass({"04001000DEADBEEFB4"}), Texts{"ERROR"});
        }
    }
}
