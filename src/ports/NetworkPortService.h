#pragma once

#include <string>

#include "link/SerialPortService.h"
#include "ports/NetworkLine.h"
#include "window/qt/ReadyReadSource.h"

// What every line reached over the network has in common: an address instead of a port number,
// the connection, and the line's bytes gathered from it until the logic takes them. How the bytes
// are framed on the connection, and how the settings reach the line, is each kind's own.
class NetworkPortService : public SerialPortService, public ReadyReadSource {
  public:
    void setCommPort(std::int16_t number) override;
    void setCommPath(const std::string& path) override { address = path; }
    bool portOpen() const override { return line.isOpen(); }
    int inBufferCount() override;
    std::string input() override;
    void setOnReadyRead(std::function<void()> onReadyRead) override {
        line.setOnReadyRead(std::move(onReadyRead));
    }

  protected:
    // Moves what the connection has brought into `received`, the line's own bytes only.
    virtual void gather() = 0;

    NetworkLine line;
    std::string address;
    std::string received;
};
