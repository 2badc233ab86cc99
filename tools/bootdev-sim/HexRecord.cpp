#include "HexRecord.h"

#include <string>

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::vector<std::uint8_t> decodeHexBytes(std::string_view digits) {
    if (digits.size() % 2 != 0)
        throw HexRecordError("odd number of hex digits");
    std::vector<std::uint8_t> bytes;
    bytes.reserve(digits.size() / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int high = hexValue(digits[i]);
        const int low = hexValue(digits[i + 1]);
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

void requireDataLength(const std::vector<std::uint8_t>& data, std::size_t expected, const char* what) {
    if (data.size() != expected)
        throw HexRecordError(std::string(what) + " record with " + std::to_string(data.size()) +
                             " data bytes");
}

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

    HexRecord record;
    record.offset = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
    record.data.assign(bytes.begin() + 4, bytes.end() - 1);
    switch (bytes[3]) {
    case 0x00:
        record.type = HexRecordType::Data;
        break;
    case 0x01:
        record.type = HexRecordType::EndOfFile;
        requireDataLength(record.data, 0, "end-of-file");
        break;
    case 0x02:
        record.type = HexRecordType::ExtendedSegmentAddress;
        requireDataLength(record.data, 2, "extended segment address");
        break;
    case 0x03:
        record.type = HexRecordType::StartSegmentAddress;
        requireDataLength(record.data, 4, "start segment address");
        break;
    case 0x04:
        record.type = HexRecordType::ExtendedLinearAddress;
        requireDataLength(record.data, 2, "extended linear address");
        break;
    case 0x05:
        record.type = HexRecordType::StartLinearAddress;
        requireDataLength(record.data, 4, "start linear address");
        break;
    default:
        throw HexRecordError("unknown record type " + std::to_string(bytes[3]));
    }
    return record;
}

std::uint32_t addressBaseOf(const HexRecord& record) {
    const std::uint32_t value = static_cast<std::uint32_t>(record.data.at(0) << 8 | record.data.at(1));
    return record.type == HexRecordType::ExtendedSegmentAddress ? value << 4 : value << 16;
}
