#pragma once

#include <cstdint>
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

// Two pieces of a file that give one address two different values. Sources are the line or
// segment numbers the reader gave, `first` the smaller.
struct ValueConflict {
    std::uint32_t address = 0;
    std::size_t firstSource = 0, secondSource = 0;
    std::uint8_t firstValue = 0, secondValue = 0;

    // For text files: "line 14: gives 0x00000011 the value 09, line 3 gave it 02".
    FileFault onLines() const;
};

// Why a text file whose records are all addresses, starts, counts and ends is refused: a device
// "downloaded and verified" from it would hold nothing new.
inline constexpr const char* kNoDataRecord = "the file holds no data record";

// The image a file describes, or the first address it gives two values.
struct BuiltImage {
    FirmwareImage image;
    std::optional<ValueConflict> conflict;
};

// Collects the pieces of data a file gives, in any order. A byte given twice with the same value
// is taken once; given two values, the file is refused: the device would hold one of them and
// the verify pass would find the other.
class ImageBuilder {
  public:
    // False, with `fault` set, when the piece would pass the 32-bit address space, or the pieces
    // or the bytes taken in would pass kMaxImagePieces or kMaxImageInputBytes.
    bool add(std::uint64_t address, std::vector<std::uint8_t> bytes, std::size_t source, std::string& fault);
    // False, with `fault` set, when `count` more bytes would pass a limit: asked before reading them.
    bool hasRoomFor(std::uint64_t count, std::string& fault) const;
    // Segments merged where they touch or overlap: one sort and one pass over the pieces.
    BuiltImage finish(std::optional<std::uint32_t> startAddress);

  private:
    struct Piece {
        std::uint32_t address;
        std::size_t source;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Piece> pieces;
    std::size_t bytesTakenIn = 0;
};

// CRC-32 as zip and Ethernet compute it (polynomial 0x04C11DB7 reflected as 0xEDB88320, initial
// value and final XOR 0xFFFFFFFF) over the image's bytes in address order, gaps left out.
std::uint32_t imageCrc32(const FirmwareImage& image);

// "0A": byte values in messages.
std::string hexByteText(std::uint8_t value);

// "0x0800ABCD": addresses in messages.
std::string addressText(std::uint64_t address);
