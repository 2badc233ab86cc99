#pragma once

#include <memory>
#include <optional>
#include <string>

#include <QTemporaryFile>

#include "console/output/RunResult.h"
#include "transfer/FirmwareFile.h"

// The firmware file named on the command line, read and checked before any port is opened.
struct FirmwareInput {
    FirmwareFile file;                  // format, image and HEX lines, or where and why it was refused
    std::optional<std::string> failure; // the message line of a file that cannot be sent
};

// Reads `path` in whatever format its content has. A file that cannot be read or is refused gives
// a failure naming the file, and the line and reason when the content is at fault.
FirmwareInput readFirmwareInput(const std::string& path, const FirmwareRequest& request);

// What `check` reports about a good file.
FirmwareSummary summarise(const FirmwareFile& file);

// The summary as lines for a terminal or a script: format, each range, records, bytes, CRC-32.
std::string summaryText(const FirmwareSummary& summary);

// A temporary Intel HEX file of the converted records, which the window's loader reads like any
// HEX file. Removed when the returned object goes.
std::unique_ptr<QTemporaryFile> writeHexLines(const std::vector<std::string>& lines);
