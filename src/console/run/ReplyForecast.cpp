#include "console/run/ReplyForecast.h"

#include <algorithm>

#include "link/ReplyFrames.h"
#include "protocol/ProbeWait.h"

ReplyForecast::ReplyForecast(int baud, Clock::duration margin, Clock::duration shortestPause,
                             Clock::duration longestPause)
    : baud(baud), margin(margin), shortestPause(shortestPause), longestPause(longestPause) {}

std::optional<ReplyForecast::Clock::time_point> ReplyForecast::requestSent(std::size_t bytes,
                                                                           Clock::time_point at) {
    pending = Pending{bytes, at};
    const auto known = turnaround.find(bytes);
    if (known == turnaround.end())
        return std::nullopt;
    const Clock::duration pause = known->second - margin;
    if (pause < shortestPause || pause > longestPause)
        return std::nullopt;
    return at + pause;
}

void ReplyForecast::replyComplete(Clock::time_point at, bool atFirstLook) {
    if (!pending)
        return;
    const Pending request = *pending;
    pending.reset();
    const Clock::duration seen = at - request.sent;
    const auto known = turnaround.find(request.bytes);
    if (!atFirstLook || known == turnaround.end()) {
        turnaround[request.bytes] = seen;
        return;
    }
    // What a request and the shortest reply need on a real line; a line that hands bytes over
    // sooner (a pseudo-terminal, a device on USB) is still followed down by the halving.
    const Clock::duration onLine = lineTime(request.bytes + kMinReplyLength, baud);
    known->second = std::max(std::min(known->second, seen) / 2, std::min(onLine, seen - 2 * margin));
}
