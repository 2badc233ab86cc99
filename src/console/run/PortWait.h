#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include <QTimer>

// --wait-port: a port that cannot be opened yet (a USB board being plugged in, its device node
// not yet given to the user) is tried again until the wait is over.
class PortWait {
  public:
    explicit PortWait(std::optional<double> seconds);

    // Starts the wait from now.
    void start();
    // Calls `again` a moment later while the wait lasts; false once it is over, or without a wait.
    bool retry(std::function<void()> again);
    void stop() { timer.stop(); }
    // How often retry() has said yes.
    int attempts() const { return retries; }
    // "waiting for PORT: 7 s left", for a terminal.
    std::string status(const std::string& port) const;

  private:
    std::optional<std::chrono::steady_clock::duration> length;
    std::chrono::steady_clock::time_point deadline;
    QTimer timer;
    std::function<void()> onRetry;
    int retries = 0;
};
