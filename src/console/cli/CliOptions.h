#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/cli/ResetSequence.h"
#include "transfer/FirmwareFile.h"

enum class Operation { Download, Verify, Version, SetAddress, Install, Scan, Check, Ports };

const char* operationName(Operation operation);

// The longest receive poll: every probe of the connection wait (one per 200 ms) restarts the poll,
// so a longer one would never look for the reply.
inline constexpr int kMaxPollMs = 100;

// Everything the command line can say. Defaults are the window's start values, but for the port,
// whose "COM3" means little on most machines.
struct CliOptions {
    Operation operation = Operation::Version;
    std::string file;       // download, verify, check
    std::string newAddress; // set-address: a whole number 1..255, as typed
    std::string port;       // empty: BOOTFLASH_PORT, else the only USB serial port
    int baud = 115200;
    bool modbusRtu = true;
    std::optional<int> address; // empty: scan for the device, as an empty address box does
    std::optional<int> pollMs;  // empty: replies are read the moment they arrive
    int scanFirst = 1;          // the addresses a scan probes
    int scanLast = 127;
    int probeMarginMs = 10; // added to the line time of a probe and its reply: the scan's wait
    std::optional<double> connectTimeoutSeconds; // empty: the window's 127 probes
    double stallTimeoutSeconds = 5.0;
    double eraseTimeoutSeconds = 60.0;
    std::optional<double> frameGapMs; // empty: 3.5 characters at the speed, at least 1.75 ms
    bool trace = false;
    bool json = false;
    bool quiet = false;   // no progress on standard error
    bool verbose = false; // say what line and framing are used before starting
    bool help = false;
    bool version = false;
    std::optional<std::uint32_t> base;    // where a raw binary file starts
    std::optional<FlashRange> flashRange; // data outside it is refused before anything is sent
    // Flashing many boards in one call.
    std::vector<std::string> ports; // every --port, in order; `port` is the first
    std::vector<int> addresses;     // every --address, in order; `address` is set when there is one
    bool allOnBus = false;          // scan each port first and flash every board that answers
    int retries = 0;                // further attempts for a board whose operation failed
    bool stopOnFailure = false;
    std::string logFile; // board records are appended here, one JSON object a line
    // The production bench: modem-line sequences around the operation, and a port that comes late.
    std::vector<ResetStep> resetSteps; // after opening, before the connection wait
    std::vector<ResetStep> afterSteps; // once the operation has ended, before closing
    std::optional<double> waitPortSeconds;
};

// Whether the call flashes boards as a batch (several ports or addresses, --all, --retries,
// --log): that form reports one record per board and a summary instead of one result.
bool isBatch(const CliOptions& options);

// Whether the operation reads a firmware file.
bool takesFirmwareFile(Operation operation);

// A command line that makes no sense; the text says what is wrong.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// `arguments` without the program name; `environmentPort`, BOOTFLASH_PORT, names the ports when
// no --port does. Throws UsageError.
CliOptions parseCommandLine(const std::vector<std::string>& arguments, const char* environmentPort = nullptr);

std::string helpText(const std::string& programName);
// "bootflash 1.6.0": the program's name and the project's version.
std::string versionText(const std::string& programName);
