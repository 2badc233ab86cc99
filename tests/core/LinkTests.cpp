#include <cstdint>
#include <stdexcept>
#include <string>

#include "WindowTestSupport.h"
#include "link/NumberRule.h"

// --- CRC-16/MODBUS against independent vectors ---

TEST(Crc16, CatalogueCheckValue) {
    EXPECT_EQ(crc16Update(kCrc16Init, "123456789"), 0x4B37);
    EXPECT_EQ(hexBytes(CRC16("123456789")), "37 4B");
}

TEST(Crc16, EmptyTextIsTheInitialRegister) {
    EXPECT_EQ(hexBytes(CRC16("")), "FF FF");
}

TEST(Crc16, KnownFramesLowByteFirst) {
    EXPECT_EQ(hexBytes(CRC16(bytes({0x01}) + "BOK")), "D5 CB");
    EXPECT_EQ(hexBytes(CRC16(bytes({0x01}) + "BREADY")), "0B 0C"); // a high byte below 16 stays a full byte
    EXPECT_EQ(hexBytes(CRC16(bytes({0x01}) + "BOOTi\r\n")), "FC 89");
    EXPECT_EQ(hexBytes(CRC16(bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x01}))), "84 0A"); // read one register
}

TEST(Crc16, FrameFollowedByItsCrcLeavesZero) {
    const std::string frame = bytes({0x11, 0x42}) + "DOWNLOAD";
    EXPECT_EQ(crc16Update(kCrc16Init, frame + CRC16(frame)), 0);
}

TEST(Crc16, RefusesTextsOver32767Bytes) {
    EXPECT_NO_THROW(CRC16(std::string(32767, 'x')));
    EXPECT_THROW(CRC16(std::string(32768, 'x')), std::length_error);
}

// --- the number rule ---

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

TEST(NumberRule, ValuesOutsideTheRangeAskedForAreErrors) {
    EXPECT_THROW(WholeNumber("256", 0, 255), std::range_error);
    EXPECT_THROW(WholeNumber("-1", 0, 255), std::range_error);
    EXPECT_THROW(WholeNumber("99999999999", INT32_MIN, INT32_MAX), std::range_error);
    EXPECT_THROW(WholeNumber("&H123456789", INT32_MIN, INT32_MAX), std::range_error);
    EXPECT_THROW(WholeNumber("1e999", INT32_MIN, INT32_MAX), std::range_error);
    EXPECT_EQ(WholeNumber("255.4", 0, 255), 255);
}

TEST(NumberRule, StrictFormWantsTheWholeTextToBeANumber) {
    EXPECT_EQ(StrictWholeNumber("12", INT16_MIN, INT16_MAX), 12);
    EXPECT_EQ(StrictWholeNumber(" 3 ", INT16_MIN, INT16_MAX), 3);
    EXPECT_THROW(StrictWholeNumber("", INT16_MIN, INT16_MAX), std::invalid_argument);
    EXPECT_THROW(StrictWholeNumber("x", INT16_MIN, INT16_MAX), std::invalid_argument);
    EXPECT_THROW(StrictWholeNumber("3x", INT16_MIN, INT16_MAX), std::invalid_argument);
    EXPECT_THROW(StrictWholeNumber("40000", INT16_MIN, INT16_MAX), std::range_error);
}

// --- WriteCOM32 ---

class Transmitter : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        port.isOpen = true;
        view.tmrComm = true;
    }
};

TEST_F(Transmitter, ModbusFrameIsAddressTextAndCrc) {
    view.text1 = "1";
    port.expectWrite(bytes({0x01}) + // address
                     "BOOTi\r\n" +   // command text
                     bytes({0xFC}) + // CRC low
                     bytes({0x89})); // CRC high
    EXPECT_EQ(form.WriteCOM32("BOOTi\r\n"), 10);
    EXPECT_EQ(view.picColor, colours::MediumGreen);
    EXPECT_EQ(view.tmrCommRestarts, 1);
    EXPECT_TRUE(view.tmrComm);
}

TEST_F(Transmitter, PlainModeSendsTheBareTextWhateverTheAddress) {
    view.check1 = false;
    view.text1 = "300";
    port.expectWrite("BOOTi\r\n");
    EXPECT_EQ(form.WriteCOM32("BOOTi\r\n"), 7);
}

TEST_F(Transmitter, EmptyAddressBoxGivesAddressZero) {
    port.expectWrite(bytes({0x00}) + "VER\r\n" + CRC16(bytes({0x00}) + "VER\r\n"));
    EXPECT_EQ(form.WriteCOM32("VER\r\n"), 8);
}

TEST_F(Transmitter, AddressOutsideAByteWritesNothingButStillSignals) {
    for (const char* address : {"300", "-1", "256"}) {
        view.text1 = address;
        view.picColor = colours::White;
        EXPECT_EQ(form.WriteCOM32("BOOTi\r\n"), 0);
        EXPECT_EQ(view.picColor, colours::MediumGreen);
    }
    EXPECT_EQ(view.tmrCommRestarts, 3);
    EXPECT_TRUE(port.written.empty());
}

TEST_F(Transmitter, ClosedPortTouchesNothing) {
    port.isOpen = false;
    EXPECT_EQ(form.WriteCOM32("BOOTi\r\n"), 0);
    EXPECT_EQ(view.picColor, colours::Yellow);
    EXPECT_EQ(view.tmrCommRestarts, 0);
    EXPECT_TRUE(view.tmrComm);
}

TEST_F(Transmitter, StoppedPollTimerStaysStopped) {
    view.tmrComm = false;
    view.text1 = "1";
    port.expectWrite(request(1, "BOOTi\r\n"));
    form.WriteCOM32("BOOTi\r\n");
    EXPECT_FALSE(view.tmrComm);
}

TEST_F(Transmitter, FailedWriteGivesZeroSilently) {
    port.failWrites("device unplugged");
    EXPECT_EQ(form.WriteCOM32("BOOTi\r\n"), 0);
    EXPECT_TRUE(view.boxes.empty());
}
