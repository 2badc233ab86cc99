#include "transfer/IntelHexRecord.h"

#include <cstdio>
#include <iterator>
#include <optional>

namespace {

std::string hexByte(unsigned value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
    return text;
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

// Byte count, two address bytes, type and checksum.
constexpr std::size_t kOverhead = 5;

} // namespace

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string describeCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F)
        return std::string("'") + c + "'";
    return "byte 0x" + hexByte(byte);
}

HexRecordParse readHexRecord(std::string_view digits, std::size_t firstColumn) {
    HexRecordParse out;
    digits = withoutTrailingBlanks(digits);
    for (std::size_t i = 0; i < digits.size(); ++i)
        if (hexDigitValue(digits[i]) < 0) {
            out.fault = describeCharacter(digits[i]) + " at column " + std::to_string(firstColumn + i) +
                        " is not a hex digit";
            return out;
        }
    const auto byteAt = [&](std::size_t i) {
        return static_cast<std::uint8_t>(hexDigitValue(digits[2 * i]) * 16 +
                                         hexDigitValue(digits[2 * i + 1]));
    };
    if (digits.size() < 2 * kOverhead) {
        out.fault = "too short for a record: " + std::to_string(digits.size()) + " hex digits, at least " +
                    std::to_string(2 * kOverhead);
        return out;
    }
    const std::size_t count = byteAt(0);
    if (digits.size() != 2 * (kOverhead + count)) {
        out.fault = "byte count " + hexByte(static_cast<unsigned>(count)) + " needs " +
                    std::to_string(2 * (kOverhead + count)) + " hex digits, the record has " +
                    std::to_string(digits.size());
        return out;
    }

    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < kOverhead + count; ++i)
        sum += byteAt(i);
    const unsigned expected = (0x100u - (sum & 0xFFu)) & 0xFFu;
    const unsigned given = byteAt(kOverhead + count - 1);
    if (given != expected) {
        out.fault = "checksum " + hexByte(given) + ", expected " + hexByte(expected);
        return out;
    }

    const std::uint8_t type = byteAt(3);
    if (type >= std::size(kRecordShapes)) {
        out.fault = "record type " + hexByte(type) + " unknown (00 to 05)";
        return out;
    }
    const RecordShape& shape = kRecordShapes[type];
    out.record.type = static_cast<HexRecordType>(type);
    out.record.offset = static_cast<std::uint16_t>(byteAt(1) << 8 | byteAt(2));
    for (std::size_t i = 4; i < 4 + count; ++i)
        out.record.data.push_back(byteAt(i));
    if (shape.dataLength && count != *shape.dataLength)
        out.fault = std::string(shape.name) + " record with " + std::to_string(count) +
                    " data bytes, expected " + std::to_string(*shape.dataLength);
    return out;
}

HexRecord parseHexRecord(std::string_view digits) {
    HexRecordParse parse = readHexRecord(digits);
    if (!parse.fault.empty())
        throw HexRecordError(parse.fault);
    return std::move(parse.record);
}

std::uint32_t addressBaseOf(const HexRecord& record) {
    const std::uint32_t value = static_cast<std::uint32_t>(record.data.at(0) << 8 | record.data.at(1));
    return record.type == HexRecordType::ExtendedSegmentAddress ? value << 4 : value << 16;
}
