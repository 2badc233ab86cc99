#include "DeviceBus.h"
#include "LineEndpoint.h"
#include "LineLoop.h"
#include "LineOptions.h"
#include "SimOptions.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <deque>
#include <functional>
#include <iostream>
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
    for (std::uint8_t address : options.addresses) {
        const bool faulty = options.faultyDevice == 0 || options.faultyDevice == devices.size() + 1;
        devices.emplace_back(DeviceSettings{address, options.deviceVersion, options.flashStart,
                                            options.flashSize, options.eraseTime,
                                            faulty ? options.endPassAfter : 0, faulty ? options.restartAt : 0,
                                            faulty && options.restartOnError, options.formatEvery,
                                            faulty ? options.boardFaults : BoardFaults{}});
    }
    return devices;
}

void dumpFlashes(const DeviceBus& bus, const SimOptions& options) {
    if (!options.dumpPath)
        return;
    const auto& devices = bus.devices();
    for (std::size_t i = 0; i < devices.size(); ++i) {
        // Files are named by the address given on the command line, which a "BOOT$" does not change,
        // and by the device's place among those given the same address.
        const auto address = options.addresses.begin() + static_cast<std::ptrdiff_t>(i);
        const auto before = std::count(options.addresses.begin(), address, *address);
        std::string path = *options.dumpPath;
        if (devices.size() > 1)
            path += "." + std::to_string(*address) + (before > 0 ? "." + std::to_string(before + 1) : "");
        try {
            devices[i].flash().dumpTo(path);
        } catch (const std::exception& error) {
            std::cerr << "bootdev-sim: " << error.what() << '\n';
        }
    }
}

// A line of its own: its options, log, devices and pseudo-terminal (or serial device).
struct EmulatedLine {
    EmulatedLine(const SimOptions& all, unsigned number)
        : options(lineOptions(all, number)),
          trace(all.verbose ? &std::cerr : nullptr, all.lines > 1 ? "line " + std::to_string(number) : ""),
          bus(makeDevices(options), options.modbusFraming, trace, options.quirks),
          endpoint(options.devicePath ? LineEndpoint::openSerialDevice(*options.devicePath, options.baud)
                                      : LineEndpoint::openPseudoTerminal(options.linkPath)) {}

    SimOptions options;
    Trace trace;
    DeviceBus bus;
    LineEndpoint endpoint;
};

// SIGUSR1 dumps the flashes with `dump`; the other signals stop the loop.
SignalHook hookOf(const SignalInbox& signals, std::function<void()> dump) {
    return {signals.fd(), [&signals, dump = std::move(dump)] {
                bool stop = false;
                bool dumpAsked = false;
                signals.collect(stop, dumpAsked);
                if (dumpAsked)
                    dump();
                return stop;
            }};
}

// The flash images of a run are written however it ends: a line that fails (a serial adapter
// pulled out) must not cost them.
template <typename Serve> void serveAndDump(Serve serve, const std::function<void()>& dump) {
    try {
        serve();
    } catch (...) {
        dump();
        throw;
    }
    dump();
}

int run(const SimOptions& options) {
    const SignalInbox signals;
    if (options.listen) {
        const Trace trace(options.verbose ? &std::cerr : nullptr);
        DeviceBus bus(makeDevices(options), options.modbusFraming, trace, options.quirks);
        const std::function<void()> dump = [&] { dumpFlashes(bus, options); };
        serveAndDump(
            [&] {
                NetworkEndpoint endpoint(*options.listen);
                std::cout << endpoint.address() << std::endl;
                serveNetwork(endpoint, bus, options, trace, hookOf(signals, dump));
            },
            dump);
        return 0;
    }
    // Stable places: each line's session keeps a reference to its bus.
    std::deque<EmulatedLine> lines;
    const std::function<void()> dump = [&lines] {
        for (const EmulatedLine& line : lines)
            dumpFlashes(line.bus, line.options);
    };
    serveAndDump(
        [&] {
            for (unsigned number = 1; number <= options.lines; ++number)
                lines.emplace_back(options, number);
            std::vector<LineToServe> served;
            for (EmulatedLine& line : lines) {
                std::cout << line.endpoint.hostPath() << '\n';
                served.push_back({line.endpoint, line.bus, line.options, line.trace});
            }
            std::cout << std::flush;
            serveLines(served, hookOf(signals, dump));
        },
        dump);
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
