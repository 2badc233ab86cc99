#include "transfer/HexFileByName.h"

#include "transfer/FirmwareFileAccess.h"
#include "transfer/LoadError.h"

IntelHexFile readHexFileByName(const std::string& path) {
    const FileDescriptor source = openFirmwareFile(path);
    if (const std::optional<FileFault> fault = oversize(source.get()))
        throw LoadError(loaderrors::kInvalidFileFormat, fault->text());
    return readIntelHexFile(TextLines(chunksOf(source.get())));
}
