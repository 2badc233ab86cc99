#pragma once

#include <chrono>
#include <optional>
#include <string>

// A USB serial adapter's latency timer (--latency-ms): bytes for the host wait in the adapter and
// reach the host together each time the timer fires, every period from the start of the line.
class LatencyTimer {
  public:
    using Clock = std::chrono::steady_clock;

    LatencyTimer(std::chrono::milliseconds period, Clock::time_point start);

    void hold(const std::string& bytes, Clock::time_point now);
    // When the held bytes leave; nothing when none are held.
    std::optional<Clock::time_point> nextRelease() const;
    // The held bytes once the timer has fired since they came, else nothing.
    std::string release(Clock::time_point now);

  private:
    Clock::time_point nextTick(Clock::time_point after) const;

    std::chrono::milliseconds period;
    Clock::time_point start;
    std::string held;
    Clock::time_point heldSince{};
};
