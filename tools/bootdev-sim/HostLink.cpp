#include "HostLink.h"

HostLink::HostLink(DeviceBus& bus, const SimOptions& options, bool rfc2217, const Trace& trace,
                   Clock::time_point now)
    : session(bus, options.timing, options.faults, trace, options.quirks.noiseEvery), gate(options.enterOn),
      latency(options.latency, now), latencyHolds(options.latency.count() > 0), echo(options.echo),
      trace(trace) {
    if (rfc2217)
        telnet.emplace();
}

std::string HostLink::receive(std::string_view bytes, Clock::time_point now) {
    std::string_view data = bytes;
    std::string fromTelnet;
    std::string answers;
    if (telnet) {
        fromTelnet = telnet->receive(bytes);
        data = fromTelnet;
        answers = telnet->takeReplies();
        if (telnet->dtr() != dtr || telnet->rts() != rts) {
            dtr = telnet->dtr();
            rts = telnet->rts();
            trace.line(std::string("DTR ") + (dtr ? "on" : "off") + ", RTS " + (rts ? "on" : "off"));
        }
        gate.linesSet(dtr, rts, now);
    }
    if (data.empty())
        return answers;
    // The adapter echoes whatever the board does with the bytes.
    if (echo)
        echoed.emplace_back(data);
    if (gate.takes(now))
        session.receive(data, now);
    else
        trace.line("the application runs: ignored " + std::to_string(data.size()) + " bytes");
    return answers;
}

std::vector<std::string> HostLink::service(Clock::time_point now) {
    std::vector<std::string> writes = session.service(now);
    if (!echoed.empty()) {
        // The echo went out before the replies that follow it.
        for (std::string& reply : writes)
            echoed.push_back(std::move(reply));
        writes = std::move(echoed);
        echoed.clear();
    }
    if (latencyHolds) {
        // The adapter passes on what it holds only when its timer fires.
        for (const std::string& bytes : writes)
            latency.hold(bytes, now);
        writes.clear();
        if (std::string due = latency.release(now); !due.empty())
            writes.push_back(std::move(due));
    }
    if (telnet)
        for (std::string& bytes : writes)
            bytes = TelnetServer::encode(bytes);
    return writes;
}

std::optional<HostLink::Clock::time_point> HostLink::nextWake() const {
    if (!echoed.empty())
        return Clock::time_point{};
    const auto reply = session.nextWake();
    const auto release = latency.nextRelease();
    if (reply && release)
        return std::min(*reply, *release);
    return reply ? reply : release;
}
