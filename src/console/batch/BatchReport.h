#pragma once

#include <functional>
#include <string>
#include <vector>

#include "console/batch/BoardRecord.h"
#include "transfer/IntelHexReader.h"

// The firmware a batch flashes, as its records name it, and the records every board gets.
struct FirmwareStamp {
    std::string operation; // "download" or "verify"
    std::string file;      // as given on the command line
    std::string sha256;    // of the bytes read from it once, lowercase hex
    // The records read from it then, for the window's loader (frmSerial::ReadFirmware).
    std::function<IntelHexFile(const std::string&)> readRecords;
};

// Now, in ISO 8601 UTC to the millisecond: "2026-12-07T01:50:03.125Z".
std::string utcNow();

// One compact JSON object a line; each names the time, the file and its SHA-256, so a line read
// alone from a log still says what went into which board, and when.
std::string boardJsonLine(const BoardRecord& board, const FirmwareStamp& firmware);
// `emptyPorts`: ports whose scan found no board; they count as "no device", but as no board.
std::string summaryJsonLine(const std::vector<BoardRecord>& boards,
                            const std::vector<std::string>& emptyPorts, const FirmwareStamp& firmware,
                            double seconds);

// The closing table: port, address, version reply, outcome, attempts, seconds; one row a board.
std::string summaryTable(const std::vector<BoardRecord>& boards);
// One plain line for a board that has ended: "/dev/ttyUSB0 #5 success after 2 attempts, 3.2 s".
std::string boardLine(const BoardRecord& board);
