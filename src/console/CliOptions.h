#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

enum class Operation { Download, Verify, Version, SetAddress, Install, Scan };

const char* operationName(Operation operation);

// The longest receive poll: every probe of the connection wait (one per 200 ms) restarts the poll,
// so a longer one would never look for the reply.
inline constexpr int kMaxPollMs = 100;

// Everything the command line can say. Defaults are the window's start values.
struct CliOptions {
    Operation operation = Operation::Version;
    std::string file;       // download, verify
    std::string newAddress; // set-address: a whole number 1..255, as typed
    std::string port = "COM3";
    int baud = 115200;
    bool modbusRtu = true;
    std::optional<int> address; // empty: scan for the device, as an empty address box does
    int pollMs = 20;
    double stallTimeoutSeconds = 5.0;
    bool trace = false;
    bool json = false;
    bool help = false;
};

// A command line that makes no sense; the text says what is wrong.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// `arguments` without the program name. Throws UsageError.
CliOptions parseCommandLine(const std::vector<std::string>& arguments);

std::string helpText(const std::string& programName);
