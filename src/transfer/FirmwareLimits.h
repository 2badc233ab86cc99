#pragma once

#include <cstddef>
#include <cstdint>

// The device takes one record a line and the sender counts records in a table of 9000.
inline constexpr std::size_t kMaxFirmwareRecords = 9000;

// No firmware file comes near this: 9000 records of the longest Intel HEX form (255 data bytes,
// 523 characters with CR LF) take 4.7 MB, and an ELF file for such an image, debug information
// included, stays far below. Larger files are refused before anything of them is read.
inline constexpr std::uint64_t kMaxFirmwareFileBytes = 64ull << 20;

// The most data 9000 records can carry (255 bytes each): what a file may give before it is
// refused, whatever its format, so that memory stays small whatever a file claims.
inline constexpr std::size_t kMaxImageInputBytes = kMaxFirmwareRecords * 255;

// Pieces of data taken in (records, or the parts of ELF sections inside load segments). A HEX
// file has at most 9000; other formats are converted to 16-byte records, so a file of more
// pieces than this could only be sent with pieces of a byte or two.
inline constexpr std::size_t kMaxImagePieces = 65536;

// A text line longer than any record (an S3 or HEX record of 255 data bytes has 521 characters)
// is refused at this length, without holding the rest of it.
inline constexpr std::size_t kMaxLineLength = 1024;
