#pragma once

#include "link/SerialPortService.h"
#include "ports/NetworkLine.h"
#include "window/qt/ReadyReadSource.h"

// A line reached as a raw TCP byte stream ("tcp://HOST:PORT"): the server's side sets the
// line's speed, so the settings are kept but not sent.
class TcpPortService final : public SerialPortService, public ReadyReadSource {
  public:
    void setSettings(const std::string& settings) override;
    void setCommPort(std::int16_t number) override;
    void setCommPath(const std::string& path) override { address = path; }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return line.isOpen(); }
    int inBufferCount() override;
    std::string input() override;
    void setOnReadyRead(std::function<void()> onReadyRead) override {
        line.setOnReadyRead(std::move(onReadyRead));
    }
    void output(const std::string& bytes) override { line.write(bytes); }

  private:
    NetworkLine line;
    std::string address;
    std::string received;
};
