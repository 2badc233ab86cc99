#include "console/run/PortWait.h"

#include <cmath>

namespace {

// Often enough that a board plugged in is taken at once, seldom enough to cost nothing.
constexpr std::chrono::milliseconds kRetryEvery{100};

} // namespace

PortWait::PortWait(std::optional<double> seconds) {
    if (seconds)
        length = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(*seconds));
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [this] { onRetry(); });
}

void PortWait::start() {
    if (length)
        deadline = std::chrono::steady_clock::now() + *length;
}

bool PortWait::retry(std::function<void()> again) {
    if (!length || std::chrono::steady_clock::now() + kRetryEvery > deadline)
        return false;
    onRetry = std::move(again);
    ++retries;
    timer.start(kRetryEvery);
    return true;
}

std::string PortWait::status(const std::string& port) const {
    const double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
    return "waiting for " + port + ": " + std::to_string(static_cast<int>(std::ceil(std::max(left, 0.0)))) +
           " s left";
}
