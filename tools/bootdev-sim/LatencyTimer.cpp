#include "LatencyTimer.h"

LatencyTimer::LatencyTimer(std::chrono::milliseconds period, Clock::time_point start)
    : period(period), start(start) {}

void LatencyTimer::hold(const std::string& bytes, Clock::time_point now) {
    if (held.empty())
        heldSince = now;
    held += bytes;
}

LatencyTimer::Clock::time_point LatencyTimer::nextTick(Clock::time_point after) const {
    if (period.count() == 0)
        return after;
    const auto ticks = (after - start) / period + 1;
    return start + period * ticks;
}

std::optional<LatencyTimer::Clock::time_point> LatencyTimer::nextRelease() const {
    if (held.empty())
        return std::nullopt;
    return nextTick(heldSince);
}

std::string LatencyTimer::release(Clock::time_point now) {
    if (held.empty() || now < nextTick(heldSince))
        return {};
    std::string taken;
    taken.swap(held);
    return taken;
}
