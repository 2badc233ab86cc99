#pragma once

#include <chrono>
#include <functional>

#include "console/ports/PortDecorator.h"

// Writes every frame sent and every chunk received as one line: milliseconds since the run
// started (to the microsecond: records are a few milliseconds apart), direction, length, and the
// bytes in hex and as text (non-printable bytes as '.').
class TracingPort final : public PortDecorator {
  public:
    TracingPort(SerialPortService& inner, std::function<void(const std::string&)> writeLine);

    void setSettings(const std::string& settings) override;
    void setCommPath(const std::string& path) override;
    void setCommPort(std::int16_t number) override;
    void setPortOpen(bool open) override;
    std::string input() override;
    void output(const std::string& bytes) override;

    // "01 42 4F 4B D5 CB  |.BOK..|"
    static std::string describe(const std::string& bytes);

  private:
    void trace(const std::string& what);

    std::function<void(const std::string&)> writeLine;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};
