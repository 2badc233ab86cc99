#include "transfer/FirmwareFile.h"

#include <algorithm>

#include "transfer/ElfReader.h"
#include "transfer/FirmwareFileAccess.h"
#include "transfer/IntelHexReader.h"
#include "transfer/IntelHexWriter.h"
#include "transfer/SRecordReader.h"

namespace {

// A text file's first line is printable ASCII; a binary image soon holds other bytes.
bool firstLineIsText(std::string_view bytes) {
    const std::string_view head = bytes.substr(0, std::min(bytes.find('\n'), std::size_t{80}));
    return std::all_of(head.begin(), head.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte >= 0x20 && byte < 0x7F) || c == '\t' || c == '\r';
    });
}

std::optional<FileFault> outsideFlash(const FirmwareImage& image, const FlashRange& flash) {
    for (const ImageSegment& segment : image.segments)
        if (segment.address < flash.first || segment.end() - 1 > flash.last)
            return FileFault{0, "data at " + addressText(segment.address) + " to " +
                                    addressText(segment.end() - 1) + " lies outside the flash " +
                                    addressText(flash.first) + " to " + addressText(flash.last)};
    return std::nullopt;
}

FirmwareFile fromBinary(int fd, std::uint64_t size, const std::optional<std::uint32_t>& base) {
    FirmwareFile file;
    if (!base) {
        file.fault = FileFault{0, "not Intel HEX, S-record or ELF: a raw binary file needs --base ADDRESS, "
                                  "the address of its first byte"};
        return file;
    }
    ImageBuilder builder;
    std::string fault;
    if (!builder.hasRoomFor(size, fault)) {
        file.fault = FileFault{0, fault};
        return file;
    }
    const std::string bytes = readAt(fd, 0, static_cast<std::size_t>(size));
    if (!builder.add(*base, std::vector<std::uint8_t>(bytes.begin(), bytes.end()), 0, fault))
        file.fault = FileFault{0, fault};
    file.image = builder.finish(std::nullopt).image;
    return file;
}

FirmwareFile readInFormat(FirmwareFormat format, int fd, std::uint64_t size, const FirmwareRequest& request) {
    FirmwareFile file;
    switch (format) {
    case FirmwareFormat::IntelHex: {
        IntelHexFile hex = readIntelHexFile(TextLines(chunksOf(fd)));
        file.image = std::move(hex.image);
        file.hexLines = std::move(hex.lines);
        file.fault = std::move(hex.fault);
        break;
    }
    case FirmwareFormat::SRecord: {
        SRecordFile srec = readSRecordFile(TextLines(chunksOf(fd)));
        file.image = std::move(srec.image);
        file.fault = std::move(srec.fault);
        break;
    }
    case FirmwareFormat::Elf: {
        ElfFile elf = readElfFile(fd);
        file.image = std::move(elf.image);
        file.fault = std::move(elf.fault);
        break;
    }
    case FirmwareFormat::Binary:
        file = fromBinary(fd, size, request.base);
        break;
    }
    file.format = format;
    return file;
}

} // namespace

const char* formatName(FirmwareFormat format) {
    switch (format) {
    case FirmwareFormat::IntelHex:
        return "Intel HEX";
    case FirmwareFormat::SRecord:
        return "Motorola S-record";
    case FirmwareFormat::Elf:
        return "ELF";
    case FirmwareFormat::Binary:
        return "raw binary";
    }
    return "unknown";
}

FirmwareFormat detectFormat(std::string_view bytes) {
    if (bytes.starts_with("\x7F"
                          "ELF"))
        return FirmwareFormat::Elf;
    // A text file's, which its reader passes over as well.
    const bool marked = bytes.starts_with(kUtf8ByteOrderMark);
    if (marked)
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    // Blank lines only: a text file with no record, which the HEX reader names as such.
    if (first == std::string_view::npos)
        return bytes.empty() && !marked ? FirmwareFormat::Binary : FirmwareFormat::IntelHex;
    if (!firstLineIsText(bytes.substr(first)))
        return FirmwareFormat::Binary;
    if (bytes[first] == ':')
        return FirmwareFormat::IntelHex;
    if (bytes[first] == 'S' && first + 1 < bytes.size() && bytes[first + 1] >= '0' && bytes[first + 1] <= '9')
        return FirmwareFormat::SRecord;
    return FirmwareFormat::Binary;
}

FirmwareFile readFirmwareFile(int fd, const FirmwareRequest& request) {
    if (std::optional<FileFault> fault = oversize(fd)) {
        FirmwareFile file;
        file.fault = std::move(fault);
        return file;
    }
    const std::uint64_t size = fileSize(fd);
    // Enough to see past a few blank lines; a text of blanks only is left to the HEX reader.
    const FirmwareFormat format = detectFormat(readAt(fd, 0, 4096));
    if (size == 0) {
        FirmwareFile file;
        file.fault = FileFault{0, "the file is empty"};
        return file;
    }
    if (request.base && format != FirmwareFormat::Binary) {
        FirmwareFile file;
        file.format = format;
        file.fault = FileFault{0, std::string("the file is ") + formatName(format) +
                                      ", which holds its own addresses: --base is for raw binary files only"};
        return file;
    }
    FirmwareFile file = readInFormat(format, fd, size, request);
    if (file.fault)
        return file;
    if (request.flash)
        if ((file.fault = outsideFlash(file.image, *request.flash)))
            return file;
    if (format != FirmwareFormat::IntelHex)
        file.hexLines = intelHexLines(file.image);
    if (file.hexLines.size() > kMaxFirmwareRecords)
        file.fault = FileFault{0, "needs " + std::to_string(file.hexLines.size()) + " records, at most " +
                                      std::to_string(kMaxFirmwareRecords) + " can be sent"};
    return file;
}
