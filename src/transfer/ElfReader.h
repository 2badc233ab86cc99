#pragma once

#include <optional>

#include "transfer/FirmwareImage.h"

// An ELF file read, or why it cannot be flashed.
struct ElfFile {
    FirmwareImage image;
    std::optional<FileFault> fault;
};

// The bytes that the loadable segments hold in the file, at their load (physical) addresses, as a
// HEX converter writes them from the same file: where the file has section headers, the parts of
// each segment that allocated sections cover, so padding between sections stays out; without
// them, the segment's file bytes whole. Zero-filled parts (.bss) are not in the file and are not
// sent. 32- and 64-bit files of either byte order; the entry point becomes the start address.
// Read from the open file `fd` as needed: the headers, then the load segments' bytes only. Load
// segments that overlap must agree on every byte they share.
ElfFile readElfFile(int fd);
