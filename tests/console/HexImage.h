#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/IntelHexRecord.h"

// A firmware image as Intel HEX lines together with the flash contents those lines describe.
struct HexImage {
    std::vector<std::string> lines;
    std::vector<std::uint8_t> flash; // the whole flash after a download, unwritten bytes 0xFF
};

// `dataRecords` records of 16 pseudo-random bytes from `flashStart` on, with an extended linear
// address record first and wherever the data crosses into the next 64 KiB, and an end-of-file
// record last.
HexImage makeHexImage(int dataRecords, std::uint32_t flashStart, std::size_t flashSize, unsigned seed = 1);

// Writes the lines; the last one without a line end when `lastLineEnded` is false.
void writeLines(const std::string& path, const std::vector<std::string>& lines, bool lastLineEnded = true);

std::vector<std::uint8_t> readBinary(const std::string& path);
// The whole file as it is; empty when it cannot be read.
std::string fileText(const std::string& path);
