#include "link/LineTime.h"

namespace {
constexpr long long kBitsPerByte = 10;
} // namespace

std::chrono::microseconds lineTime(std::size_t bytes, int baud) {
    const long long bits = static_cast<long long>(bytes) * kBitsPerByte * 1'000'000;
    return std::chrono::microseconds((bits + baud - 1) / baud);
}
