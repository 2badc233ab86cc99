#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Watches received bytes for complete reply frames from any address, checked as the receiver
// checks them: address, "B", a payload of at least two bytes, a CRC that fits. The receiver takes
// only frames from the address in the box; a scan uses this to notice a device that answered after
// the wait had moved on to the next address, which the receiver can only show as an address error.
class ReplyFrameSpotter {
  public:
    // Adds received bytes; returns the addresses of the frames they completed, oldest first.
    std::vector<std::uint8_t> feed(const std::string& bytes);
    void clear() { pending.clear(); }

  private:
    std::string pending;
};
