#include "console/CliOptions.h"

#include <charconv>

namespace {

struct OperationWord {
    const char* word;
    Operation operation;
    bool takesArgument;
};

constexpr OperationWord kOperations[] = {
    {"download", Operation::Download, true}, {"verify", Operation::Verify, true},
    {"version", Operation::Version, false},  {"set-address", Operation::SetAddress, true},
    {"install", Operation::Install, false},  {"scan", Operation::Scan, false},
};

int wholeNumber(const std::string& text, int lowest, int highest, const std::string& what) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end || value < lowest || value > highest)
        throw UsageError(what + " must be a whole number from " + std::to_string(lowest) + " to " +
                         std::to_string(highest) + ", not \"" + text + "\"");
    return value;
}

double seconds(const std::string& text, const std::string& what) {
    std::size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (text.empty() || used != text.size() || !(value > 0) || value > 3600)
        throw UsageError(what + " must be a number of seconds above 0 and at most 3600, not \"" + text +
                         "\"");
    return value;
}

// Walks the arguments, splitting "--name=value" and taking the value of "--name value".
class ArgumentReader {
  public:
    explicit ArgumentReader(const std::vector<std::string>& arguments) : arguments(arguments) {}

    bool done() const { return next >= arguments.size(); }
    std::string take() {
        pendingValue.reset();
        std::string argument = arguments[next++];
        if (argument.rfind("--", 0) == 0) {
            const auto equals = argument.find('=');
            if (equals != std::string::npos) {
                pendingValue = argument.substr(equals + 1);
                argument.erase(equals);
            }
        }
        return argument;
    }
    std::string valueOf(const std::string& option) {
        if (pendingValue) {
            std::string value = *pendingValue;
            pendingValue.reset();
            return value;
        }
        if (done())
            throw UsageError(option + " needs a value");
        return arguments[next++];
    }
    void refuseValue(const std::string& option) {
        if (pendingValue)
            throw UsageError(option + " takes no value");
    }

  private:
    const std::vector<std::string>& arguments;
    std::size_t next = 0;
    std::optional<std::string> pendingValue;
};

} // namespace

const char* operationName(Operation operation) {
    for (const auto& entry : kOperations)
        if (entry.operation == operation)
            return entry.word;
    return "unknown";
}

CliOptions parseCommandLine(const std::vector<std::string>& arguments) {
    CliOptions options;
    std::vector<std::string> words;
    ArgumentReader reader(arguments);
    while (!reader.done()) {
        const std::string argument = reader.take();
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--port") {
            options.port = reader.valueOf(argument);
            if (options.port.empty())
                throw UsageError("--port needs a port name or a device path");
        } else if (argument == "--baud") {
            options.baud = wholeNumber(reader.valueOf(argument), 1, 1000000, "--baud");
            if (options.baud != 9600 && options.baud != 19200 && options.baud != 115200)
                throw UsageError("--baud must be 9600, 19200 or 115200");
        } else if (argument == "--plain") {
            reader.refuseValue(argument);
            options.modbusRtu = false;
        } else if (argument == "--address") {
            options.address = wholeNumber(reader.valueOf(argument), 0, 255, "--address");
        } else if (argument == "--poll-ms") {
            options.pollMs = wholeNumber(reader.valueOf(argument), 1, kMaxPollMs, "--poll-ms");
        } else if (argument == "--stall-timeout") {
            options.stallTimeoutSeconds = seconds(reader.valueOf(argument), "--stall-timeout");
        } else if (argument == "--trace") {
            reader.refuseValue(argument);
            options.trace = true;
        } else if (argument == "--json") {
            reader.refuseValue(argument);
            options.json = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            throw UsageError("unknown option " + argument);
        } else {
            words.push_back(argument);
        }
    }
    if (options.help)
        return options;
    if (words.empty())
        throw UsageError("no operation given");

    const OperationWord* chosen = nullptr;
    for (const auto& entry : kOperations)
        if (words[0] == entry.word)
            chosen = &entry;
    if (!chosen)
        throw UsageError("unknown operation \"" + words[0] + "\"");
    options.operation = chosen->operation;
    const std::size_t expected = chosen->takesArgument ? 2 : 1;
    if (words.size() < expected)
        throw UsageError(std::string(chosen->word) + " needs " +
                         (options.operation == Operation::SetAddress ? "the new address" : "a HEX file"));
    if (words.size() > expected)
        throw UsageError("unexpected argument \"" + words[expected] + "\"");

    if (options.operation == Operation::Download || options.operation == Operation::Verify)
        options.file = words[1];
    if (options.operation == Operation::SetAddress)
        options.newAddress = std::to_string(wholeNumber(words[1], 1, 255, "the new address"));
    if (options.operation == Operation::Scan && options.address)
        throw UsageError("scan probes every address itself: leave out --address");
    return options;
}

std::string helpText(const std::string& programName) {
    return "Usage: " + programName +
           " OPERATION [OPTIONS]\n"
           "Flashes and queries a board's serial bootloader without a window.\n"
           "\n"
           "Operations (one per call):\n"
           "  download FILE      send an Intel HEX file, then verify it (two passes)\n"
           "  verify FILE        verify the device against an Intel HEX file\n"
           "  version            ask the device for its version (\"?\") and print the reply\n"
           "  set-address NEW    give the device the bus address NEW (1-255) and check it answers there\n"
           "  install            start the application (\"Install \") and print the reply\n"
           "  scan               probe addresses 1 to 127 and list every device that answers\n"
           "\n"
           "Options:\n"
           "  --port NAME        COM name (COM3) or device path (/dev/ttyUSB0); default COM3\n"
           "  --baud RATE        9600, 19200 or 115200; default 115200\n"
           "  --plain            send commands bare, without Modbus RTU framing\n"
           "  --address N        device address 0-255; without it the bus is scanned first and the\n"
           "                     first device found is used; 0 skips the connection wait\n"
           "  --poll-ms MS       receive poll interval, 1-" +
           std::to_string(kMaxPollMs) +
           "; default 20\n"
           "  --stall-timeout S  give up when the device stays silent for S seconds; default 5\n"
           "  --trace            print every frame sent and received on standard error\n"
           "  --json             print one result object on standard output at the end\n"
           "  -h, --help         print this text\n"
           "\n"
           "Exit codes:\n"
           "  0  success\n"
           "  1  unexpected internal error\n"
           "  2  bad usage\n"
           "  3  port not available, in use, or lost\n"
           "  4  no device answered\n"
           "  5  file error (not found, unreadable, empty, more than 9000 lines)\n"
           "  6  the device reported \"ERROR\"\n"
           "  7  stall: the device fell silent for longer than the stall timeout\n"
           "  130, 143  interrupted (SIGINT, SIGTERM)\n";
}
