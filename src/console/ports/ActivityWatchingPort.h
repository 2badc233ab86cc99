#pragma once

#include <functional>

#include "console/ports/PortDecorator.h"

// Tells the run of every chunk received and every write sent, so that it can time its next look
// at the line without looking into frames.
class ActivityWatchingPort final : public PortDecorator {
  public:
    using PortDecorator::PortDecorator;

    std::string input() override;
    void output(const std::string& bytes) override;

    // Shown every chunk received, before the reader gets it.
    void setOnReceived(std::function<void(const std::string&)> callback) { onReceived = std::move(callback); }

    // Told the size of every write, once it has gone to the port.
    void setOnSent(std::function<void(std::size_t)> callback) { onSent = std::move(callback); }

  private:
    std::function<void(const std::string&)> onReceived;
    std::function<void(std::size_t)> onSent;
};
