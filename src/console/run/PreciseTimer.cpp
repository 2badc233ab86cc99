#include "console/run/PreciseTimer.h"

#include <algorithm>

#ifdef __linux__
#include <cstdint>

#include <sys/timerfd.h>
#include <unistd.h>
#endif

PreciseTimer::PreciseTimer(std::function<void()> onFire) : onFire(std::move(onFire)) {
#ifdef __linux__
    timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timerFd >= 0) {
        notifier = std::make_unique<QSocketNotifier>(timerFd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] {
            // Expirations missed while a handler blocked come as one, as a late QTimer's do.
            std::uint64_t expirations = 0;
            if (read(timerFd, &expirations, sizeof expirations) == sizeof expirations && expirations > 0)
                this->onFire();
        });
        return;
    }
#endif
    fallback.setTimerType(Qt::PreciseTimer);
    QObject::connect(&fallback, &QTimer::timeout, [this] { this->onFire(); });
}

PreciseTimer::~PreciseTimer() {
    notifier.reset();
#ifdef __linux__
    if (timerFd >= 0)
        close(timerFd);
#endif
}

void PreciseTimer::startEvery(Clock::duration interval) {
    arm(interval, interval);
}

void PreciseTimer::startAt(Clock::time_point when) {
    // A zero time disarms a timerfd: a moment already passed is the shortest wait instead.
    arm(std::max(when - Clock::now(), Clock::duration(std::chrono::nanoseconds(1))), Clock::duration::zero());
}

void PreciseTimer::arm(Clock::duration first, Clock::duration interval) {
#ifdef __linux__
    if (timerFd >= 0) {
        auto toSpec = [](Clock::duration span) {
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(span).count();
            return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        };
        itimerspec period{};
        period.it_interval = toSpec(interval);
        period.it_value = toSpec(first);
        timerfd_settime(timerFd, 0, &period, nullptr);
        return;
    }
#endif
    fallback.setSingleShot(interval == Clock::duration::zero());
    fallback.start(
        std::chrono::ceil<std::chrono::milliseconds>(interval == Clock::duration::zero() ? first : interval));
}

void PreciseTimer::stop() {
#ifdef __linux__
    if (timerFd >= 0) {
        const itimerspec disarmed{};
        timerfd_settime(timerFd, 0, &disarmed, nullptr);
        // An expiry from before the stop must not arrive after it.
        std::uint64_t expirations = 0;
        [[maybe_unused]] const auto drained = read(timerFd, &expirations, sizeof expirations);
        return;
    }
#endif
    fallback.stop();
}
