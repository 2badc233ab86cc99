#pragma once

#include <cstdint>
#include <stdexcept>
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

// Why a record was refused; the device answers any of these with "ERROR".
class HexRecordError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The value of one hex digit in either case, or -1 for any other character.
int hexDigitValue(char c);

// Parses the hex digits that follow the record mark (":" or "#"). Digits may be upper or lower case;
// trailing blanks and carriage returns are tolerated because some files carry them. Byte count,
// checksum, record type and the fixed length of the address records are all checked.
HexRecord parseHexRecord(std::string_view digits);

// The 32-bit base that an address record (type 02 or 04) sets for the data records after it.
std::uint32_t addressBaseOf(const HexRecord& record);
