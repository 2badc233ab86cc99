#pragma once

#include <memory>

#include "link/SerialPortService.h"
#include "link/TelnetComPort.h"
#include "ports/NetworkLine.h"
#include "window/qt/ReadyReadSource.h"

// A line reached through a serial device server that speaks Telnet with COM port control
// ("rfc2217://HOST:PORT"): opening sets the remote line to the chosen settings and waits until
// the server has confirmed the speed, so the first request already goes out at that speed.
class Rfc2217PortService final : public SerialPortService, public ReadyReadSource {
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
    void output(const std::string& bytes) override;

  private:
    void pump();
    void negotiate();

    NetworkLine line;
    std::unique_ptr<TelnetComPort> telnet;
    LineSettings settings;
    std::string address;
    std::string received;
};
