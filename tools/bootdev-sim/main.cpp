#include "DeviceBus.h"
#include "LineEndpoint.h"
#include "LineSession.h"
#include "SimOptions.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <poll.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t dumpRequested = 0;

void onStopSignal(int) {
    stopRequested = 1;
}
void onDumpSignal(int) {
    dumpRequested = 1;
}

// The signals stay blocked except inside ppoll, so none can slip in between a flag test and the wait.
sigset_t installSignalHandlers() {
    sigset_t handled;
    sigemptyset(&handled);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1})
        sigaddset(&handled, signal);
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &handled, &previous);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    action.sa_handler = onDumpSignal;
    sigaction(SIGUSR1, &action, nullptr);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1})
        sigdelset(&previous, signal);
    return previous;
}

std::vector<EmulatedDevice> makeDevices(const SimOptions& options) {
    std::vector<EmulatedDevice> devices;
    for (std::uint8_t address : options.addresses)
        devices.emplace_back(DeviceSettings{address, options.version, options.flashStart, options.flashSize,
                                            options.eraseTime});
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

int run(const SimOptions& options) {
    const Trace trace(options.verbose ? &std::cerr : nullptr);
    DeviceBus bus(makeDevices(options), options.modbusFraming, trace);
    LineSession session(bus, options.timing, options.faults, trace);
    const sigset_t waitMask = installSignalHandlers();
    LineEndpoint line = options.devicePath ? LineEndpoint::openSerialDevice(*options.devicePath, options.baud)
                                           : LineEndpoint::openPseudoTerminal(options.linkPath);
    std::cout << line.hostPath() << std::endl;

    while (!stopRequested) {
        if (dumpRequested) {
            dumpRequested = 0;
            dumpFlashes(bus, options);
        }
        timespec timeout{};
        timespec* timeoutOrNone = nullptr;
        if (const auto wake = session.nextWake()) {
            const auto wait = std::max(*wake - SimClock::now(), SimClock::duration::zero());
            const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            timeout.tv_sec = static_cast<time_t>(nanoseconds / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
            timeoutOrNone = &timeout;
        }
        pollfd watched{line.fd(), POLLIN, 0};
        const int ready = ppoll(&watched, 1, timeoutOrNone, &waitMask);
        if (ready < 0 && errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "ppoll");
        if (ready > 0 && (watched.revents & POLLIN)) {
            char buffer[4096];
            const ssize_t count = read(line.fd(), buffer, sizeof buffer);
            if (count > 0)
                session.receive(std::string_view(buffer, static_cast<std::size_t>(count)), SimClock::now());
            else if (count == 0 || (errno != EAGAIN && errno != EINTR))
                throw std::system_error(count == 0 ? EIO : errno, std::generic_category(),
                                        "reading the line");
        } else if (ready > 0 && (watched.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            throw std::system_error(EIO, std::generic_category(), "the line was closed");
        }
        for (const std::string& bytes : session.service(SimClock::now()))
            writeAll(line.fd(), bytes, trace);
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
    try {
        return run(options);
    } catch (const std::exception& error) {
        std::cerr << "bootdev-sim: " << error.what() << '\n';
        return 1;
    }
}
