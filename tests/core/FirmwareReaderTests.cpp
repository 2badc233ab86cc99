#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/FirmwareFiles.h"
#include "support/IntelHexRecord.h"
#include "transfer/ElfReader.h"
#include "transfer/FirmwareFile.h"
#include "transfer/FirmwareFileAccess.h"
#include "transfer/IntelHexReader.h"
#include "transfer/IntelHexWriter.h"
#include "transfer/SRecordReader.h"

namespace {

const std::string kData = ":10000000000102030405060708090A0B0C0D0E0F78";
const std::string kEnd = ":00000001FF";

IntelHexFile hexOf(std::string_view text) {
    return readIntelHexFile(TextLines(text));
}

} // namespace

// Each damage is named with its line and what was found against what was expected.
TEST(IntelHexFile, RefusesTheFirstBadLineNamingIt) {
    const struct {
        std::string text;
        const char* fault;
    } table[] = {
        {textOf({kData, ":10001000000102030405060708090A0B0C0D0E0F69", kEnd}),
         "line 2: checksum 69, expected 68"},
        {textOf({kData, "10001000000102030405060708090A0B0C0D0E0F68", kEnd}),
         "line 2: starts with '1', not ':'"},
        {textOf({kData, ":10001000000102030405060708090A0B0C0D0E0F6", kEnd}),
         "line 2: byte count 10 needs 42 hex digits, the record has 41"},
        {textOf({kData, ":1000100000010203040506070809", kEnd}),
         "line 2: byte count 10 needs 42 hex digits, the record has 28"},
        {textOf({kData, ":0F001000000102030405060708090A0B0C0D0E0F68", kEnd}),
         "line 2: byte count 0F needs 40 hex digits, the record has 42"},
        {textOf({kData, ":1000100000010203040506070809G A0B0C0D0E0F68", kEnd}),
         "line 2: 'G' at column 30 is not a hex digit"},
        {textOf({std::string("\x7F\x01", 2) + kData}), "line 1: starts with byte 0x7F, not ':'"},
        {textOf({":0000", kEnd}), "line 1: too short for a record: 4 hex digits, at least 10"},
        {textOf({kData, ":00000006FA", kEnd}), "line 2: record type 06 unknown (00 to 05)"},
        {textOf({kData, ":01000001AA54"}), "line 2: end-of-file record with 1 data bytes, expected 0"},
        {textOf({kData}), "line 1: the file ends without an end-of-file record (:00000001FF)"},
        {textOf({kData, kEnd, kData}), "line 3: record after the end-of-file record"},
        {"\r\n\r\n \t\n", "the file holds no records"},
        // Addresses, a start and an end, but no byte to write.
        {textOf({":020000040800F2", ":0400000508000000EF", kEnd}), "the file holds no data record"},
        {textOf({":0000000000", kEnd}), "the file holds no data record"},
        {textOf({kData, ":0100000408F3", kEnd}),
         "line 2: extended linear address record with 1 data bytes, expected 2"},
        {textOf({kData, ":03000004080100F0", kEnd}),
         "line 2: extended linear address record with 3 data bytes, expected 2"},
        // A Ctrl-Z ends the text: before the end-of-file record it cannot hide a cut file.
        {kData + "\r\n\x1A" + kEnd + "\r\n",
         "line 1: the file ends without an end-of-file record (:00000001FF)"},
        {":" + std::string(2000, '0'), "line 1: more than 1024 characters, longer than any record"},
        {textOf(oneByteRecords(0, 9001)), "line 9001: more than 9000 records"},
        // Read in chunks of 64 KiB: this CR LF is split between two of them.
        {std::string(65492, '\n') + kData + "\r\njunk", "line 65494: starts with 'j', not ':'"},
        {std::string(65536, '\r') + "\n" + kData + "\rjunk", "line 65538: starts with 'j', not ':'"},
        // One address, two values: both lines are named, in file order.
        {textOf({intelHexRecord(0, 0x10, {1, 2, 3, 4}), intelHexRecord(0, 0x11, {9}), kEnd}),
         "line 2: gives 0x00000011 the value 09, line 1 gave it 02"},
        {textOf({intelHexRecord(0, 0x11, {9}), intelHexRecord(0, 0x10, {1, 2, 3, 4}), kEnd}),
         "line 2: gives 0x00000011 the value 02, line 1 gave it 09"},
        // Under a segment base the offset wraps within the segment, which a board may not do.
        {textOf({intelHexRecord(2, 0, {0x10, 0x00}),
                 intelHexRecord(0, 0xFFF8, std::vector<std::uint8_t>(16, 7)), kEnd}),
         "line 2: data from offset FFF8 to 0007 wraps around the end of its 64 KiB segment (extended segment "
         "address); split the record at the segment's end"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.text.substr(0, 200));
        EXPECT_EQ(faultOf(hexOf(row.text).fault), row.fault);
    }
}

// Every line end a loader meets is taken; the lines go out as they are, without the blanks around
// them. (That blank lines count for the line number, the refusals above show.)
TEST(IntelHexFile, TakesEveryLineEndAndKeepsTheLinesAsWritten) {
    const std::string lower = ":0400100010111213a6";
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } table[] = {
        {kData + "\r\n" + kEnd + "\r\n", {kData, kEnd}},
        {kData + "\n" + kEnd, {kData, kEnd}},
        {kData + "\r" + lower + "\r" + kEnd + "\r", {kData, lower, kEnd}},
        {"\r\n  " + kData + " \t\n\n" + kEnd + "\n\n", {kData, kEnd}},
        // What a DOS-era tool writes after the end-of-file record is not read.
        {kData + "\r\n" + kEnd + "\r\n\x1A", {kData, kEnd}},
        {kData + "\r\n" + kEnd + "\x1A" + "junk\r\n" + kData, {kData, kEnd}},
        // An editor's byte-order mark is no part of the first record.
        {"\xEF\xBB\xBF" + kData + "\r\n" + kEnd, {kData, kEnd}},
    };
    for (const auto& row : table) {
        const IntelHexFile file = hexOf(row.text);
        EXPECT_EQ(faultOf(file.fault), "(good)");
        EXPECT_EQ(file.lines, row.lines);
    }
}

// Segment (02) and linear (04) bases place the data; the start record is kept.
TEST(IntelHexFile, PlacesDataByTheAddressRecords) {
    const IntelHexFile file =
        hexOf(textOf({intelHexRecord(2, 0, {0x10, 0x00}), intelHexRecord(0, 0x0010, {1, 2}),
                      intelHexRecord(4, 0, {0x08, 0x00}), intelHexRecord(0, 0xFFFE, {3, 4, 5}),
                      intelHexRecord(4, 0, {0x08, 0x01}), intelHexRecord(0, 1, {6}),
                      intelHexRecord(5, 0, {0x08, 0x00, 0x01, 0x23}), kEnd}));
    ASSERT_FALSE(file.fault) << file.fault->text();
    // A linear base does not wrap: the second segment runs across the 64 KiB boundary.
    EXPECT_EQ(segmentsOf(file.image), (Segments{{0x10010, {1, 2}}, {0x0800FFFE, {3, 4, 5, 6}}}));
    // Under a segment base a record may end on the segment's last byte.
    const IntelHexFile toTheEnd =
        hexOf(textOf({intelHexRecord(2, 0, {0x10, 0x00}), intelHexRecord(0, 0xFFFE, {7, 8}), kEnd}));
    ASSERT_FALSE(toTheEnd.fault) << toTheEnd.fault->text();
    EXPECT_EQ(segmentsOf(toTheEnd.image), (Segments{{0x1FFFE, {7, 8}}}));
    EXPECT_EQ(file.image.startAddress, 0x08000123u);
    // A segment start (03) is CS:IP, as a real-mode processor forms the address.
    EXPECT_EQ(hexOf(textOf({kData, intelHexRecord(3, 0, {0x10, 0x00, 0x01, 0x23}), kEnd})).image.startAddress,
              0x10123u);

    // A byte given twice with one value is taken once; a longer record at the same start keeps
    // the bytes past the shorter one.
    const IntelHexFile twice =
        hexOf(textOf({intelHexRecord(0, 0x10, {1, 2, 3, 4}), intelHexRecord(0, 0x11, {2}),
                      intelHexRecord(0, 0x0E, {7, 8, 1}), intelHexRecord(0, 0x13, {4, 5}),
                      intelHexRecord(0, 0x10, {1, 2, 3, 4, 5, 6}), kEnd}));
    ASSERT_FALSE(twice.fault) << twice.fault->text();
    EXPECT_EQ(segmentsOf(twice.image), (Segments{{0x0E, {7, 8, 1, 2, 3, 4, 5, 6}}}));
}

TEST(SRecordFile, ReadsDataCountsAndStartAndRefusesDamage) {
    // S1 at 0x0010 with 01 02 03, S5 count 1, S9 start 0x0010.
    const std::string s1 = "S1060010010203E3";
    const std::string s5 = "S5030001FB";
    const std::string s9 = "S9030010EC";
    const SRecordFile good = readSRecordFile(TextLines(textOf({"S00600004844521B", s1, s5, s9}, "\n")));
    ASSERT_FALSE(good.fault) << good.fault->text();
    EXPECT_EQ(segmentsOf(good.image), (Segments{{0x10, {1, 2, 3}}}));
    EXPECT_EQ(good.image.startAddress, 0x10u);

    // S3 at 0x08000000 with AA BB, S7 start 0x08000000.
    const SRecordFile wide = readSRecordFile(TextLines(textOf({"S30708000000AABB8B", "S70508000000F2"})));
    ASSERT_FALSE(wide.fault) << wide.fault->text();
    EXPECT_EQ(segmentsOf(wide.image), (Segments{{0x08000000, {0xAA, 0xBB}}}));

    const std::string kCutShort =
        "the file ends without an S7, S8 or S9 end record or a count of all its data "
        "records: it may be cut short";
    const struct {
        std::vector<std::string> lines;
        std::string fault;
    } table[] = {
        {{s1, "S1060010010203E4", s9}, "line 2: checksum E4, expected E3"},
        {{s1, "S10600100102E3", s9},
         "line 2: byte count 06 needs 14 hex digits after the type, the record has 12"},
        {{s1, "S4030001FB", s9}, "line 2: record type '4' unknown (S0 to S9, not S4)"},
        {{s1, ":030001FB"}, "line 2: starts with ':', not 'S'"},
        {{s1, "S5030002FA", s9}, "line 2: record count 2, but 1 data records come before it"},
        {{s1, "S1020010", s9}, "line 2: byte count 02 too small for S1 (2 address bytes and a checksum)"},
        {{s1, "S10600x0010203E3", s9}, "line 2: 'x' at column 7 is not a hex digit"},
        {{s1, s9, s1}, "line 3: record after the S7/S8/S9 end record"},
        {{s1, s1, s5, s9}, "line 3: record count 1, but 2 data records come before it"},
        {{s1, "S104001109E1", s9}, "line 2: gives 0x00000011 the value 09, line 1 gave it 02"},
        // Without an end record, only a count of every data record shows the file whole.
        {{s1, s5}, "(good)"},
        {{s1, "S604000001FA"}, "(good)"}, // S6 counts with three address bytes
        {{s1}, "line 1: " + kCutShort},
        {{s1, s5, s1}, "line 3: " + kCutShort},
        // A header and an end, or a count of nothing: no byte to write.
        {{"S00600004844521B", "S9030000FC"}, "the file holds no data record"},
        {{"S5030000FC"}, "the file holds no data record"},
    };
    for (const auto& row : table)
        EXPECT_EQ(faultOf(readSRecordFile(TextLines(textOf(row.lines))).fault), row.fault)
            << textOf(row.lines);
}

// Records of 16 bytes from each segment's start, split at 64 KiB boundaries, with the upper
// address bits set only when they change.
TEST(IntelHexWriter, WritesWhatAConverterWrites) {
    FirmwareImage image;
    image.segments = {{0x0800FFF8, std::vector<std::uint8_t>(24, 0xAB)}, {0x08010020, {1, 2, 3}}};
    image.startAddress = 0x08000101;
    const std::vector<std::string> expected = {
        intelHexRecord(4, 0, {0x08, 0x00}),
        intelHexRecord(0, 0xFFF8, std::vector<std::uint8_t>(8, 0xAB)),
        intelHexRecord(4, 0, {0x08, 0x01}),
        intelHexRecord(0, 0x0000, std::vector<std::uint8_t>(16, 0xAB)),
        intelHexRecord(0, 0x0020, {1, 2, 3}),
        intelHexRecord(5, 0, {0x08, 0x00, 0x01, 0x01}),
        kEnd,
    };
    EXPECT_EQ(intelHexLines(image), expected);
    // Read back, the lines give the same image.
    const IntelHexFile back = hexOf(textOf(expected));
    ASSERT_FALSE(back.fault);
    EXPECT_EQ(segmentsOf(back.image), segmentsOf(image));
    EXPECT_EQ(intelHexLines(FirmwareImage{{{0x100, {9}}}, std::nullopt}),
              (std::vector<std::string>{intelHexRecord(0, 0x100, {9}), kEnd}));
}

TEST(FirmwareFile, DetectsTheFormatFromTheContent) {
    const struct {
        std::string bytes;
        FirmwareFormat format;
    } table[] = {
        {"\r\n" + kData, FirmwareFormat::IntelHex},
        {"S00600004844521B\n", FirmwareFormat::SRecord},
        {std::string("\x7F"
                     "ELF\x01\x01",
                     6),
         FirmwareFormat::Elf},
        {std::string("\x00\x50\x00\x20", 4), FirmwareFormat::Binary},
        {std::string(":\x10\x00\x20", 4), FirmwareFormat::Binary}, // a stack pointer, not a record
        {"Hello", FirmwareFormat::Binary},
        {"", FirmwareFormat::Binary},
        {"\xEF\xBB\xBF" + kData, FirmwareFormat::IntelHex},
        {"\xEF\xBB\xBF", FirmwareFormat::IntelHex}, // a text, if one without records
    };
    for (const auto& row : table)
        EXPECT_EQ(detectFormat(row.bytes), row.format) << row.bytes;
}

// The request's base, flash range and the record limit apply to what the file holds.
TEST(FirmwareFile, ChecksTheImageAgainstTheRequest) {
    const std::string hex =
        textOf({intelHexRecord(4, 0, {0x08, 0x00}), intelHexRecord(0, 0xFFF0, {1, 2, 3, 4}), kEnd});
    const std::string binary(40, '\x00');
    const FlashRange flash{0x08000000, 0x0800FFF2};
    const struct {
        std::string bytes;
        FirmwareRequest request;
        const char* fault;
    } table[] = {
        {hex, {}, "(good)"},
        {hex,
         {std::nullopt, flash},
         "data at 0x0800FFF0 to 0x0800FFF3 lies outside the flash 0x08000000 to 0x0800FFF2"},
        {hex,
         {0x08000000, std::nullopt},
         "the file is Intel HEX, which holds its own addresses: --base is for raw binary files only"},
        {binary,
         {},
         "not Intel HEX, S-record or ELF: a raw binary file needs --base ADDRESS, the address of its first "
         "byte"},
        {binary, {0x08000000, flash}, "(good)"},
        {binary, {0xFFFFFFF0, std::nullopt}, "data at 0xFFFFFFF0 reaches past the 32-bit address space"},
        {std::string(1, '\0'), {0, std::nullopt}, "(good)"},
        {"", {0, std::nullopt}, "the file is empty"},
        {"\r\n \n", {}, "the file holds no records"},
        {std::string(9000 * 16, '\x01'),
         {0x100, std::nullopt},
         "needs 9003 records, at most 9000 can be sent"},
        {hex, {std::nullopt, FlashRange{0x08000000, 0x0800FFF3}}, "(good)"}, // ends on the last byte
        {std::string(kMaxImageInputBytes + 1, '\x01'),
         {0x100, std::nullopt},
         "more than 2295000 bytes of data, more than 9000 records can carry"},
    };
    const auto read = [](const std::string& bytes, const FirmwareRequest& request) {
        return readFirmwareFile(memoryFile(bytes).get(), request);
    };
    for (const auto& row : table)
        EXPECT_EQ(faultOf(read(row.bytes, row.request).fault), row.fault);

#ifndef _WIN32 // Windows has no files that hide their size
    // A file of /proc reports a size of 0 whatever it holds: it is read to its end all the same.
    const FirmwareFile proc =
        readFirmwareFile(openFirmwareFile("/proc/self/status").get(), {0, std::nullopt});
    EXPECT_EQ(faultOf(proc.fault), "(good)");
    EXPECT_GT(proc.image.byteCount(), 0u);
#endif

    const FirmwareFile converted = read(binary, {0x08000000, flash});
    EXPECT_EQ(converted.hexLines.size(), 5u); // 04, three data records, 01
    EXPECT_EQ(converted.format, FirmwareFormat::Binary);
    EXPECT_EQ(read(hex, {}).hexLines[1], intelHexRecord(0, 0xFFF0, {1, 2, 3, 4}));
}
