#include "DeviceBus.h"
#include "LineEndpoint.h"
#include "LineSession.h"
#include "SimOptions.h"

#include <cerrno>
#include <csignal>
#include <iostream>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <system_error>
#include <unistd.h>

namespace {

// SIGINT, SIGTERM and SIGHUP end the run, SIGUSR1 asks for a dump. They are blocked and read from a
// descriptor next to the line, so a signal can never fall between a test and the wait.
class SignalInbox {
  public:
    SignalInbox() {
        sigset_t handled;
        sigemptyset(&handled);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1})
            sigaddset(&handled, signal);
        if (sigprocmask(SIG_BLOCK, &handled, nullptr) != 0 ||
            (fd_ = signalfd(-1, &handled, SFD_NONBLOCK)) < 0)
            throw std::system_error(errno, std::generic_category(), "signalfd");
    }
    ~SignalInbox() { close(fd_); }
    SignalInbox(const SignalInbox&) = delete;
    SignalInbox& operator=(const SignalInbox&) = delete;

    int fd() const { return fd_; }

    // Takes the signals that came; sets the two requests accordingly.
    void collect(bool& stop, bool& dump) const {
        signalfd_siginfo info{};
        while (read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            if (info.ssi_signo == SIGUSR1)
                dump = true;
            else
                stop = true;
        }
    }

  private:
    int fd_ = -1;
};

std::vector<EmulatedDevice> makeDevices(const SimOptions& options) {
    std::vector<EmulatedDevice> devices;
    for (std::uint8_t address : options.addresses)
        devices.emplace_back(DeviceSettings{address, options.deviceVersion, options.flashStart,
                                            options.flashSize, options.eraseTime, options.endPassAfter});
    return devices;
}

void dumpFlashes(const DeviceBus& bus, const SimOptions& options) {
    if (!options.dumpPath)
        return;
    const auto& devices = bus.devices();
    for (std::size_t i = 0; i < devices.size(); ++i) {
        // Files are named by the address given on the command line, which a "BOOT$" does not change.
        const std::string path = devices.size() == 1
                                     ? *options.dumpPath
                                     : *options.dumpPath + "." + std::to_string(options.addresses[i]);
        try {
            devices[i].flash().dumpTo(path);
        } catch (const std::exception& error) {
            std::cerr << "bootdev-sim: " << error.what() << '\n';
        }
    }
}

void writeAll(int fd, const std::string& bytes, const Trace& trace) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
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

void serveLine(const LineEndpoint& line, const SignalInbox& signals, LineSession& session,
               const DeviceBus& bus, const SimOptions& options, const Trace& trace) {
    bool stop = false;
    std::optional<unsigned> speedSeen = line.hostSpeed();
    while (!stop) {
        // Paced replies are due at exact instants: the wait is kept to the nanosecond, since a
        // wait rounded to whole milliseconds makes every reply late by up to one.
        timespec timeout{};
        timespec* timeoutOrForever = nullptr;
        if (const auto wake = session.nextWake()) {
            const auto wait = std::max(*wake - SimClock::now(), SimClock::duration::zero());
            const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            timeout.tv_sec = static_cast<time_t>(nanoseconds / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
            timeoutOrForever = &timeout;
        }
        pollfd watched[2]{{line.fd(), POLLIN, 0}, {signals.fd(), POLLIN, 0}};
        if (ppoll(watched, 2, timeoutOrForever, nullptr) < 0 && errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "ppoll");
        if (watched[0].revents & POLLIN) {
            char buffer[4096];
            const ssize_t count = read(line.fd(), buffer, sizeof buffer);
            if (count > 0)
                session.receive(std::string_view(buffer, static_cast<std::size_t>(count)), SimClock::now());
            else if (count == 0 || (errno != EAGAIN && errno != EINTR))
                throw std::system_error(count == 0 ? EIO : errno, std::generic_category(),
                                        "reading the line");
        } else if (watched[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            throw std::system_error(EIO, std::generic_category(), "the line was closed");
        }
        // A host sets the speed before it sends at that speed, so a change shows by its first byte.
        if (trace.enabled() && line.hostSpeed() != speedSeen) {
            speedSeen = line.hostSpeed();
            trace.line("line speed " + std::to_string(speedSeen.value_or(0)) + " baud");
        }
        for (const std::string& bytes : session.service(SimClock::now()))
            writeAll(line.fd(), bytes, trace);
        bool dump = false;
        signals.collect(stop, dump);
        if (dump)
            dumpFlashes(bus, options);
    }
}

int run(const SimOptions& options) {
    const Trace trace(options.verbose ? &std::cerr : nullptr);
    DeviceBus bus(makeDevices(options), options.modbusFraming, trace);
    LineSession session(bus, options.timing, options.faults, trace);
    const SignalInbox signals;
    LineEndpoint line = options.devicePath ? LineEndpoint::openSerialDevice(*options.devicePath, options.baud)
                                           : LineEndpoint::openPseudoTerminal(options.linkPath);
    std::cout << line.hostPath() << std::endl;

    try {
        serveLine(line, signals, session, bus, options, trace);
    } catch (...) {
        // A line that fails (a serial adapter pulled out) must not cost the flash image of the run.
        dumpFlashes(bus, options);
        throw;
    }
    dumpFlashes(bus, options);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    SimOptions options;
    try {
        options = parseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const OptionError& error) {
        std::cerr << "bootdev-sim: " << error.what() << '\n';
        return 2;
    }
    if (options.help) {
        std::cout << simUsage();
        return 0;
    }
    if (options.showVersion) {
        std::cout << "bootdev-sim " << BOOTDEVICE_VERSION << '\n';
        return 0;
    }
    // A device answers when its reply is due; the kernel's default slack of 50 us on every timed
    // wait would make each paced reply that much later than the line allows.
    prctl(PR_SET_TIMERSLACK, 1UL);
    try {
        return run(options);
    } catch (const std::exception& error) {
        std::cerr << "bootdev-sim: " << error.what() << '\n';
        return 1;
    }
}
