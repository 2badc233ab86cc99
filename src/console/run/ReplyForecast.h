#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>

// Learns how long after a request its reply is complete, for each request length, so that the
// flasher can leave the line unwatched while a reply is still crossing it: a paced line hands a
// reply over byte by byte, and watching it costs a wake-up a byte.
//
// It looks a little before the last reply of that length was seen complete, so that the reply's
// last bytes are watched and its completion seen as it happens. Where a reply is already there
// at that first look, it may have come much sooner: the next look is at half the time, but not
// much before the request and the shortest reply can have crossed the line.
class ReplyForecast {
  public:
    using Clock = std::chrono::steady_clock;

    // `baud`: the line's speed. `margin`: how long before the expected completion to look. No pause is taken
    // that would be shorter than `shortestPause` (it would save no wake-up) or longer than `longestPause` (a
    // slow answer, such as an erase, is watched as it comes).
    ReplyForecast(int baud, Clock::duration margin, Clock::duration shortestPause,
                  Clock::duration longestPause);

    // A request of `bytes` went out at `at`. Returns when to look for its reply; empty: now.
    std::optional<Clock::time_point> requestSent(std::size_t bytes, Clock::time_point at);
    // The reply to the last request is complete, first seen at `at`. `atFirstLook`: it was
    // already complete at the look that ended a pause.
    void replyComplete(Clock::time_point at, bool atFirstLook);

  private:
    int baud;
    Clock::duration margin;
    Clock::duration shortestPause;
    Clock::duration longestPause;
    std::map<std::size_t, Clock::duration> turnaround; // by request length
    struct Pending {
        std::size_t bytes;
        Clock::time_point sent;
    };
    std::optional<Pending> pending;
};
