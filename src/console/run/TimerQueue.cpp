#include "console/run/TimerQueue.h"

#include <algorithm>

#include <QSocketNotifier>

#ifdef __linux__
#include <sys/timerfd.h>
#include <unistd.h>
#endif

std::shared_ptr<TimerQueue> TimerQueue::forThisThread() {
    // Each thread's event loop watches its own descriptor.
    thread_local std::weak_ptr<TimerQueue> current;
    if (auto queue = current.lock())
        return queue;
#ifdef __linux__
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    std::shared_ptr<TimerQueue> queue(new TimerQueue(fd));
    current = queue;
    return queue;
#else
    return nullptr;
#endif
}

TimerQueue::TimerQueue(int fd)
    : fd(fd), notifier(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read)) {
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { fire(); });
}

TimerQueue::~TimerQueue() {
    notifier.reset();
#ifdef __linux__
    close(fd);
#endif
}

void TimerQueue::start(Timer& timer, Clock::time_point due, Clock::duration interval) {
    stop(timer);
    timer.interval = interval;
    timer.place = Place{due, started++};
    running.emplace(*timer.place, &timer);
    if (!firing)
        arm();
}

void TimerQueue::stop(Timer& timer) {
    // The kernel timer stays set: if it was set for this one, it wakes once for nothing.
    if (timer.place)
        running.erase(*timer.place);
    timer.place.reset();
}

void TimerQueue::fire() {
#ifdef __linux__
    std::uint64_t expirations = 0;
    [[maybe_unused]] const auto drained = read(fd, &expirations, sizeof expirations);
#endif
    armedFor.reset();
    // A handler may stop the last timer, and with it the queue.
    const std::shared_ptr<TimerQueue> keep = shared_from_this();
    firing = true;
    const Clock::time_point now = Clock::now();
    // Only the timers started before this wake: one a handler starts for a moment already passed
    // fires on the next, as a kernel timer set for the past would, so no handler holds the loop.
    const std::uint64_t startedBefore = started;
    for (auto next = running.begin(); next != running.end() && next->first.due <= now;) {
        if (next->first.order >= startedBefore) {
            ++next;
            continue;
        }
        Timer& timer = *next->second;
        const Place place = next->first;
        running.erase(next);
        timer.place.reset();
        if (timer.interval > Clock::duration::zero()) {
            const auto missed = (now - place.due) / timer.interval;
            timer.place = Place{place.due + timer.interval * (missed + 1), place.order};
            running.emplace(*timer.place, &timer);
        }
        timer.onFire();
        // The handler may have started, stopped or removed any timer.
        next = running.begin();
    }
    firing = false;
    arm();
}

void TimerQueue::arm() {
    if (running.empty())
        return;
    const Clock::time_point earliest = running.begin()->first.due;
    if (armedFor && *armedFor <= earliest)
        return;
#ifdef __linux__
    // An absolute time on the clock steady_clock reads; zero would disarm, and a moment passed
    // fires at once.
    const auto ns = std::max<std::int64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(earliest.time_since_epoch()).count(), 1);
    itimerspec at{};
    at.it_value = timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    timerfd_settime(fd, TFD_TIMER_ABSTIME, &at, nullptr);
#endif
    armedFor = earliest;
}
