#pragma once

#include <QByteArray>
#include <string>
#include <vector>

// A firmware image as the lines of an Intel HEX file together with the 128 KiB flash at 0x08000000
// that a device holds after taking them: bytes that no record names keep the erased value 0xFF.
struct FirmwareImage {
    std::vector<std::string> lines;
    QByteArray flash;
};

// Two blocks of patterned bytes, the second crossing into the second 64 KiB and ending in a short
// record: data records of up to 16 bytes, an extended linear address record wherever the upper half
// of the address changes, and an end-of-file record last. The first four lines are an address
// record and three data records.
FirmwareImage sampleFirmware();
