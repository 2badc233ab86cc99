#pragma once

#include <chrono>
#include <functional>

#include "console/ports/PortDecorator.h"

// Remembers when bytes last went out or came in, so the run can tell a silent device from a
// slow transfer without looking into frames.
class ActivityWatchingPort final : public PortDecorator {
  public:
    using Clock = std::chrono::steady_clock;

    using PortDecorator::PortDecorator;

    std::string input() override;
    void output(const std::string& bytes) override;

    // The later of the last send and the last receipt; the construction time before either.
    Clock::time_point lastActivity() const { return lastTraffic; }
    long long bytesReceived() const { return received; }
    // Shown every chunk received, before the reader gets it.
    void setOnReceived(std::function<void(const std::string&)> callback) { onReceived = std::move(callback); }

    // Told the size of every write, once it has gone to the port.
    void setOnSent(std::function<void(std::size_t)> callback) { onSent = std::move(callback); }

  private:
    Clock::time_point lastTraffic = Clock::now();
    long long received = 0;
    std::function<void(const std::string&)> onReceived;
    std::function<void(std::size_t)> onSent;
};
