// The firmware file readers on arbitrary bytes, the format chosen by the first byte or by the
// content. A file read without a fault gives HEX lines that read back, as the device's own HEX
// form, to an image with the same bytes. ELF files are also built from the input with thousands
// of overlapping segments and sections, which the reader must take in time linear in their count.
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/FuzzRequire.h"
#include "support/FirmwareFiles.h"
#include "transfer/ElfReader.h"
#include "transfer/FirmwareFile.h"
#include "transfer/IntelHexReader.h"
#include "transfer/SRecordReader.h"

namespace {

// Segments in address order, none touching another, within the limit of what is taken in.
void requireSoundImage(const FirmwareImage& image) {
    std::uint64_t end = 0;
    for (const ImageSegment& segment : image.segments) {
        require(!segment.bytes.empty() && (end == 0 || segment.address > end));
        end = segment.end();
    }
    require(image.byteCount() <= kMaxImageInputBytes);
}

std::string manySegments(FuzzedDataProvider& provider) {
    std::vector<ElfSegment> segments(provider.ConsumeIntegralInRange<std::size_t>(0, 4000));
    for (ElfSegment& segment : segments) {
        segment.paddr = provider.ConsumeIntegral<std::uint16_t>(); // near each other, to overlap
        segment.bytes = provider.ConsumeBytes<std::uint8_t>(provider.ConsumeIntegralInRange(0, 8));
        segment.memsz = provider.ConsumeIntegral<std::uint32_t>();
    }
    return elfFile(segments, provider.ConsumeBool());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 5) {
    case 0: {
        FirmwareRequest request;
        request.base = 0x08000000;
        const FirmwareFile file = readFirmwareFile(memoryFile(bytes).get(), request);
        if (file.fault)
            return 0;
        require(file.hexLines.size() <= kMaxFirmwareRecords);
        std::string text;
        for (const std::string& line : file.hexLines)
            text += line + "\r\n";
        const IntelHexFile again = readIntelHexFile(TextLines(text));
        require(!again.fault);
        require(imageCrc32(again.image) == imageCrc32(file.image));
        require(again.image.byteCount() == file.image.byteCount());
        break;
    }
    case 1:
        requireSoundImage(readIntelHexFile(TextLines(bytes)).image);
        break;
    case 2:
        requireSoundImage(readSRecordFile(TextLines(bytes)).image);
        break;
    case 3:
        requireSoundImage(readElfFile(memoryFile(bytes).get()).image);
        break;
    case 4: {
        FuzzedDataProvider provider(data + 1, size - 1);
        requireSoundImage(readElfFile(memoryFile(manySegments(provider)).get()).image);
        break;
    }
    }
    return 0;
}
