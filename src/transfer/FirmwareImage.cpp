#include "transfer/FirmwareImage.h"

#include <array>
#include <cstdio>
#include <iterator>

std::string FileFault::text() const {
    return line ? "line " + std::to_string(line) + ": " + reason : reason;
}

std::size_t FirmwareImage::byteCount() const {
    std::size_t count = 0;
    for (const ImageSegment& segment : segments)
        count += segment.bytes.size();
    return count;
}

bool ImageBuilder::add(std::uint64_t address, const std::vector<std::uint8_t>& bytes, std::string& fault) {
    if (bytes.empty())
        return true;
    constexpr std::uint64_t kAddressSpace = 0x1'0000'0000ull;
    // Compared without adding first: an address read from a file may be near the top of 64 bits.
    if (address >= kAddressSpace || bytes.size() > kAddressSpace - address) {
        fault = "data at " + addressText(address) + " reaches past the 32-bit address space";
        return false;
    }
    const std::uint64_t end = address + bytes.size();
    // Only the run starting at or before `address` and the first one after it can overlap.
    auto after = runs.lower_bound(address);
    const bool overlapsNext = after != runs.end() && after->first < end;
    const bool overlapsPrevious =
        after != runs.begin() && std::prev(after)->first + std::prev(after)->second.size() > address;
    if (overlapsNext || overlapsPrevious) {
        const std::uint64_t taken = overlapsPrevious ? address : after->first;
        fault = "address " + addressText(taken) + " is given data twice";
        return false;
    }
    runs.emplace(address, bytes);
    return true;
}

FirmwareImage ImageBuilder::finish(std::optional<std::uint32_t> startAddress) const {
    FirmwareImage image;
    image.startAddress = startAddress;
    for (const auto& [address, bytes] : runs) {
        if (!image.segments.empty() && image.segments.back().end() == address) {
            auto& joined = image.segments.back().bytes;
            joined.insert(joined.end(), bytes.begin(), bytes.end());
        } else {
            image.segments.push_back({static_cast<std::uint32_t>(address), bytes});
        }
    }
    return image;
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

std::string addressText(std::uint64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(address));
    return text;
}
