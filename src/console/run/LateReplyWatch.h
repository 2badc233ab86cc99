#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "link/ReplyFrameSpotter.h"

// Tells, from the bytes received during a scan, which devices answered only after the scan had
// moved on: a good reply frame from an address the scan has already passed. The receiver takes
// only replies from the address being probed and shows the others as address errors, so without
// this such a device would be missed in silence.
class LateReplyWatch {
  public:
    LateReplyWatch(int firstAddress, std::chrono::milliseconds probeWait, int marginMs);

    // Bytes received while the scan probes `probing`; one notice for each device newly found late.
    std::vector<std::string> feed(const std::string& bytes, int probing);
    const std::vector<int>& lateAddresses() const { return late; }

  private:
    int firstAddress;
    std::chrono::milliseconds probeWait;
    int marginMs;
    ReplyFrameSpotter spotter;
    std::vector<int> late;
};
