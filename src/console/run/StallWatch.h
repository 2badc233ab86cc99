#pragma once

#include <chrono>
#include <functional>

#include <QTimer>

// Tells when the line has been silent too long: no byte sent or received, and no new wait begun,
// for the whole limit. It wakes when the silence could first reach the limit, not on a fixed
// tick: a transfer keeps the line busy, and each wake-up costs the host.
class StallWatch {
  public:
    using Clock = std::chrono::steady_clock;

    // `lastActivity` tells when bytes last went out or came in; `onStall` hears of a silence as
    // long as `limit`, and again after each further `limit` of it.
    StallWatch(std::chrono::duration<double> limit, std::function<Clock::time_point()> lastActivity,
               std::function<void()> onStall);

    void start();
    void stop();
    // A new wait begins: silence counts from now at the earliest.
    void waitFromNow() { waitingSince = Clock::now(); }

  private:
    void check();
    void armFor(Clock::duration wait);

    std::chrono::duration<double> silenceLimit;
    std::function<Clock::time_point()> lastActivity;
    std::function<void()> onStall;
    Clock::time_point waitingSince = Clock::now();
    QTimer timer;
};
