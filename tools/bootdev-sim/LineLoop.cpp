#include "LineLoop.h"

#include "HostLink.h"
#include "TransceiverTurnaround.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <deque>
#include <optional>
#include <poll.h>
#include <set>
#include <sys/epoll.h>
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

// Reads what waits on `fd` into `buffer`: the bytes, empty when nothing came yet, nothing once the
// end is gone. The bytes stay in `buffer` until the next read.
std::optional<std::string_view> readSome(int fd, std::array<char, 4096>& buffer) {
    const ssize_t count = read(fd, buffer.data(), buffer.size());
    if (count > 0)
        return std::string_view(buffer.data(), static_cast<std::size_t>(count));
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return std::string_view();
    return std::nullopt;
}

} // namespace

namespace {

// A descriptor closed when it goes out of scope.
class OwnedFd {
  public:
    explicit OwnedFd(int fd) : fd_(fd) {}
    ~OwnedFd() { close(fd_); }
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// One line in the loop: what lies between its host and its devices, and when it next has work.
struct ServedLine {
    ServedLine(const LineToServe& line, SimClock::time_point now)
        : endpoint(line.endpoint), options(line.options), trace(line.trace),
          link(line.bus, line.options, false, line.trace, now), speedSeen(line.endpoint.hostSpeed()),
          turnaround(line.options.needGap), wake(now) {}

    // Hands the host's bytes waiting on the line to the link; false once the line is gone. Bytes
    // sent before the transceiver turned round after a reply are lost.
    bool read(SimClock::time_point now, std::array<char, 4096>& buffer) {
        const std::optional<std::string_view> bytes = readSome(endpoint.fd(), buffer);
        if (!bytes)
            return false;
        const unsigned baud =
            options.timing.lineRate ? options.timing.lineRate : endpoint.hostSpeed().value_or(options.baud);
        if (bytes->empty() || turnaround.hears(now, baud))
            link.receive(*bytes, now);
        else
            trace.line("lost " + std::to_string(bytes->size()) + " bytes sent before the line turned round");
        return true;
    }

    void service(SimClock::time_point now) {
        // A host sets the speed before it sends at that speed, so a change shows by its first byte.
        if (trace.enabled() && endpoint.hostSpeed() != speedSeen) {
            speedSeen = endpoint.hostSpeed();
            trace.line("line speed " + std::to_string(speedSeen.value_or(0)) + " baud");
        }
        for (const std::string& bytes : link.service(now)) {
            writeAll(endpoint.fd(), bytes, trace, false);
            turnaround.sent(SimClock::now());
        }
        wake = link.nextWake();
    }

    const LineEndpoint& endpoint;
    const SimOptions& options;
    Trace trace;
    HostLink link;
    std::optional<unsigned> speedSeen;
    TransceiverTurnaround turnaround;
    std::optional<SimClock::time_point> wake;
};

void watch(int epoll, int fd, std::uint64_t tag) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = tag;
    if (epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) != 0)
        throw std::system_error(errno, std::generic_category(), "epoll_ctl");
}

} // namespace

// The lines share one wait, which readiness alone ends (not a look at every line), so that many
// lines cost little more than one; each line is serviced only when it has bytes or work due, and
// a wake looks at those lines alone.
void serveLines(const std::vector<LineToServe>& lines, const SignalHook& signals) {
    const OwnedFd epoll(epoll_create1(EPOLL_CLOEXEC));
    if (epoll.get() < 0)
        throw std::system_error(errno, std::generic_category(), "epoll_create1");
    const std::uint64_t signalTag = lines.size();
    watch(epoll.get(), signals.fd, signalTag);
    std::deque<ServedLine> served;
    for (const LineToServe& line : lines) {
        watch(epoll.get(), line.endpoint.fd(), served.size());
        served.emplace_back(line, SimClock::now());
    }
    // Each line's next wake, soonest first: a wake looks only at the lines due, not at every line.
    std::set<std::pair<SimClock::time_point, std::size_t>> wakes;
    for (std::size_t i = 0; i < served.size(); ++i)
        wakes.emplace(*served[i].wake, i);
    std::vector<bool> queued(served.size());
    std::vector<std::size_t> due;
    std::array<char, 4096> buffer;
    auto queue = [&](std::size_t line) {
        if (!queued[line])
            due.push_back(line);
        queued[line] = true;
    };
    for (bool stop = false; !stop;) {
        std::optional<SimClock::time_point> wake;
        if (!wakes.empty())
            wake = wakes.begin()->first;
        epoll_event events[64];
        timespec storage{};
        const int ready = epoll_pwait2(epoll.get(), events, 64, until(wake, storage), nullptr);
        if (ready < 0 && errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "epoll_pwait2");
        const SimClock::time_point now = SimClock::now();
        for (int i = 0; i < ready; ++i) {
            const std::uint64_t tag = events[i].data.u64;
            if (tag == signalTag) {
                stop = signals.collect();
            } else if (events[i].events & EPOLLIN) {
                if (!served[tag].read(now, buffer))
                    throw std::system_error(EIO, std::generic_category(), "reading the line");
                queue(tag);
            } else {
                throw std::system_error(EIO, std::generic_category(), "the line was closed");
            }
        }
        for (auto next = wakes.begin(); next != wakes.end() && next->first <= now; ++next)
            queue(next->second);
        // In the lines' order, as one pass over them all would go.
        std::sort(due.begin(), due.end());
        for (std::size_t line : due) {
            if (served[line].wake)
                wakes.erase({*served[line].wake, line});
            served[line].service(now);
            if (served[line].wake)
                wakes.emplace(*served[line].wake, line);
            queued[line] = false;
        }
        due.clear();
    }
}

void serveNetwork(NetworkEndpoint& endpoint, DeviceBus& bus, const SimOptions& options, const Trace& trace,
                  const SignalHook& signals) {
    std::optional<HostLink> link;
    std::array<char, 4096> buffer;
    for (bool stop = false; !stop; stop = signals.collect()) {
        pollfd watched[3]{
            {endpoint.listenFd(), POLLIN, 0}, {signals.fd, POLLIN, 0}, {endpoint.connectionFd(), POLLIN, 0}};
        waitFor(watched, 3, link ? link->nextWake() : std::nullopt);
        if ((watched[0].revents & POLLIN) && endpoint.accept()) {
            link.emplace(bus, options, endpoint.rfc2217(), trace, SimClock::now());
            trace.line("host connected");
        }
        if (link && watched[2].revents != 0) {
            const std::optional<std::string_view> bytes = readSome(endpoint.connectionFd(), buffer);
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
