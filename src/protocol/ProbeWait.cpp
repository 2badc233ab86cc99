#include "protocol/ProbeWait.h"

#include "protocol/Vocabulary.h"

namespace {

constexpr long long kBitsPerByte = 10;
// Address byte in front, two CRC bytes behind.
constexpr std::size_t kFrameOverhead = 3;

} // namespace

std::chrono::microseconds lineTime(std::size_t bytes, int baud) {
    const long long bits = static_cast<long long>(bytes) * kBitsPerByte * 1'000'000;
    return std::chrono::microseconds((bits + baud - 1) / baud);
}

std::chrono::milliseconds probeWait(int baud, std::chrono::milliseconds margin) {
    const auto onLine = lineTime(vocabulary::kProbe.size() + kFrameOverhead + kLongestReplyFrame, baud);
    return std::chrono::ceil<std::chrono::milliseconds>(onLine) + margin + kWakeAllowance;
}
