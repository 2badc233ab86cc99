#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/FirmwareImage.h"
#include "transfer/FirmwareLimits.h"

enum class FirmwareFormat { IntelHex, SRecord, Elf, Binary };

// "Intel HEX", "Motorola S-record", "ELF", "raw binary".
const char* formatName(FirmwareFormat format);

// The first and the last address of the device's flash, both inside it.
struct FlashRange {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
};

// What the user said about the file beside its content.
struct FirmwareRequest {
    std::optional<std::uint32_t> base; // where a raw binary file starts; needed for one
    std::optional<FlashRange> flash;   // data outside it is refused
};

struct FirmwareFile {
    FirmwareFormat format = FirmwareFormat::Binary;
    FirmwareImage image;
    // The Intel HEX lines that go to the device: a HEX file's own lines unchanged, the records
    // converted from any other format.
    std::vector<std::string> hexLines;
    std::optional<FileFault> fault;
};

// ELF by its magic; Intel HEX or S-record when the first line (after a UTF-8 byte-order mark, if
// any) is printable text starting with ":" or with "S" and a digit; raw binary otherwise.
FirmwareFormat detectFormat(std::string_view bytes);

// Reads the open file `fd` in the format its first bytes show, converts it to HEX lines and checks
// them against the request and the record limit. The first fault found ends the reading; nothing
// past a limit is read. Throws LoadError when the file cannot be read.
FirmwareFile readFirmwareFile(int fd, const FirmwareRequest& request);
