#pragma once

#include <memory>

#include "link/PortAddress.h"
#include "link/SerialPortService.h"
#include "ports/qt/ReadyReadSource.h"

// The port the window and the flasher open: the port text's prefix chooses the line behind it
// (a serial port by number or device path, tcp:// or rfc2217://), here and nowhere else.
// Settings are kept and handed on, so the call order of a serial control still holds.
class SchemePortService final : public SerialPortService, public ReadyReadSource {
  public:
    SchemePortService();
    ~SchemePortService() override;

    void setSettings(const std::string& settings) override;
    void setCommPort(std::int16_t number) override;
    void setCommPath(const std::string& path) override;
    void reach(const std::string& portText, const std::string& settings,
               std::function<void()> reached) override;
    void setPortOpen(bool open) override;
    bool portOpen() const override { return current->portOpen(); }
    int inBufferCount() override { return current->inBufferCount(); }
    std::string input() override { return current->input(); }
    void output(const std::string& bytes) override { current->output(bytes); }
    void setModemLines(const ModemLineChange& change) override { current->setModemLines(change); }
    std::optional<int> wireBaud() const override { return current->wireBaud(); }
    void keepQuiet(std::chrono::microseconds span) override { current->keepQuiet(span); }
    std::optional<std::chrono::steady_clock::time_point> arrivedAt() const override {
        return current->arrivedAt();
    }
    // Handed on to every line chosen from now on.
    void setOnReadyRead(std::function<void()> onReadyRead) override;
    void pauseReadyRead() override;
    bool resumeReadyRead() override;
    // Handed on to every serial port chosen from now on: what opening it set to cut its latency.
    void setOnAdapterTuned(std::function<void(const std::string&)> callback);

  private:
    void choose(PortKind kind);
    void handOnReadyRead();
    void handOnAdapterTuned();
    ReadyReadSource* currentSource() const;

    std::unique_ptr<SerialPortService> current;
    PortKind kind = PortKind::Number;
    std::string settings;
    std::function<void()> onReadyRead;
    std::function<void(const std::string&)> onAdapterTuned;
};

// The line a port text names, ready for setSettings, setCommPath and opening.
std::unique_ptr<SerialPortService> makePortService(PortKind kind);
