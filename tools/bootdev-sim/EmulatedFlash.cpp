#include "EmulatedFlash.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>

EmulatedFlash::EmulatedFlash(std::uint32_t start, std::uint32_t size) : start_(start), bytes_(size, 0xFF) {
    if (static_cast<std::uint64_t>(start) + size > 0x1'0000'0000ull)
        throw std::invalid_argument("flash would reach past the 32-bit address space");
}

bool EmulatedFlash::contains(std::uint64_t address, std::size_t length) const {
    return address >= start_ && address + length <= static_cast<std::uint64_t>(start_) + bytes_.size();
}

std::size_t EmulatedFlash::indexOf(std::uint64_t address, std::size_t length) const {
    if (!contains(address, length))
        throw std::out_of_range("address outside the flash");
    return static_cast<std::size_t>(address - start_);
}

void EmulatedFlash::erase() {
    std::fill(bytes_.begin(), bytes_.end(), 0xFF);
}

void EmulatedFlash::write(std::uint64_t address, const std::vector<std::uint8_t>& data) {
    std::copy(data.begin(), data.end(),
              bytes_.begin() + static_cast<std::ptrdiff_t>(indexOf(address, data.size())));
}

bool EmulatedFlash::matches(std::uint64_t address, const std::vector<std::uint8_t>& data) const {
    return std::equal(data.begin(), data.end(),
                      bytes_.begin() + static_cast<std::ptrdiff_t>(indexOf(address, data.size())));
}

void EmulatedFlash::dumpTo(const std::string& path) const {
    const std::string temporary = path + ".partial";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
        if (!out)
            throw std::runtime_error("cannot write " + temporary);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        throw std::runtime_error("cannot rename " + temporary + " to " + path);
}
