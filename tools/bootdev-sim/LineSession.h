#pragma once

#include "BoardQuirks.h"
#include "BusFraming.h"
#include "DeviceBus.h"
#include "ReplyFaults.h"
#include "Trace.h"

#include <chrono>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

using SimClock = std::chrono::steady_clock;

struct LineTiming {
    // Every reply waits this long after its request has arrived.
    std::chrono::milliseconds replyDelay{0};
    // Baud rate of the emulated line, 10 bits a byte in both directions; 0 means no pacing.
    unsigned lineRate = 0;
    // A reply held for gluing goes out alone when no other reply follows within this time, so that
    // a host waiting for it is not stalled for ever.
    std::chrono::milliseconds glueHoldLimit{250};
    // A paced line wakes for its bytes only at instants on this grid, shared by every line of the
    // emulator, and writes all the bytes that have crossed by then at once: one wake serves many
    // lines, and a byte never goes out early.
    std::chrono::microseconds writeTick{250};
    // A write waits for this much of a frame, or for its tail: a short reply goes out in one write,
    // at most one tick after its last byte crossed.
    std::chrono::microseconds writeBatch{1000};
};

// The line between the host and the devices: takes the host's bytes, hands requests to the bus,
// and gives back the writes due at a moment, with the timing and faults asked for. Time is passed
// in, so the session runs the same under a test's clock as under the real one.
class LineSession {
  public:
    LineSession(DeviceBus& bus, LineTiming timing, FaultSettings faults, Trace trace = Trace(),
                std::chrono::milliseconds noiseEvery = {});

    void receive(std::string_view bytes, SimClock::time_point now);
    // Everything due by `now`: each string is one write to the line.
    std::vector<std::string> service(SimClock::time_point now);
    // When service() next has something to do, if anything is pending.
    std::optional<SimClock::time_point> nextWake() const;

  private:
    struct Chunk {
        SimClock::time_point at;
        std::string bytes;
    };

    void decode(SimClock::time_point arrived, std::string_view bytes);
    void releaseDueReplies(SimClock::time_point now);
    void babble(SimClock::time_point now);
    void addNoise(SimClock::time_point now);
    void transmit(SimClock::time_point now, std::vector<std::string>& writes);
    SimClock::duration byteTime() const;
    SimClock::time_point onTick(SimClock::time_point at) const;
    std::size_t writeBatch() const;

    DeviceBus& bus_;
    LineTiming timing_;
    RequestDecoder decoder_;
    ReplyFaults faults_;
    Trace trace_;

    SimClock::time_point receiveLineFree_{};
    std::multimap<SimClock::time_point, std::string> scheduled_;
    SimClock::time_point lastReplyDue_{};
    std::optional<Chunk> held_;
    std::optional<SimClock::time_point> nextBabble_;
    std::chrono::milliseconds noiseEvery_;
    std::optional<SimClock::time_point> nextNoise_;
    std::deque<Chunk> outgoing_;
    std::optional<SimClock::time_point> sendingSince_;
    std::size_t sentOfFront_ = 0;
    SimClock::time_point sendLineFree_{};
};
