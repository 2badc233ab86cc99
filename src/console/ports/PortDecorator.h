#pragma once

#include "link/SerialPortService.h"

// Forwards every operation to another port service; decorators override only what they watch.
class PortDecorator : public SerialPortService {
  public:
    explicit PortDecorator(SerialPortService& inner) : inner(inner) {}

    void setSettings(const std::string& settings) override { inner.setSettings(settings); }
    void setCommPort(std::int16_t number) override { inner.setCommPort(number); }
    void setCommPath(const std::string& path) override { inner.setCommPath(path); }
    void reach(const std::string& portText, const std::string& settings,
               std::function<void()> reached) override {
        inner.reach(portText, settings, std::move(reached));
    }
    void setPortOpen(bool open) override { inner.setPortOpen(open); }
    bool portOpen() const override { return inner.portOpen(); }
    int inBufferCount() override { return inner.inBufferCount(); }
    std::string input() override { return inner.input(); }
    void output(const std::string& bytes) override { inner.output(bytes); }
    void keepQuiet(std::chrono::microseconds span) override { inner.keepQuiet(span); }
    void setModemLines(const ModemLineChange& change) override { inner.setModemLines(change); }
    std::optional<int> wireBaud() const override { return inner.wireBaud(); }
    std::optional<std::chrono::steady_clock::time_point> arrivedAt() const override {
        return inner.arrivedAt();
    }

  protected:
    SerialPortService& inner;
};
