#include "transfer/IntelHexReader.h"

#include "transfer/IntelHexRecord.h"
#include "transfer/TextLines.h"

IntelHexFile readIntelHexFile(std::string_view bytes) {
    IntelHexFile file;
    const auto refuse = [&file](std::size_t line, std::string reason) {
        file.fault = FileFault{line, std::move(reason)};
        return std::move(file);
    };
    const std::vector<TextLine> lines = nonBlankLines(bytes);
    if (lines.empty()) {
        file.empty = true;
        return refuse(0, "the file holds no records");
    }

    ImageBuilder builder;
    std::uint32_t base = 0;
    std::optional<std::uint32_t> start;
    bool ended = false;
    for (const TextLine& line : lines) {
        if (ended)
            return refuse(line.number, "record after the end-of-file record");
        if (line.text.front() != ':')
            return refuse(line.number, "starts with " + describeCharacter(line.text.front()) + ", not ':'");
        HexRecordParse parse = readHexRecord(line.text.substr(1));
        if (!parse.fault.empty())
            return refuse(line.number, parse.fault);
        const HexRecord& record = parse.record;
        std::string fault;
        switch (record.type) {
        case HexRecordType::Data:
            if (!builder.add(std::uint64_t{base} + record.offset, record.data, fault))
                return refuse(line.number, fault);
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
        file.lines.emplace_back(line.text);
    }
    if (!ended)
        return refuse(lines.back().number, "the file ends without an end-of-file record (:00000001FF)");
    file.image = builder.finish(start);
    return file;
}
