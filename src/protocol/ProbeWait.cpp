#include "protocol/ProbeWait.h"

#include "protocol/Vocabulary.h"

namespace {

// Address byte in front, two CRC bytes behind.
constexpr std::size_t kFrameOverhead = 3;

} // namespace

std::chrono::milliseconds probeWait(int baud, std::chrono::milliseconds margin) {
    const auto onLine = lineTime(vocabulary::kProbe.size() + kFrameOverhead + kLongestReplyFrame, baud);
    return std::chrono::ceil<std::chrono::milliseconds>(onLine) + margin + kWakeAllowance;
}
