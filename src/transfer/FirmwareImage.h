#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Where and why a firmware file was refused. Text formats name the line; the others name a byte
// offset inside the reason.
struct FileFault {
    std::size_t line = 0; // from 1; 0 when the fault has no line
    std::string reason;   // printable ASCII only

    // "line 200: checksum 3C, expected 3D", or the reason alone.
    std::string text() const;
};

// A run of consecutive bytes at one address.
struct ImageSegment {
    std::uint32_t address = 0;
    std::vector<std::uint8_t> bytes;

    std::uint64_t end() const { return std::uint64_t{address} + bytes.size(); }
};

// What a firmware file puts into memory: segments in address order, none touching another.
struct FirmwareImage {
    std::vector<ImageSegment> segments;
    std::optional<std::uint32_t> startAddress; // the entry point, when the file names one

    std::size_t byteCount() const;
};

// Collects bytes in any order; a byte given twice keeps its last value.
class ImageBuilder {
  public:
    // False, with `fault` set, when the run would pass the 32-bit address space.
    bool add(std::uint64_t address, const std::vector<std::uint8_t>& bytes, std::string& fault);
    // Segments merged where they touch.
    FirmwareImage finish(std::optional<std::uint32_t> startAddress) const;

  private:
    std::map<std::uint64_t, std::vector<std::uint8_t>> runs; // by first address
};

// CRC-32 as zip and Ethernet compute it (polynomial 0x04C11DB7 reflected as 0xEDB88320, initial
// value and final XOR 0xFFFFFFFF) over the image's bytes in address order, gaps left out.
std::uint32_t imageCrc32(const FirmwareImage& image);

// "0x0800ABCD": addresses in messages.
std::string addressText(std::uint64_t address);
