#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// One serial port that exists on this machine.
struct PortEntry {
    std::string devicePath;                 // /dev/ttyUSB0
    std::string stableName;                 // its /dev/serial/by-id/... link, empty when there is none
    std::optional<int> vendorId, productId; // USB ids; empty for a port that is not on USB
    std::string serialNumber;
    std::string description;
    std::optional<int> latencyTimerMs; // a USB adapter's latency timer, where the system exposes it

    bool onUsb() const { return vendorId.has_value(); }
};

// The ports Qt's serial port information finds, with their stable names.
std::vector<PortEntry> availablePorts();

// One line per port: path, stable name, vendor:product, serial number, description, latency timer
// ("16 ms"), tab-separated ("-" for a field that is empty).
std::string portsText(const std::vector<PortEntry>& ports);
// A JSON list of objects with the same fields (null where empty).
std::string portsJson(const std::vector<PortEntry>& ports);

// The port a run uses: the one given (on the command line or in BOOTFLASH_PORT), else the only USB
// serial port.
// Throws PortChoiceError listing the ports found when there is no single choice.
struct PortChoice {
    std::string port;
    bool guessed = false; // taken as the only USB serial port: worth saying so
};

class PortChoiceError : public std::runtime_error {
  public:
    PortChoiceError(const std::string& what, bool ambiguous)
        : std::runtime_error(what), ambiguous(ambiguous) {}
    bool ambiguous; // several ports could be meant, rather than none
};

PortChoice choosePort(const std::string& given, const std::vector<PortEntry>& ports);
