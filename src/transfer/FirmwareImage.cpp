#include "transfer/FirmwareImage.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>

#include "transfer/FirmwareLimits.h"

std::string FileFault::text() const {
    return line ? "line " + std::to_string(line) + ": " + reason : reason;
}

std::size_t FirmwareImage::byteCount() const {
    std::size_t count = 0;
    for (const ImageSegment& segment : segments)
        count += segment.bytes.size();
    return count;
}

FileFault ValueConflict::onLines() const {
    return FileFault{secondSource, "gives " + addressText(address) + " the value " +
                                       hexByteText(secondValue) + ", line " + std::to_string(firstSource) +
                                       " gave it " + hexByteText(firstValue)};
}

bool ImageBuilder::add(std::uint64_t address, std::vector<std::uint8_t> bytes, std::size_t source,
                       std::string& fault) {
    if (bytes.empty())
        return true;
    constexpr std::uint64_t kAddressSpace = 0x1'0000'0000ull;
    // Compared without adding first: an address read from a file may be near the top of 64 bits.
    if (address >= kAddressSpace || bytes.size() > kAddressSpace - address) {
        fault = "data at " + addressText(address) + " reaches past the 32-bit address space";
        return false;
    }
    if (!hasRoomFor(bytes.size(), fault))
        return false;
    bytesTakenIn += bytes.size();
    pieces.push_back({static_cast<std::uint32_t>(address), source, std::move(bytes)});
    return true;
}

bool ImageBuilder::hasRoomFor(std::uint64_t count, std::string& fault) const {
    if (pieces.size() == kMaxImagePieces) {
        fault = "more than " + std::to_string(kMaxImagePieces) + " separate pieces of data";
        return false;
    }
    if (count > kMaxImageInputBytes - bytesTakenIn) {
        fault = "more than " + std::to_string(kMaxImageInputBytes) + " bytes of data, more than " +
                std::to_string(kMaxFirmwareRecords) + " records can carry";
        return false;
    }
    return true;
}

BuiltImage ImageBuilder::finish(std::optional<std::uint32_t> startAddress) {
    BuiltImage built;
    built.image.startAddress = startAddress;
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const Piece& a, const Piece& b) { return a.address < b.address; });
    std::vector<ImageSegment>& segments = built.image.segments;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& piece = pieces[i];
        if (segments.empty() || piece.address > segments.back().end()) {
            segments.push_back({piece.address, piece.bytes});
            continue;
        }
        ImageSegment& run = segments.back();
        const std::size_t from = piece.address - run.address;
        const std::size_t overlap = std::min(piece.bytes.size(), run.bytes.size() - from);
        const auto [given, held] = std::mismatch(piece.bytes.begin(), piece.bytes.begin() + overlap,
                                                 run.bytes.begin() + static_cast<std::ptrdiff_t>(from));
        if (given != piece.bytes.begin() + overlap) {
            const std::uint32_t address =
                piece.address + static_cast<std::uint32_t>(given - piece.bytes.begin());
            // The run's byte came from the first piece, in address order, that covers it.
            std::size_t earlier = 0;
            while (pieces[earlier].address + std::uint64_t{pieces[earlier].bytes.size()} <= address)
                ++earlier;
            ValueConflict conflict{address, pieces[earlier].source, piece.source, *held, *given};
            if (conflict.firstSource > conflict.secondSource) {
                std::swap(conflict.firstSource, conflict.secondSource);
                std::swap(conflict.firstValue, conflict.secondValue);
            }
            built.conflict = conflict;
            return built;
        }
        run.bytes.insert(run.bytes.end(), piece.bytes.begin() + static_cast<std::ptrdiff_t>(overlap),
                         piece.bytes.end());
    }
    return built;
}

std::uint32_t imageCrc32(const FirmwareImage& image) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t value = n;
            for (int bit = 0; bit < 8; ++bit)
                value = value & 1 ? 0xEDB88320u ^ (value >> 1) : value >> 1;
            entries[n] = value;
        }
        return entries;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const ImageSegment& segment : image.segments)
        for (std::uint8_t byte : segment.bytes)
            crc = table[(crc ^ byte) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::string hexByteText(std::uint8_t value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

std::string addressText(std::uint64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(address));
    return text;
}
