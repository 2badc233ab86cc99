#include "ports/qt/PacedLine.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace {

// Whether the device, by whatever link it was named, is a UART whose bytes cross a wire at the set
// speed: a built-in port or a USB adapter. A USB board's own serial port (ttyACM), a Bluetooth or
// a pseudo-terminal passes bytes as fast as it can, whatever the speed, so there a reply's time
// on the line tells nothing, and a genuine answer must not be taken for an early one.
bool isPacedUart(const std::string& name) {
    std::error_code error;
    const std::string real = std::filesystem::canonical(name, error).string();
    if (error)
        return false;
    for (const char* uart : {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyAMA", "/dev/ttymxc", "/dev/ttySAC",
                             "/dev/ttyO", "/dev/ttyTHS", "/dev/ttyXR", "/dev/ttySC"})
        if (real.rfind(uart, 0) == 0)
            return true;
    return false;
}

bool isPseudoTerminal(const std::string& name) {
    std::error_code error;
    const std::string real = std::filesystem::canonical(name, error).string();
    return !error && (real.rfind("/dev/pts/", 0) == 0 || real == "/dev/ptmx");
}

} // namespace

bool pacesBytesAtItsSpeed(const std::string& portName) {
    const char* ptyWire = std::getenv("BOOTDEVICE_PTY_WIRE");
    return isPacedUart(portName) ||
           (isPseudoTerminal(portName) && ptyWire != nullptr && std::string_view(ptyWire) == "1");
}
