#pragma once

#include "DeviceBus.h"
#include "LineEndpoint.h"
#include "NetworkEndpoint.h"
#include "SimOptions.h"
#include "Trace.h"

#include <functional>

// How the loop hears of signals: the descriptor to watch, and what to do once it is readable
// (true: stop serving).
struct SignalHook {
    int fd;
    std::function<bool()> collect;
};

// Serves the host on a pseudo-terminal or a serial device until a signal stops it. Throws
// std::system_error when the line fails.
void serveLine(const LineEndpoint& line, DeviceBus& bus, const SimOptions& options, const Trace& trace,
               const SignalHook& signals);
// Serves one host connection at a time until a signal stops it; a host that leaves is replaced by
// the next that connects, with the devices as it left them.
void serveNetwork(NetworkEndpoint& endpoint, DeviceBus& bus, const SimOptions& options, const Trace& trace,
                  const SignalHook& signals);
