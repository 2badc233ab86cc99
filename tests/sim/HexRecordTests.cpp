#include "HexRecord.h"

#include <gtest/gtest.h>

#include <vector>

TEST(HexRecord, ParsesADataRecordInUpperOrLowerCase) {
    for (const char* digits :
         {"10000000000102030405060708090A0B0C0D0E0F78", "10000000000102030405060708090a0b0c0d0e0f78"}) {
        const HexRecord record = parseHexRecord(digits);
        EXPECT_EQ(record.type, HexRecordType::Data);
        EXPECT_EQ(record.offset, 0x0000);
        ASSERT_EQ(record.data.size(), 16u);
        EXPECT_EQ(record.data.front(), 0x00);
        EXPECT_EQ(record.data.back(), 0x0F);
    }
    const HexRecord high = parseHexRecord("04001000DEADBEEFB4");
    EXPECT_EQ(high.offset, 0x0010);
    EXPECT_EQ(high.data, (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));
}

TEST(HexRecord, ToleratesATrailingCarriageReturnOrBlank) {
    EXPECT_EQ(parseHexRecord("00000001FF\r").type, HexRecordType::EndOfFile);
    EXPECT_EQ(parseHexRecord("00000001FF  ").type, HexRecordType::EndOfFile);
}

TEST(HexRecord, AddressRecordsSetTheBase) {
    EXPECT_EQ(addressBaseOf(parseHexRecord("020000040801F1")), 0x0801'0000u);
    EXPECT_EQ(addressBaseOf(parseHexRecord("020000021000EC")), 0x0001'0000u);
    EXPECT_EQ(parseHexRecord("0400000300000100F8").type, HexRecordType::StartSegmentAddress);
    EXPECT_EQ(parseHexRecord("04000005080001C12D").type, HexRecordType::StartLinearAddress);
}

TEST(HexRecord, RefusesDamagedRecords) {
    const char* damaged[] = {
        "10000000000102030405060708090A0B0C0D0E0F79", // checksum off by one
        "11000000000102030405060708090A0B0C0D0E0F77", // byte count larger than the data
        "0F000000000102030405060708090A0B0C0D0E0F79", // byte count smaller than the data
        "10000000000102030405060708090A0B0C0D0E0G78", // not a hex digit
        "10000000000102030405060708090A0B0C0D0E0F7",  // odd number of digits
        "00000001",                                   // no checksum
        "",                                           // nothing at all
        "00000006FA",                                 // unknown type
        "01000001AA54",                               // end of file carrying data
        "03000004080100F0",                           // extended linear address of three bytes
        "0000000 1FF",                                // a blank inside
    };
    for (const char* digits : damaged)
        EXPECT_THROW(parseHexRecord(digits), HexRecordError) << digits;
}
