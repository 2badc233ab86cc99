#include "transfer/ElfReader.h"

#include "transfer/LoadError.h"

// Builds without libelf (Windows) take Intel HEX, S-record and raw binary files only.
ElfFile readElfFile(int) {
    throw LoadError(loaderrors::kInvalidFileFormat,
                    "ELF files cannot be read by this build: convert the file to Intel HEX first");
}
