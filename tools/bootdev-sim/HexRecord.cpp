#include "HexRecord.h"

#include <iterator>
#include <optional>
#include <string>

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

namespace {

std::vector<std::uint8_t> decodeHexBytes(std::string_view digits) {
    if (digits.size() % 2 != 0)
        throw HexRecordError("odd number of hex digits");
    std::vector<std::uint8_t> bytes;
    bytes.reserve(digits.size() / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int high = hexDigitValue(digits[i]);
        const int low = hexDigitValue(digits[i + 1]);
        if (high < 0 || low < 0)
            throw HexRecordError("not a hex digit at position " + std::to_string(high < 0 ? i : i + 1));
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

std::string_view withoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Indexed by record type: the name a refusal gives it and the number of data bytes it must carry;
// data records carry any number.
struct RecordShape {
    const char* name;
    std::optional<std::size_t> dataLength;
};
constexpr RecordShape kRecordShapes[] = {
    {"data", std::nullopt},          {"end-of-file", 0},
    {"extended segment address", 2}, {"start segment address", 4},
    {"extended linear address", 2},  {"start linear address", 4},
};

} // namespace

HexRecord parseHexRecord(std::string_view digits) {
    const std::vector<std::uint8_t> bytes = decodeHexBytes(withoutTrailingBlanks(digits));
    // Byte count, two address bytes, type and checksum.
    constexpr std::size_t kOverhead = 5;
    if (bytes.size() < kOverhead)
        throw HexRecordError("record too short");
    const std::size_t count = bytes[0];
    if (bytes.size() != kOverhead + count)
        throw HexRecordError("byte count " + std::to_string(count) + " does not match the record length");

    unsigned sum = 0;
    for (std::uint8_t byte : bytes)
        sum += byte;
    if ((sum & 0xFFu) != 0)
        throw HexRecordError("checksum mismatch");

    if (bytes[3] >= std::size(kRecordShapes))
        throw HexRecordError("unknown record type " + std::to_string(bytes[3]));
    const RecordShape& shape = kRecordShapes[bytes[3]];
    HexRecord record{static_cast<HexRecordType>(bytes[3]),
                     static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]),
                     std::vector<std::uint8_t>(bytes.begin() + 4, bytes.end() - 1)};
    if (shape.dataLength && record.data.size() != *shape.dataLength)
        throw HexRecordError(std::string(shape.name) + " record with " + std::to_string(record.data.size()) +
                             " data bytes");
    return record;
}

std::uint32_t addressBaseOf(const HexRecord& record) {
    const std::uint32_t value = static_cast<std::uint32_t>(record.data.at(0) << 8 | record.data.at(1));
    return record.type == HexRecordType::ExtendedSegmentAddress ? value << 4 : value << 16;
}
