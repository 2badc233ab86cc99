#pragma once

#include "DeviceBus.h"
#include "LineEndpoint.h"
#include "NetworkEndpoint.h"
#include "SimOptions.h"
#include "Trace.h"

#include <functional>
#include <vector>

// How the loop hears of signals: the descriptor to watch, and what to do once it is readable
// (true: stop serving).
struct SignalHook {
    int fd;
    std::function<bool()> collect;
};

// One line to serve: its end, its devices, its own options and log.
struct LineToServe {
    const LineEndpoint& endpoint;
    DeviceBus& bus;
    const SimOptions& options;
    Trace trace;
};

// Serves hosts on pseudo-terminals or a serial device, all in one loop, until a signal stops it.
// Throws std::system_error when a line fails.
void serveLines(const std::vector<LineToServe>& lines, const SignalHook& signals);
// Serves one host connection at a time until a signal stops it; a host that leaves is replaced by
// the next that connects, with the devices as it left them.
void serveNetwork(NetworkEndpoint& endpoint, DeviceBus& bus, const SimOptions& options, const Trace& trace,
                  const SignalHook& signals);
