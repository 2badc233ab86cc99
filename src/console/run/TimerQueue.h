#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QSocketNotifier;

// One kernel timer (timerfd) for every precise timer of a thread. A flasher on many ports keeps
// several timers a port; one descriptor each would put them all into every wait of the event loop
// and cost a system call at each start and stop. Here a start or stop only sorts the timer among
// the others, and the kernel timer is set again only when the earliest moment comes sooner than
// the one it is set for: a timer pushed later (a deadline moved on with each record) costs nothing
// until the kernel timer wakes for the earlier moment and finds nothing due.
class TimerQueue : public std::enable_shared_from_this<TimerQueue> {
  public:
    using Clock = std::chrono::steady_clock;

    // Where a running timer stands in the queue: when it is due, and its place among those due then
    // (timers due together fire in the order started).
    struct Place {
        Clock::time_point due;
        std::uint64_t order;
        bool operator<(const Place& other) const {
            return due != other.due ? due < other.due : order < other.order;
        }
    };
    // A timer as its owner keeps it: what it calls, and its place while it runs. The queue moves
    // the place as the timer fires, and empties it once the timer has fired for the last time.
    struct Timer {
        std::function<void()> onFire;
        std::optional<Place> place;
        Clock::duration interval{};
    };

    // The thread's queue, made on first use and gone with the last timer that holds it; empty
    // where the kernel offers no such timer.
    static std::shared_ptr<TimerQueue> forThisThread();

    ~TimerQueue();
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;

    // Runs `timer` at `due`, then every `interval` after it if one is given (expirations missed
    // while a handler blocked come as one); a running timer starts again. The timer must stay
    // where it is until stopped.
    void start(Timer& timer, Clock::time_point due, Clock::duration interval);
    void stop(Timer& timer);

  private:
    explicit TimerQueue(int fd);
    void fire();
    void arm();

    int fd;
    std::unique_ptr<QSocketNotifier> notifier;
    std::map<Place, Timer*> running;
    std::uint64_t started = 0;
    std::optional<Clock::time_point> armedFor;
    bool firing = false;
};
