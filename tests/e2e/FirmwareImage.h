#pragma once

#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

struct FlashLayout {
    std::uint32_t start = 0;
    std::uint32_t size = 0;
};

// The emulator's options that give it this flash.
QStringList flashOptions(const FlashLayout& layout);

struct DataBlock {
    std::uint32_t address = 0;
    std::vector<std::uint8_t> bytes;
};

// A firmware image as the lines of an Intel HEX file together with the flash a device holds after
// taking them: bytes that no record names keep the erased value 0xFF.
struct FirmwareImage {
    FlashLayout layout;
    std::vector<std::string> lines;
    std::vector<std::uint8_t> flash;
};

// Data records of up to 16 bytes that never cross a 64 KiB boundary, an extended linear address
// record wherever the upper half of the address changes, and an end-of-file record last.
FirmwareImage makeFirmwareImage(const FlashLayout& layout, const std::vector<DataBlock>& blocks);

// Two blocks in a 128 KiB flash, one of them crossing into the second 64 KiB and ending in a short
// record. Its first four lines are an address record and three data records.
FirmwareImage sampleFirmware();

// Pseudo-random bytes, the same for the same seed.
std::vector<std::uint8_t> patternBytes(std::size_t count, unsigned seed);

std::string hexRecord(std::uint8_t type, std::uint16_t offset, const std::vector<std::uint8_t>& data);

// The same record with its checksum one off.
std::string withBadChecksum(const std::string& line);

// CR LF between the lines and none after the last, as an editor may leave a file.
void writeWithoutFinalLineEnd(const std::string& path, const std::vector<std::string>& lines);

std::vector<std::uint8_t> readWholeFile(const std::string& path);
