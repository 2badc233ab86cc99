#pragma once

#include <optional>
#include <string>

// USB serial adapters hold received bytes until their latency timer fires (16 ms on the most
// common chips), which a request-reply protocol pays once per record. These find and lower it.
// The system's device tree is passed in (normally "/sys"), so a fake tree can stand in for it.

// The adapter's latency timer in milliseconds, where its driver exposes one for this device
// (a by-id link is followed to its device). Empty for any other port.
std::optional<int> adapterLatencyTimer(const std::string& sysfsRoot, const std::string& devicePath);

// Sets an exposed latency timer above 1 ms to 1 ms where the file may be written. Returns what
// was found and done, for --verbose ("latency timer 16 -> 1 ms"); empty when there is no timer.
std::string lowerAdapterLatencyTimer(const std::string& sysfsRoot, const std::string& devicePath);

// Asks the driver of the open device for low-latency mode. Returns what was done, empty when the
// driver has no such mode (a pseudo-terminal) or already runs in it.
std::string requestLowLatencyMode(int fd);
