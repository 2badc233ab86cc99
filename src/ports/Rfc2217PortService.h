#pragma once

#include <memory>

#include <QTimer>

#include "link/TelnetComPort.h"
#include "ports/NetworkPortService.h"

// A line reached through a serial device server that speaks Telnet with COM port control
// ("rfc2217://HOST:PORT"): reaching it sets the remote line to the chosen settings and waits,
// without holding the event loop, until the server has confirmed the speed, so the first request
// already goes out at that speed.
class Rfc2217PortService final : public NetworkPortService {
  public:
    Rfc2217PortService();
    void output(const std::string& bytes) override;
    // Each change goes out as SET-CONTROL, DTR before RTS, and waits for the server's answer.
    void setModemLines(const ModemLineChange& change) override;
    // The server's line runs at the speed set through it; the network only adds to a reply's time.
    std::optional<int> wireBaud() const override { return lineSettings.baud; }

  private:
    void startSetUp() override;
    void setUpArrival() override;
    // Keeps the line's data and answers the server's Telnet commands.
    void gather() override;
    void setControl(std::uint8_t value);

    std::unique_ptr<TelnetComPort> telnet;
    QTimer setUpDeadline;
};
