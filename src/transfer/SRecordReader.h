#pragma once

#include <optional>
#include <string_view>

#include "transfer/FirmwareImage.h"
#include "transfer/TextLines.h"

// A Motorola S-record file read and checked, or its first fault.
struct SRecordFile {
    FirmwareImage image;
    std::optional<FileFault> fault;
};

// Checks every record as it is read: the "S" and its type (S0 to S9, S4 unused), the hex digits,
// the byte count against the line's length, and the checksum. S1/S2/S3 carry data; S5/S6 must
// count the data records before them; S7/S8/S9 name the start address and must be the last
// record, or, without one, a count must cover every data record. An address given two values is
// refused, naming both lines; a file whose data records give no byte at all is refused too.
SRecordFile readSRecordFile(TextLines lines);
