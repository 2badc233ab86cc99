#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include <QTimer>

#include "console/run/TimerQueue.h"

// A timer that keeps to the microsecond, for the receive poll and for looking at the line the
// moment a reply is due. On Linux a place in the thread's one kernel timer (TimerQueue): the event
// loop's own timers round to whole milliseconds, and a 1 ms QTimer drifts by some tens of
// microseconds a tick and skews around socket wake-ups. Elsewhere a precise QTimer. Starting a
// running timer starts it again.
class PreciseTimer {
  public:
    using Clock = std::chrono::steady_clock;

    explicit PreciseTimer(std::function<void()> onFire);
    ~PreciseTimer();
    PreciseTimer(const PreciseTimer&) = delete;
    PreciseTimer& operator=(const PreciseTimer&) = delete;

    // Fires every `interval`, the first time one interval from now.
    void startEvery(Clock::duration interval);
    // Fires once, at `when` (at once if it has passed).
    void startAt(Clock::time_point when);
    void stop();

  private:
    std::shared_ptr<TimerQueue> queue; // empty: the fallback
    TimerQueue::Timer timer;
    QTimer fallback;
};
