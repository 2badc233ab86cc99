// The firmware file readers on arbitrary bytes, the format chosen by the first byte or by the
// content. A file read without a fault gives HEX lines that read back, as the device's own HEX
// form, to an image with the same bytes.
#include <string>
#include <string_view>

#include "fuzz/FuzzRequire.h"
#include "transfer/ElfReader.h"
#include "transfer/FirmwareFile.h"
#include "transfer/IntelHexReader.h"
#include "transfer/SRecordReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
    case 0: {
        FirmwareRequest request;
        request.base = 0x08000000;
        const FirmwareFile file = readFirmwareFile(bytes, request);
        if (file.fault)
            return 0;
        require(file.hexLines.size() <= kMaxFirmwareRecords);
        std::string text;
        for (const std::string& line : file.hexLines)
            text += line + "\r\n";
        const IntelHexFile again = readIntelHexFile(text);
        require(!again.fault);
        require(imageCrc32(again.image) == imageCrc32(file.image));
        require(again.image.byteCount() == file.image.byteCount());
        break;
    }
    case 1:
        (void)readIntelHexFile(bytes);
        break;
    case 2:
        (void)readSRecordFile(bytes);
        break;
    case 3:
        (void)readElfFile(bytes);
        break;
    }
    return 0;
}
