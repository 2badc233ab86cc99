#pragma once

#include <chrono>

#include "link/FrameGap.h"

// A board's RS-485 transceiver, which listens again only some time after the board's last byte
// went out (--need-gap): bytes the host sends sooner are lost, as on the real line. The time is
// the one the host keeps, 3.5 characters at the line's speed and at least 1.75 ms.
class TransceiverTurnaround {
  public:
    explicit TransceiverTurnaround(bool needed) : needed(needed) {}

    // The emulator wrote to the line at `at`.
    void sent(std::chrono::steady_clock::time_point at) { lastSent = at; }
    // Whether the board hears bytes read at `at` from a line at `baud`.
    bool hears(std::chrono::steady_clock::time_point at, unsigned baud) const {
        return !needed || at >= lastSent + frameGap(static_cast<int>(baud));
    }

  private:
    bool needed;
    // Nothing sent yet: the line has been quiet for ever.
    std::chrono::steady_clock::time_point lastSent = std::chrono::steady_clock::time_point::min();
};
