#include "console/run/StallWatch.h"

#include <algorithm>

StallWatch::StallWatch(std::chrono::duration<double> limit, std::function<void()> onStall)
    : silenceLimit(limit), onStall(std::move(onStall)) {
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [this] { check(); });
}

void StallWatch::start() {
    armFor(std::chrono::duration_cast<Clock::duration>(silenceLimit));
}

void StallWatch::stop() {
    timer.stop();
}

void StallWatch::check() {
    const Clock::time_point now = Clock::now();
    const auto limit = std::chrono::duration_cast<Clock::duration>(silenceLimit);
    if (now - quietSince < limit) {
        armFor(quietSince + limit - now);
        return;
    }
    armFor(limit); // before telling: the one told may stop the watch
    onStall();
}

void StallWatch::armFor(Clock::duration wait) {
    // Rounded up: a wake-up a little early would only find the silence short of the limit.
    timer.start(std::max(std::chrono::ceil<std::chrono::milliseconds>(wait), std::chrono::milliseconds(1)));
}
