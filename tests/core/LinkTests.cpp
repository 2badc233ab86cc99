#include <cstdint>
#include <stdexcept>
#include <string>

#include "WindowTestSupport.h"
#include "link/NumberRule.h"

// CRC-16/MODBUS against independent vectors, low byte first; each text followed by its CRC
// leaves a register of zero.
TEST(Crc16, IndependentVectors) {
    const struct {
        std::string text;
        const char* crc;
    } table[] = {
        {"123456789", "37 4B"},
        {"", "FF FF"}, // the initial register
        {bytes({0x01}) + "BOK", "D5 CB"},
        {bytes({0x01}) + "BREADY", "0B 0C"}, // a high byte below 16 stays a full byte
        {bytes({0x01}) + "BOOTi\r\n", "FC 89"},
        {bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x01}), "84 0A"}, // read one register
    };
    for (const auto& row : table) {
        SCOPED_TRACE(hexBytes(row.text));
        EXPECT_EQ(hexBytes(CRC16(row.text)), row.crc);
        EXPECT_EQ(crc16Update(kCrc16Init, row.text + CRC16(row.text)), 0);
    }
}

TEST(Crc16, RefusesTextsOver32767Bytes) {
    EXPECT_NO_THROW(CRC16(std::string(32767, 'x')));
    EXPECT_THROW(CRC16(std::string(32768, 'x')), std::length_error);
}

TEST(NumberRule, ReadsTheLeadingNumber) {
    const struct {
        const char* text;
        std::int64_t whole;
    } table[] = {
        {"&HFFFF", -1}, {"&H1F", 31},     {"&H10000", 65536}, {"&HFFFFFFFF", -1}, {"2.5", 2}, {"3.5", 4},
        {"-2.5", -2},   {" 1 2", 12},     {"1e2", 100},       {"abc", 0},         {"", 0},    {"-1", -1},
        {"\t7\n", 7},   {"1\t2\n3", 123}, {"12abc", 12},      {"1.5E1x", 15},     {"+8", 8},
    };
    for (const auto& row : table)
        EXPECT_EQ(WholeNumber(row.text, INT32_MIN, INT32_MAX), row.whole) << '"' << row.text << '"';
    EXPECT_DOUBLE_EQ(NumberValue("2.5"), 2.5);
}

// WriteCOM32 on an open port: the frame, the indicator turned green and the running poll timer
// restarted, so that the first look for the reply comes one full interval after the send.
TEST(Transmitter, FrameIndicatorAndPollRestart) {
    const std::string probeToDeviceOne = request(1, "BOOTi\r\n"); // its bytes are a CRC vector above
    const struct {
        const char* name = "";
        bool open = true;
        bool polling = true;
        bool modbus = true;
        const char* address = "1";
        bool unplugged = false;
        std::string sent = {}; // empty: nothing, and WriteCOM32 gives 0
    } table[] = {
        {.name = "Modbus RTU", .sent = probeToDeviceOne},
        {.name = "empty address box", .address = "", .sent = request(0, "BOOTi\r\n")},
        {.name = "plain mode, any address", .modbus = false, .address = "300", .sent = "BOOTi\r\n"},
        {.name = "address 255.4", .address = "255.4", .sent = request(255, "BOOTi\r\n")},
        {.name = "address 300", .address = "300"},
        {.name = "address -1", .address = "-1"},
        {.name = "address 256", .address = "256"},
        {.name = "failed write", .unplugged = true},
        {.name = "stopped poll timer", .polling = false, .sent = probeToDeviceOne},
        {.name = "closed port", .open = false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        FakeWindow w;
        w.port.isOpen = row.open;
        w.view.tmrComm = row.polling;
        w.view.check1 = row.modbus;
        w.view.text1 = row.address;
        if (row.unplugged)
            w.port.unplug("device unplugged");
        if (!row.sent.empty())
            w.port.expectWrite(row.sent);
        EXPECT_EQ(w.form.WriteCOM32("BOOTi\r\n"), static_cast<std::int16_t>(row.sent.size()));
        EXPECT_EQ(w.view.picColor, row.open ? colours::MediumGreen : colours::Yellow);
        EXPECT_EQ(w.view.tmrCommRestarts, row.open && row.polling ? 1 : 0);
        EXPECT_EQ(w.view.tmrComm, row.polling);
        EXPECT_TRUE(w.view.boxes.empty());
    }
}
