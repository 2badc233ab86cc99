#include "console/PollTicker.h"

#ifdef __linux__
#include <cstdint>

#include <sys/timerfd.h>
#include <unistd.h>
#endif

PollTicker::PollTicker(std::chrono::milliseconds interval, std::function<void()> onTick)
    : interval(interval), onTick(std::move(onTick)) {
#ifdef __linux__
    timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timerFd >= 0) {
        notifier = std::make_unique<QSocketNotifier>(timerFd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] {
            // Ticks missed while a handler blocked come as one, as a late QTimer's do.
            std::uint64_t expirations = 0;
            if (read(timerFd, &expirations, sizeof expirations) == sizeof expirations && expirations > 0)
                this->onTick();
        });
        return;
    }
#endif
    fallback.setInterval(interval);
    fallback.setTimerType(Qt::PreciseTimer);
    QObject::connect(&fallback, &QTimer::timeout, [this] { this->onTick(); });
}

PollTicker::~PollTicker() {
    notifier.reset();
#ifdef __linux__
    if (timerFd >= 0)
        close(timerFd);
#endif
}

void PollTicker::start() {
#ifdef __linux__
    if (timerFd >= 0) {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(interval).count();
        itimerspec period{};
        period.it_interval.tv_sec = ns / 1'000'000'000;
        period.it_interval.tv_nsec = ns % 1'000'000'000;
        period.it_value = period.it_interval;
        timerfd_settime(timerFd, 0, &period, nullptr);
        return;
    }
#endif
    fallback.start();
}

void PollTicker::stop() {
#ifdef __linux__
    if (timerFd >= 0) {
        const itimerspec disarmed{};
        timerfd_settime(timerFd, 0, &disarmed, nullptr);
        // A tick that expired before the stop must not arrive after it.
        std::uint64_t expirations = 0;
        [[maybe_unused]] const auto drained = read(timerFd, &expirations, sizeof expirations);
        return;
    }
#endif
    fallback.stop();
}
