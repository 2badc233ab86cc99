#pragma once

#include <chrono>
#include <functional>

#include <QTimer>

// Tells when the device has given no reply for too long. Replies count, bytes do not: a babbling
// board or a chattering bus keeps the line busy while the transfer stands still. It wakes when
// the silence could first reach the limit, not on a fixed tick: each wake-up costs the host.
class StallWatch {
  public:
    using Clock = std::chrono::steady_clock;

    // `onStall` hears of a silence as long as `limit`, and again after each further `limit` of it.
    StallWatch(std::chrono::duration<double> limit, std::function<void()> onStall);

    void start();
    void stop();
    // A reply came, or a new wait begins: silence counts from now.
    void restartClock() { quietSince = Clock::now(); }

  private:
    void check();
    void armFor(Clock::duration wait);

    std::chrono::duration<double> silenceLimit;
    std::function<void()> onStall;
    Clock::time_point quietSince = Clock::now();
    QTimer timer;
};
