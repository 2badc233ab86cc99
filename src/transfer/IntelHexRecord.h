#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

enum class HexRecordType : std::uint8_t {
    Data = 0x00,
    EndOfFile = 0x01,
    ExtendedSegmentAddress = 0x02,
    StartSegmentAddress = 0x03,
    ExtendedLinearAddress = 0x04,
    StartLinearAddress = 0x05,
};

struct HexRecord {
    HexRecordType type = HexRecordType::Data;
    std::uint16_t offset = 0;
    std::vector<std::uint8_t> data;
};

// Why a record was refused; the emulated device answers any of these with "ERROR".
class HexRecordError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The outcome of reading one record: the record, or why it is no record. `fault` is empty when the
// record is good; it holds printable ASCII only, whatever bytes the line held.
struct HexRecordParse {
    HexRecord record;
    std::string fault;
};

// The value of one hex digit in either case, or -1 for any other character.
int hexDigitValue(char c);

// A character for a message: 'G' when printable, byte 0x8F otherwise, so that a binary file given
// by mistake never puts raw bytes on a terminal.
std::string describeCharacter(char c);

// Reads the hex digits that follow the record mark (":" or "#"). Digits may be upper or lower
// case; trailing blanks and carriage returns are tolerated because some files carry them. Checks in
// this order: hex digits, the length against the byte count, the checksum, the record type and the
// fixed length of the non-data records. `firstColumn` is the column of the first digit in its line,
// for the position a fault names.
HexRecordParse readHexRecord(std::string_view digits, std::size_t firstColumn = 2);

// The same, throwing HexRecordError with the fault.
HexRecord parseHexRecord(std::string_view digits);

// The 32-bit base that an address record (type 02 or 04) sets for the data records after it.
std::uint32_t addressBaseOf(const HexRecord& record);
