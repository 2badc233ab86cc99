#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

// When each frame written lately can first be answered. A board answers a frame only once all of
// it has crossed the line, and its answer must cross it too: a reply complete sooner answers an
// earlier frame. Where nothing paces the bytes (no speed known), any time can be an answer's.
class FrameTimes {
  public:
    using Clock = std::chrono::steady_clock;

    // Frame number `frame` (counted from 1) of `bytes` bytes went to the driver at `at`.
    void written(std::uint64_t frame, std::size_t bytes, std::optional<int> baud, Clock::time_point at);
    // Before this no reply can answer frame number `frame`; the distant past when not known.
    Clock::time_point earliestAnswer(std::uint64_t frame) const;
    void clear() { recent.clear(); }

  private:
    struct Written {
        std::uint64_t frame;
        Clock::time_point earliestAnswer;
    };
    std::deque<Written> recent;
};
