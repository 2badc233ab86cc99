#include "transfer/IntelHexReader.h"

#include <cstdio>

#include "transfer/FirmwareLimits.h"
#include "transfer/IntelHexRecord.h"

namespace {

std::string segmentWrapText(const HexRecord& record) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "data from offset %04X to %04X wraps around the end of its 64 KiB segment (extended "
                  "segment address); split the record at the segment's end",
                  record.offset, static_cast<unsigned>((record.offset + record.data.size() - 1) & 0xFFFF));
    return text;
}

} // namespace

IntelHexFile readIntelHexFile(TextLines lines) {
    IntelHexFile file;
    const auto refuse = [&file](std::size_t line, std::string reason) {
        file.fault = FileFault{line, std::move(reason)};
        file.lines.clear();
        return std::move(file);
    };

    ImageBuilder builder;
    std::uint32_t base = 0;
    bool segmented = false; // the base is an extended segment address
    std::optional<std::uint32_t> start;
    bool ended = false;
    std::size_t lastLine = 0;
    while (std::optional<TextLine> line = lines.next()) {
        lastLine = line->number;
        if (ended)
            return refuse(line->number, "record after the end-of-file record");
        if (file.lines.size() == kMaxFirmwareRecords) {
            file.pastRecordLimit = true;
            return refuse(line->number, "more than " + std::to_string(kMaxFirmwareRecords) + " records");
        }
        if (line->tooLong)
            return refuse(line->number, "more than " + std::to_string(kMaxLineLength) +
                                            " characters, longer than any record");
        if (line->text.front() != ':')
            return refuse(line->number, "starts with " + describeCharacter(line->text.front()) + ", not ':'");
        HexRecordParse parse = readHexRecord(std::string_view(line->text).substr(1));
        if (!parse.fault.empty())
            return refuse(line->number, parse.fault);
        HexRecord& record = parse.record;
        std::string fault;
        switch (record.type) {
        case HexRecordType::Data:
            // The format wraps such a record to its segment's start, a board's loader may well not:
            // the verify pass would check other addresses than the download wrote.
            if (segmented && record.offset + record.data.size() > 0x10000)
                return refuse(line->number, segmentWrapText(record));
            if (!builder.add(std::uint64_t{base} + record.offset, std::move(record.data), line->number,
                             fault))
                return refuse(line->number, fault);
            break;
        case HexRecordType::EndOfFile:
            ended = true;
            break;
        case HexRecordType::ExtendedSegmentAddress:
        case HexRecordType::ExtendedLinearAddress:
            base = addressBaseOf(record);
            segmented = record.type == HexRecordType::ExtendedSegmentAddress;
            break;
        case HexRecordType::StartSegmentAddress:
            // CS:IP, as a real-mode processor forms the address.
            start = (std::uint32_t{record.data[0]} << 8 | record.data[1]) * 16u +
                    (std::uint32_t{record.data[2]} << 8 | record.data[3]);
            break;
        case HexRecordType::StartLinearAddress:
            start = std::uint32_t{record.data[0]} << 24 | std::uint32_t{record.data[1]} << 16 |
                    std::uint32_t{record.data[2]} << 8 | record.data[3];
            break;
        }
        file.lines.push_back(std::move(line->text));
    }
    if (!lastLine) {
        file.empty = true;
        return refuse(0, "the file holds no records");
    }
    if (!ended)
        return refuse(lastLine, "the file ends without an end-of-file record (:00000001FF)");
    BuiltImage built = builder.finish(start);
    if (built.conflict) {
        const FileFault fault = built.conflict->onLines();
        return refuse(fault.line, fault.reason);
    }
    if (built.image.segments.empty())
        return refuse(0, kNoDataRecord);
    file.image = std::move(built.image);
    return file;
}
