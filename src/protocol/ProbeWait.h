#pragma once

#include <chrono>
#include <cstddef>

#include "link/LineTime.h"

// How long a scan waits at each address before it probes the next: the probe and the longest
// reply crossing the line at the chosen speed, a margin for the device's own answer time, and a
// small allowance for the host and the port adapter to wake. A device that answers within the
// margin is found at its own address.

// Bytes of the longest reply the scan waits for: address, "B", a version reply of up to 32
// characters with its line end, CRC.
inline constexpr std::size_t kLongestReplyFrame = 2 + 32 + 2;


// Waking the host and handing bytes through the port's driver, on a loaded machine.
inline constexpr std::chrono::milliseconds kWakeAllowance{5};

// The probe's frame with its address and CRC, then the longest reply, rounded up to whole
// milliseconds, then `margin` and kWakeAllowance.
std::chrono::milliseconds probeWait(int baud, std::chrono::milliseconds margin);

// Boards that share an address answer one frame within this of each other. One board answers the
// probes of a connection wait (one every 200 ms) no closer together than this.
inline constexpr std::chrono::milliseconds kTwinSpread{100};
