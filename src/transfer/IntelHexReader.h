#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/FirmwareImage.h"
#include "transfer/TextLines.h"

// An Intel HEX file read and checked: its record lines as they go to the device, and the image they
// describe; or the first fault.
struct IntelHexFile {
    std::vector<std::string> lines; // the non-blank lines, blanks and tabs around them removed
    FirmwareImage image;
    std::optional<FileFault> fault;
    bool empty = false;           // no line at all: the fault says so, and the window has its own message
    bool pastRecordLimit = false; // refused at the first record past 9000, which the window numbers apart
};

// Checks every line as it is read: the record limit, the start colon, the hex digits, the byte
// count against the line's length, the checksum, the record type, and an end-of-file record that
// is the last record (a Ctrl-Z after it ends the text). Data records are placed with the extended
// segment and linear address records before them; an address given two values is refused, naming
// both lines, and a file whose data records give no byte at all is refused too.
IntelHexFile readIntelHexFile(TextLines lines);
