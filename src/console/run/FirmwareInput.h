#pragma once

#include <functional>
#include <optional>
#include <string>

#include "console/output/RunResult.h"
#include "transfer/FirmwareFile.h"
#include "transfer/IntelHexReader.h"

// The firmware file named on the command line, read and checked once, before any port is opened:
// what is checked, hashed and sent are the same bytes, whatever becomes of the file later.
struct FirmwareInput {
    FirmwareFile file;                  // format, image and HEX lines, or where and why it was refused
    std::optional<std::string> failure; // the message line of a file that cannot be sent
    std::string sha256;                 // of the bytes read, lowercase hex; empty for a refused file
};

// Reads `path` in whatever format its content has, through one open of it. A file that cannot be
// read, is refused, or changes while it is read gives a failure naming the file, and the line and
// reason when the content is at fault.
FirmwareInput readFirmwareInput(const std::string& path, const FirmwareRequest& request);

// The window loader's way to the records read once (frmSerial::ReadFirmware): every call, for
// every board, gives the same records, converted to Intel HEX lines whatever the file's format.
std::function<IntelHexFile(const std::string&)> recordsReader(const FirmwareFile& file);

// What `check` reports about a good file.
FirmwareSummary summarise(const FirmwareFile& file);

// The summary as lines for a terminal or a script: format, each range, records, bytes, CRC-32.
std::string summaryText(const FirmwareSummary& summary);
