#include "transfer/IntelHexReader.h"

#include "transfer/FirmwareLimits.h"
#include "transfer/IntelHexRecord.h"

IntelHexFile readIntelHexFile(TextLines lines) {
    IntelHexFile file;
    const auto refuse = [&file](std::size_t line, std::string reason) {
        file.fault = FileFault{line, std::move(reason)};
        file.lines.clear();
        return std::move(file);
    };

    ImageBuilder builder;
    std::uint32_t base = 0;
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
    file.image = std::move(built.image);
    return file;
}
