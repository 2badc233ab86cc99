#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include <QSocketNotifier>
#include <QTimer>

// The receive poll's clock. On Linux a kernel interval timer (timerfd) watched by the event
// loop: its ticks keep to the grid of the interval, where a 1 ms QTimer drifts by some tens of
// microseconds a tick and skews around socket wake-ups, which at a 1 ms poll adds a tick to
// almost every record. Elsewhere a precise QTimer. Starting a running ticker restarts its
// interval, as the window's timer does.
class PollTicker {
  public:
    PollTicker(std::chrono::milliseconds interval, std::function<void()> onTick);
    ~PollTicker();
    PollTicker(const PollTicker&) = delete;
    PollTicker& operator=(const PollTicker&) = delete;

    void start();
    void stop();

  private:
    std::chrono::milliseconds interval;
    std::function<void()> onTick;
    int timerFd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    QTimer fallback;
};
