#pragma once

#include "ports/NetworkPortService.h"

// A line reached as a raw TCP byte stream ("tcp://HOST:PORT"): the server's side sets the
// line's speed, so the settings are kept but not sent.
class TcpPortService final : public NetworkPortService {
  public:
    void output(const std::string& bytes) override { line.write(bytes); }
    void setModemLines(const ModemLineChange&) override {
        throw PortError(line.portText() + ": a raw TCP line has no modem lines (DTR, RTS); rfc2217:// has them");
    }

  private:
    void gather() override { hold(line.read()); }
};
