#include "transfer/IntelHexRecord.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

TEST(HexRecord, ParsesEachTypeInEitherCaseToleratingTrailingBlanks) {
    using Type = HexRecordType;
    const std::tuple<const char*, Type, std::uint16_t, std::vector<std::uint8_t>> cases[] = {
        {"04123400DEADBEEF7E", Type::Data, 0x1234, {0xDE, 0xAD, 0xBE, 0xEF}},
        {"04abcd00deadbeef4c", Type::Data, 0xABCD, {0xDE, 0xAD, 0xBE, 0xEF}},
        {"00000001FF\r", Type::EndOfFile, 0, {}},
        {"00000001FF  ", Type::EndOfFile, 0, {}},
        {"020000040801F1", Type::ExtendedLinearAddress, 0, {0x08, 0x01}},
        {"020000021000EC", Type::ExtendedSegmentAddress, 0, {0x10, 0x00}},
        {"0400000300000100F8", Type::StartSegmentAddress, 0, {0x00, 0x00, 0x01, 0x00}},
        {"04000005080001C12D", Type::StartLinearAddress, 0, {0x08, 0x00, 0x01, 0xC1}},
    };
    for (const auto& [digits, type, offset, data] : cases) {
        SCOPED_TRACE(digits);
        const HexRecord record = parseHexRecord(digits);
        EXPECT_EQ(record.type, type);
        EXPECT_EQ(record.offset, offset);
        EXPECT_EQ(record.data, data);
    }
    EXPECT_EQ(addressBaseOf(parseHexRecord("020000040801F1")), 0x0801'0000u);
    EXPECT_EQ(addressBaseOf(parseHexRecord("020000021000EC")), 0x0001'0000u);
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
