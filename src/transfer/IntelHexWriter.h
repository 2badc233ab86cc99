#pragma once

#include <string>
#include <vector>

#include "transfer/FirmwareImage.h"

// The image as Intel HEX record lines, as a toolchain's HEX converter writes them: data records
// of up to 16 bytes from each segment's start, never across a 64 KiB boundary; an extended linear
// address record (04) before the first data record whose upper 16 address bits differ from those
// in force (0 at the start); a start linear address record (05) for a non-zero start address; the
// end-of-file record last. Upper-case hex, no line ends.
std::vector<std::string> intelHexLines(const FirmwareImage& image);
