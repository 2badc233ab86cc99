#include "transfer/SRecordReader.h"

#include <cstdio>
#include <vector>

#include "transfer/FirmwareLimits.h"
#include "transfer/IntelHexRecord.h"

namespace {

// Indexed by the digit after "S": how many address bytes the record carries.
constexpr std::size_t kAddressLength[] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

std::string hexByte(unsigned value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
    return text;
}

struct Record {
    int type = 0;
    std::uint32_t address = 0;
    std::vector<std::uint8_t> data;
};

// The record of one line, or an empty optional with `fault` set.
std::optional<Record> readRecord(std::string_view text, std::string& fault) {
    if (text.front() != 'S') {
        fault = "starts with " + describeCharacter(text.front()) + ", not 'S'";
        return std::nullopt;
    }
    if (text.size() < 2 || text[1] < '0' || text[1] > '9' || text[1] == '4') {
        fault = text.size() < 2 ? "no record type after 'S'"
                                : "record type " + describeCharacter(text[1]) + " unknown (S0 to S9, not S4)";
        return std::nullopt;
    }
    Record record;
    record.type = text[1] - '0';
    const std::string_view digits = text.substr(2);
    for (std::size_t i = 0; i < digits.size(); ++i)
        if (hexDigitValue(digits[i]) < 0) {
            fault =
                describeCharacter(digits[i]) + " at column " + std::to_string(i + 3) + " is not a hex digit";
            return std::nullopt;
        }
    const auto byteAt = [&](std::size_t i) {
        return static_cast<std::uint8_t>(hexDigitValue(digits[2 * i]) * 16 +
                                         hexDigitValue(digits[2 * i + 1]));
    };
    const std::size_t addressLength = kAddressLength[record.type];
    if (digits.size() < 2) {
        fault = "no byte count";
        return std::nullopt;
    }
    const std::size_t count = byteAt(0);
    if (digits.size() != 2 * (1 + count)) {
        fault = "byte count " + hexByte(static_cast<unsigned>(count)) + " needs " +
                std::to_string(2 * (1 + count)) + " hex digits after the type, the record has " +
                std::to_string(digits.size());
        return std::nullopt;
    }
    if (count < addressLength + 1) {
        fault = "byte count " + hexByte(static_cast<unsigned>(count)) + " too small for S" +
                std::to_string(record.type) + " (" + std::to_string(addressLength) +
                " address bytes and a checksum)";
        return std::nullopt;
    }
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += byteAt(i);
    const unsigned expected = ~sum & 0xFFu;
    const unsigned given = byteAt(count);
    if (given != expected) {
        fault = "checksum " + hexByte(given) + ", expected " + hexByte(expected);
        return std::nullopt;
    }
    for (std::size_t i = 1; i <= addressLength; ++i)
        record.address = record.address << 8 | byteAt(i);
    for (std::size_t i = 1 + addressLength; i < count; ++i)
        record.data.push_back(byteAt(i));
    return record;
}

} // namespace

SRecordFile readSRecordFile(TextLines lines) {
    SRecordFile file;
    const auto refuse = [&file](std::size_t line, std::string reason) {
        file.fault = FileFault{line, std::move(reason)};
        return std::move(file);
    };

    ImageBuilder builder;
    std::size_t dataRecords = 0;
    std::optional<std::size_t> counted; // the last S5/S6 count, which was checked when read
    std::optional<std::uint32_t> start;
    bool ended = false;
    std::size_t lastLine = 0;
    while (std::optional<TextLine> line = lines.next()) {
        lastLine = line->number;
        if (ended)
            return refuse(line->number, "record after the S7/S8/S9 end record");
        if (line->tooLong)
            return refuse(line->number, "more than " + std::to_string(kMaxLineLength) +
                                            " characters, longer than any record");
        std::string fault;
        std::optional<Record> record = readRecord(line->text, fault);
        if (!record)
            return refuse(line->number, fault);
        switch (record->type) {
        case 1:
        case 2:
        case 3:
            ++dataRecords;
            if (!builder.add(record->address, std::move(record->data), line->number, fault))
                return refuse(line->number, fault);
            break;
        case 5:
        case 6:
            if (!record->data.empty())
                return refuse(line->number, "S" + std::to_string(record->type) + " record carries data");
            if (record->address != dataRecords)
                return refuse(line->number, "record count " + std::to_string(record->address) + ", but " +
                                                std::to_string(dataRecords) + " data records come before it");
            counted = dataRecords;
            break;
        case 7:
        case 8:
        case 9:
            if (!record->data.empty())
                return refuse(line->number, "S" + std::to_string(record->type) + " record carries data");
            start = record->address;
            ended = true;
            break;
        default: // S0: the header names the file; nothing of it goes to the device
            break;
        }
    }
    if (!lastLine)
        return refuse(0, "the file holds no records");
    // Some tools end a file with its record count alone; a count that covers every data record
    // shows the file whole as well as an end record would.
    if (!ended && counted != dataRecords)
        return refuse(lastLine, "the file ends without an S7, S8 or S9 end record or a count of all its data "
                                "records: it may be cut short");
    BuiltImage built = builder.finish(start);
    if (built.conflict) {
        file.fault = built.conflict->onLines();
        return file;
    }
    if (built.image.segments.empty())
        return refuse(0, kNoDataRecord);
    file.image = std::move(built.image);
    return file;
}
