#include "LineLoop.h"

#include "HostLink.h"
#include "TransceiverTurnaround.h"

#include <cerrno>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace {

void writeAll(int fd, const std::string& bytes, const Trace& trace, bool socket) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        // A host that left must not end the emulator with SIGPIPE.
        const ssize_t written = socket ? send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                                       : write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // Nobody is reading and the line's buffer is full: as on a real line, the bytes are lost.
            trace.line("line full, lost " + std::to_string(bytes.size() - done) + " reply bytes");
            return;
        }
        done += static_cast<std::size_t>(written);
    }
}

// Paced replies are due at exact instants: the wait is kept to the nanosecond, since a wait
// rounded to whole milliseconds makes every reply late by up to one.
timespec* until(std::optional<SimClock::time_point> wake, timespec& storage) {
    if (!wake)
        return nullptr;
    const auto wait = std::max(*wake - SimClock::now(), SimClock::duration::zero());
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    storage.tv_sec = static_cast<time_t>(nanoseconds / 1'000'000'000);
    storage.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
    return &storage;
}

void waitFor(pollfd* watched, nfds_t count, std::optional<SimClock::time_point> wake) {
    timespec storage{};
    if (ppoll(watched, count, until(wake, storage), nullptr) < 0 && errno != EINTR)
        throw std::system_error(errno, std::generic_category(), "ppoll");
}

// Reads what waits on `fd`: the bytes, empty when nothing came yet, nothing once the end is gone.
std::optional<std::string> readSome(int fd) {
    char buffer[4096];
    const ssize_t count = read(fd, buffer, sizeof buffer);
    if (count > 0)
        return std::string(buffer, static_cast<std::size_t>(count));
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return std::string();
    return std::nullopt;
}

} // namespace

void serveLine(const LineEndpoint& line, DeviceBus& bus, const SimOptions& options, const Trace& trace,
               const SignalHook& signals) {
    HostLink link(bus, options, false, trace, SimClock::now());
    std::optional<unsigned> speedSeen = line.hostSpeed();
    TransceiverTurnaround turnaround(options.needGap);
    for (bool stop = false; !stop; stop = signals.collect()) {
        pollfd watched[2]{{line.fd(), POLLIN, 0}, {signals.fd, POLLIN, 0}};
        waitFor(watched, 2, link.nextWake());
        if (watched[0].revents & POLLIN) {
            const std::optional<std::string> bytes = readSome(line.fd());
            if (!bytes)
                throw std::system_error(EIO, std::generic_category(), "reading the line");
            const unsigned baud =
                options.timing.lineRate ? options.timing.lineRate : line.hostSpeed().value_or(options.baud);
            const std::string heard = turnaround.heard(*bytes, SimClock::now(), baud);
            if (heard.size() != bytes->size())
                trace.line("lost " + std::to_string(bytes->size()) +
                           " bytes sent before the line turned round");
            link.receive(heard, SimClock::now());
        } else if (watched[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            throw std::system_error(EIO, std::generic_category(), "the line was closed");
        }
        // A host sets the speed before it sends at that speed, so a change shows by its first byte.
        if (trace.enabled() && line.hostSpeed() != speedSeen) {
            speedSeen = line.hostSpeed();
            trace.line("line speed " + std::to_string(speedSeen.value_or(0)) + " baud");
        }
        for (const std::string& bytes : link.service(SimClock::now())) {
            writeAll(line.fd(), bytes, trace, false);
            turnaround.sent(SimClock::now());
        }
    }
}

void serveNetwork(NetworkEndpoint& endpoint, DeviceBus& bus, const SimOptions& options, const Trace& trace,
                  const SignalHook& signals) {
    std::optional<HostLink> link;
    for (bool stop = false; !stop; stop = signals.collect()) {
        pollfd watched[3]{
            {endpoint.listenFd(), POLLIN, 0}, {signals.fd, POLLIN, 0}, {endpoint.connectionFd(), POLLIN, 0}};
        waitFor(watched, 3, link ? link->nextWake() : std::nullopt);
        if ((watched[0].revents & POLLIN) && endpoint.accept()) {
            link.emplace(bus, options, endpoint.rfc2217(), trace, SimClock::now());
            trace.line("host connected");
        }
        if (link && watched[2].revents != 0) {
            const std::optional<std::string> bytes = readSome(endpoint.connectionFd());
            if (bytes) {
                const std::string answers = link->receive(*bytes, SimClock::now());
                writeAll(endpoint.connectionFd(), answers, trace, true);
            } else {
                endpoint.closeConnection();
                link.reset();
                trace.line("host left");
            }
        }
        if (link)
            for (const std::string& bytes : link->service(SimClock::now()))
                writeAll(endpoint.connectionFd(), bytes, trace, true);
    }
}
