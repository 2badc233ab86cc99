#pragma once

#include "BoardQuirks.h"
#include "BusFraming.h"
#include "EmulatedDevice.h"
#include "Trace.h"

#include <chrono>
#include <string>
#include <vector>

// A reply frame ready for the wire, and how long after the previous frame of the same request it is due.
struct TimedFrame {
    std::string bytes;
    std::chrono::milliseconds after{0};
};

// The devices sharing one line, as on an RS-485 bus: a request goes to every device at its address.
// In plain framing there are no addresses, so the line carries one device.
class DeviceBus {
  public:
    DeviceBus(std::vector<EmulatedDevice> devices, bool modbusFraming, Trace trace = Trace(),
              BoardQuirks quirks = {});

    // `at`: when the request arrived.
    std::vector<TimedFrame>
    handle(const BusRequest& request,
           std::chrono::steady_clock::time_point at = std::chrono::steady_clock::time_point{});

    bool modbusFraming() const { return modbusFraming_; }
    const std::vector<EmulatedDevice>& devices() const { return devices_; }

  private:
    std::vector<TimedFrame> answer(EmulatedDevice& device, const BusRequest& request,
                                   std::chrono::steady_clock::time_point at);

    std::vector<EmulatedDevice> devices_;
    bool modbusFraming_;
    Trace trace_;
    BoardQuirks quirks_;
};
