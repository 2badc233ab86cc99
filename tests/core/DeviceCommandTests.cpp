#include <string>

#include "WindowTestSupport.h"

using DeviceCommands = DeviceOneTest;

TEST_F(DeviceCommands, SetAddrSendsTheLowestByteInHex) {
    const struct {
        const char* text2;
        const char* digits; // empty: nothing is sent
    } table[] = {
        {"10", "0A"},  {"0", ""},           {"256", ""},         {"", ""},      {"abc", ""},
        {"255", "FF"}, {"-1", "FF"},        {"2.5", "02"},       {"3.5", "04"}, {"&H1F", "1F"},
        {"300", "2C"}, {"99999999999", ""}, {"&H123456789", ""}, {"1e999", ""}, // the last three overflow
    };
    for (const auto& row : table) {
        view.text2 = row.text2;
        if (*row.digits)
            port.expectWrite(request(1, std::string("BOOT$") + row.digits + "\r\n"));
        EXPECT_NO_THROW(form.Command1_Click()) << row.text2;
        EXPECT_TRUE(port.scriptUsedUp()) << row.text2;
    }
}

TEST_F(DeviceCommands, SetAddrTenToDeviceOne) {
    port.expectWrite(bytes({0x01}) + // address
                     "BOOT$0A\r\n" + // command text
                     bytes({0x55}) + // CRC low
                     bytes({0x85})); // CRC high
    form.Command1_Click();
    EXPECT_EQ(view.text1, "1");
}

TEST_F(DeviceCommands, InstallSendsTwoFramesOneSecondApart) {
    form.TransferActive = 1;
    std::size_t writtenDuringPause = 0;
    view.duringPause = [&] { writtenDuringPause = port.written.size(); };
    port.expectWrite(request(1, "BOOTg\r\n"));
    port.expectWrite(request(1, "VER\r\n"));
    form.Command6_Click();
    EXPECT_EQ(view.pauses, std::vector<int>{1000});
    EXPECT_EQ(writtenDuringPause, 1u);
    EXPECT_EQ(form.TransferActive, 0);
}
