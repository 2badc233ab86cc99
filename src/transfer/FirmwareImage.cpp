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
    // Later bytes replace earlier ones at the same address, as the device's flash takes them.
    auto run = runs.lower_bound(address);
    if (run != runs.begin() && std::prev(run)->first + std::prev(run)->second.size() > address)
        run = std::prev(run);
    while (run != runs.end() && run->first < end) {
        const std::uint64_t runStart = run->first;
        const std::vector<std::uint8_t> old = std::move(run->second);
        run = runs.erase(run);
        if (runStart < address)
            runs.emplace(runStart,
                         std::vector<std::uint8_t>(old.begin(), old.begin() + (address - runStart)));
        if (runStart + old.size() > end)
            run =
                runs.emplace(end, std::vector<std::uint8_t>(old.begin() + (end - runStart), old.end())).first;
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
