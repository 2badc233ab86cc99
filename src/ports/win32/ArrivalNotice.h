#pragma once

#include <functional>

// A port that tells when received bytes are waiting, so that the window takes them on arrival
// instead of on its next poll. The notice comes from a thread of the port's own: the window must
// post itself a message (PostMessageW) and read in its own thread, never act in the callback.
// Between two reads of the port the notice comes once, however many bytes arrive; a port that
// fails for good is announced the same way, and the next read throws PortLostError.
class ArrivalNotice {
  public:
    // Set while the port is closed; an empty function stops the notices.
    virtual void setOnArrival(std::function<void()> onArrival) = 0;

  protected:
    ~ArrivalNotice() = default;
};
