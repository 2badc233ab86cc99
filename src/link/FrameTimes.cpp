#include "link/FrameTimes.h"

#include "link/LineTime.h"

namespace {

// The shortest reply a board gives: "OK" and its line end.
constexpr std::size_t kShortestReplyBytes = 4;
// A wait spans a few frames at most (the install sends two): older ones are never asked about.
constexpr std::size_t kFramesKept = 8;

} // namespace

void FrameTimes::written(std::uint64_t frame, std::size_t bytes, std::optional<int> baud,
                         Clock::time_point at) {
    if (!baud || *baud <= 0) {
        recent.clear();
        return;
    }
    recent.push_back({frame, at + lineTime(bytes + kShortestReplyBytes, *baud)});
    if (recent.size() > kFramesKept)
        recent.pop_front();
}

FrameTimes::Clock::time_point FrameTimes::earliestAnswer(std::uint64_t frame) const {
    for (const Written& each : recent)
        if (each.frame == frame)
            return each.earliestAnswer;
    return Clock::time_point::min();
}
