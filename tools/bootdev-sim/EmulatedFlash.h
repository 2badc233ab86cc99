#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The device's program memory: a window of addresses that reads 0xFF where nothing was written.
class EmulatedFlash {
  public:
    EmulatedFlash(std::uint32_t start, std::uint32_t size);

    std::uint32_t start() const { return start_; }
    std::uint32_t size() const { return static_cast<std::uint32_t>(bytes_.size()); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

    // Addresses are 64-bit so that a base near the top of the 32-bit space plus an offset cannot wrap.
    bool contains(std::uint64_t address, std::size_t length) const;
    void erase();
    // Both throw std::out_of_range when any byte lies outside the flash.
    void write(std::uint64_t address, const std::vector<std::uint8_t>& data);
    bool matches(std::uint64_t address, const std::vector<std::uint8_t>& data) const;

    // Writes the whole flash to `path` through a temporary file and a rename, so that a reader never
    // sees half a dump. Throws std::runtime_error when the file cannot be written.
    void dumpTo(const std::string& path) const;

  private:
    std::size_t indexOf(std::uint64_t address, std::size_t length) const;

    std::uint32_t start_;
    std::vector<std::uint8_t> bytes_;
};
