#pragma once

#include "BootGate.h"
#include "LatencyTimer.h"
#include "LineSession.h"
#include "SimOptions.h"
#include "TelnetServer.h"

#include <optional>
#include <string>
#include <vector>

// What lies between one host connection and the devices: the Telnet layer of an rfc2217://
// line, the board's reset wiring (--enter-on), and the adapter's echo and latency timer. Bytes
// in, writes out; the caller owns the descriptor and the clock.
class HostLink {
  public:
    using Clock = SimClock;

    HostLink(DeviceBus& bus, const SimOptions& options, bool rfc2217, const Trace& trace,
             Clock::time_point now);

    // Bytes from the host; returns what must go back to it at once (Telnet answers).
    std::string receive(std::string_view bytes, Clock::time_point now);
    // Everything due for the host by `now`, ready for the wire: each string is one write.
    std::vector<std::string> service(Clock::time_point now);
    std::optional<Clock::time_point> nextWake() const;

  private:
    LineSession session;
    std::optional<TelnetServer> telnet;
    BootGate gate;
    LatencyTimer latency;
    bool latencyHolds;
    bool echo;
    Trace trace;
    std::vector<std::string> echoed; // bytes echoed since the last service, when nothing holds them
    bool dtr = true, rts = true;
};
