#include "console/CliOptions.h"
#include "console/OptionValues.h"

#include <algorithm>
#include <functional>
#include <tuple>

#include <QCommandLineParser>
#include <QCoreApplication>

using namespace optionvalues;

namespace {

struct OperationWord {
    const char* word;
    Operation operation;
    const char* operand; // nullptr: the operation takes none
    const char* description;
};

constexpr OperationWord kOperations[] = {
    {"download", Operation::Download, "FILE", "send a firmware file, then verify it (two passes)"},
    {"verify", Operation::Verify, "FILE", "verify the device against a firmware file"},
    {"version", Operation::Version, nullptr, "ask the device for its version (\"?\") and print the reply"},
    {"set-address", Operation::SetAddress, "NEW",
     "give the device the bus address NEW (1-255) and check it answers there"},
    {"install", Operation::Install, nullptr,
     "start the application (\"Install \"); success only on the board's \"OK\""},
    {"scan", Operation::Scan, nullptr,
     "probe addresses 1 to 127 (or --scan-range) and list every device that answers"},
    {"check", Operation::Check, "FILE", "print a firmware file's format, ranges, counts and CRC-32; no port"},
    {"ports", Operation::Ports, nullptr, "list the serial ports of this machine (--json: as a list)"},
};

constexpr double kLongestConnectionWaitSeconds = 25.6;

// One row per option: its names, its help, the name of its value (empty for a switch) and how
// it changes the options. A new option is one more row.
struct OptionRow {
    QStringList names;
    const char* description;
    const char* valueName;
    std::function<void(CliOptions&, const std::string&)> apply;
};

const std::string kResetHelp =
    "After opening the port, before the connection wait, play SEQ on the modem lines: steps "
    "separated by |, D0/D1 DTR off/on, R0/R1 RTS off/on, U<dtr>,<rts> both at once, W<seconds> a "
    "wait, such as \"D1|W0.1|D0|W0.05\"; or a preset: " +
    resetPresetsHelp() + ". Needs a serial port or rfc2217://.";

const std::vector<OptionRow>& optionTable() {
    static const std::vector<OptionRow> rows = {
        {{"p", "port"},
         "COM name (COM3), device path (/dev/ttyUSB0), tcp://HOST:PORT (raw TCP) or rfc2217://HOST:PORT "
         "(Telnet with COM port control). Default: $BOOTFLASH_PORT, else the only USB serial port. "
         "Given more than once or as a list (a,b), download and verify drive the ports at the same time.",
         "NAME",
         [](CliOptions& o, const std::string& v) {
             if (v.empty())
                 throw UsageError("--port needs a port name or a device path");
             o.port = v;
         }},
        {{"b", "baud"},
         "9600, 19200 or 115200; default 115200.",
         "RATE",
         [](CliOptions& o, const std::string& v) {
             o.baud = wholeNumber(v, 1, 1000000, "--baud");
             if (o.baud != 9600 && o.baud != 19200 && o.baud != 115200)
                 throw UsageError("--baud must be 9600, 19200 or 115200");
         }},
        {{"plain"},
         "Send commands bare, without Modbus RTU framing.",
         "",
         [](CliOptions& o, const std::string&) { o.modbusRtu = false; }},
        {{"a", "address"},
         "Device address 0-255; without it the bus is scanned first and the first device found is used; "
         "0 skips the connection wait. A list (3,5,9) flashes those boards one after another.",
         "N[,N...]",
         [](CliOptions& o, const std::string& v) {
             o.addresses = addressList(v);
             o.address = o.addresses.size() == 1 ? std::optional<int>(o.addresses.front()) : std::nullopt;
         }},
        {{"all"},
         "Download or verify: scan each port first (--scan-range, --probe-ms) and flash every board found.",
         "",
         [](CliOptions& o, const std::string&) { o.allOnBus = true; }},
        {{"retries"},
         "Run a board's failed operation again from the start, up to N more times, 0-10; default 0.",
         "N",
         [](CliOptions& o, const std::string& v) { o.retries = wholeNumber(v, 0, 10, "--retries"); }},
        {{"stop-on-failure"},
         "Flash no further board once one has failed; by default the others go on.",
         "",
         [](CliOptions& o, const std::string&) { o.stopOnFailure = true; }},
        {{"log"},
         "Append a record of each board and a summary, as JSON lines, to FILE.",
         "FILE",
         [](CliOptions& o, const std::string& v) {
             if (v.empty())
                 throw UsageError("--log needs a file name");
             o.logFile = v;
         }},
        {{"reset"},
         kResetHelp.c_str(),
         "SEQ",
         [](CliOptions& o, const std::string& v) { o.resetSteps = parseResetSequence(v, "--reset"); }},
        {{"after"},
         "Once the operation has ended, play SEQ (as --reset) before closing, for example to start "
         "the board's application.",
         "SEQ",
         [](CliOptions& o, const std::string& v) { o.afterSteps = parseResetSequence(v, "--after"); }},
        {{"wait-port"},
         "Wait up to S seconds for the port to appear and open (a board being plugged in), then go on.",
         "S",
         [](CliOptions& o, const std::string& v) { o.waitPortSeconds = seconds(v, "--wait-port"); }},
        {{"poll-ms"},
         "Poll for replies every MS ms, 1-100, as the window does; by default each reply is read the "
         "moment it arrives.",
         "MS",
         [](CliOptions& o, const std::string& v) { o.pollMs = wholeNumber(v, 1, kMaxPollMs, "--poll-ms"); }},
        {{"scan-range"},
         "The addresses a scan probes, FIRST-LAST within 1-127; default 1-127.",
         "FIRST-LAST",
         [](CliOptions& o, const std::string& v) { std::tie(o.scanFirst, o.scanLast) = scanRange(v); }},
        {{"probe-ms"},
         "How long a scan waits at each address beyond the time the probe and the longest reply take "
         "on the line, 0-1000; default 10.",
         "MS",
         [](CliOptions& o, const std::string& v) {
             o.probeMarginMs = wholeNumber(v, 0, 1000, "--probe-ms");
         }},
        {{"connect-timeout"},
         "Give up when no device has answered within S seconds, at most 25.6; default: after the 127 "
         "probes of the connection wait.",
         "S",
         [](CliOptions& o, const std::string& v) {
             o.connectTimeoutSeconds = seconds(v, "--connect-timeout");
             // It shortens the wait; the wait itself still ends after its 127 probes.
             if (*o.connectTimeoutSeconds > kLongestConnectionWaitSeconds)
                 throw UsageError(
                     "--connect-timeout can shorten the connection wait of 25.6 s, not lengthen it");
         }},
        {{"stall-timeout"},
         "Give up when the device stays silent for S seconds; default 5.",
         "S",
         [](CliOptions& o, const std::string& v) { o.stallTimeoutSeconds = seconds(v, "--stall-timeout"); }},
        {{"trace"},
         "Print every frame sent and received on standard error.",
         "",
         [](CliOptions& o, const std::string&) { o.trace = true; }},
        {{"json"},
         "Print the result as JSON on standard output: one object at the end; flashing several boards, "
         "JSON lines instead, one object per board as it ends, then a summary object.",
         "",
         [](CliOptions& o, const std::string&) { o.json = true; }},
        {{"base"},
         "Address of the first byte of a raw binary file (needed for one), decimal or 0x-hex.",
         "ADDRESS",
         [](CliOptions& o, const std::string& v) { o.base = address(v, "--base"); }},
        {{"flash-range"},
         "First and last address of the device's flash; a file with data outside is refused before "
         "anything is sent.",
         "START-END",
         [](CliOptions& o, const std::string& v) { o.flashRange = flashRange(v); }},
        {{"q", "quiet"}, "Show no progress.", "", [](CliOptions& o, const std::string&) { o.quiet = true; }},
        {{"v", "verbose"},
         "Say which line and framing are used before starting.",
         "",
         [](CliOptions& o, const std::string&) { o.verbose = true; }},
        {{"V", "version"},
         "Print the program's version.",
         "",
         [](CliOptions& o, const std::string&) { o.version = true; }},
        // Declared here rather than by the parser, which would add a --help-all about options
        // of Qt's own that this program does not take.
        {{"h", "help"}, "Print this text.", "", [](CliOptions& o, const std::string&) { o.help = true; }},
    };
    return rows;
}

const std::string kExitCodes = "Exit codes:\n"
                               "  0  success\n"
                               "  1  unexpected internal error\n"
                               "  2  bad usage\n"
                               "  3  port not available, in use, or lost\n"
                               "  4  no device answered\n"
                               "  5  file error (not found, unreadable, empty, a bad record, data outside\n"
                               "     --flash-range, more than 9000 records); nothing was sent\n"
                               "  6  the device reported \"ERROR\", ended a pass before its last record, or\n"
                               "     did not answer install with \"OK\"\n"
                               "  7  stall: the device fell silent for longer than the stall timeout\n"
                               "  130, 143  interrupted (SIGINT, SIGTERM)\n"
                               "Flashing several boards, the code is the highest of all boards' codes.\n";

// The parser with every option and the operations as its positional arguments.
struct ParserSetup {
    QCommandLineParser parser;
    std::vector<QCommandLineOption> options;

    ParserSetup() {
        QString description =
            "Flashes and queries a board's serial bootloader without a window.\n\n"
            "Firmware files are Intel HEX, Motorola S-record, ELF or raw binary, told apart by their\n"
            "content. Each is checked whole before the port is opened; all but Intel HEX are sent as\n"
            "the Intel HEX records of 16 bytes that a toolchain's converter would write.\n\n"
            "Operations (one per call):";
        for (const auto& entry : kOperations) {
            const QString call = QString(entry.word) + (entry.operand ? QString(" ") + entry.operand : "");
            description += QString("\n  %1%2").arg(call, -19).arg(entry.description);
        }
        parser.setApplicationDescription(description);
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
        for (const auto& row : optionTable()) {
            options.emplace_back(row.names, row.description);
            if (*row.valueName)
                options.back().setValueName(row.valueName);
            parser.addOption(options.back());
        }
        parser.addPositionalArgument("operation", "One of the operations above.", "OPERATION [OPERAND]");
    }
};

const OperationWord& operationWord(const std::string& word) {
    for (const auto& entry : kOperations)
        if (word == entry.word)
            return entry;
    throw UsageError("unknown operation \"" + word + "\"");
}

} // namespace

bool isBatch(const CliOptions& options) {
    return options.ports.size() > 1 || options.addresses.size() > 1 || options.allOnBus ||
           options.retries > 0 || !options.logFile.empty();
}

bool takesFirmwareFile(Operation operation) {
    return operation == Operation::Download || operation == Operation::Verify ||
           operation == Operation::Check;
}

const char* operationName(Operation operation) {
    for (const auto& entry : kOperations)
        if (entry.operation == operation)
            return entry.word;
    return "unknown";
}

CliOptions parseCommandLine(const std::vector<std::string>& arguments) {
    ParserSetup setup;
    QStringList words{"bootflash"};
    for (const auto& argument : arguments)
        words << QString::fromStdString(argument);
    if (!setup.parser.parse(words))
        throw UsageError(setup.parser.errorText().toStdString());

    CliOptions options;
    const auto& rows = optionTable();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!setup.parser.isSet(setup.options[i]))
            continue;
        // An option given twice counts once, with its last value.
        const QStringList values = setup.parser.values(setup.options[i]);
        rows[i].apply(options, values.isEmpty() ? std::string() : values.last().toStdString());
    }
    if (options.help || options.version)
        return options;
    // Unlike the other options, every --port counts: each is one more line to flash on.
    for (const QString& value : setup.parser.values("port"))
        for (const QString& name : value.split(',', Qt::SkipEmptyParts))
            if (!std::ranges::count(options.ports, name.toStdString()))
                options.ports.push_back(name.toStdString());
    if (!options.ports.empty())
        options.port = options.ports.front();

    const QStringList positional = setup.parser.positionalArguments();
    if (positional.isEmpty())
        throw UsageError("no operation given");
    const OperationWord& chosen = operationWord(positional[0].toStdString());
    options.operation = chosen.operation;
    const qsizetype expected = chosen.operand ? 2 : 1;
    if (positional.size() < expected)
        throw UsageError(
            std::string(chosen.word) + " needs " +
            (options.operation == Operation::SetAddress ? "the new address" : "a firmware file"));
    if (positional.size() > expected)
        throw UsageError("unexpected argument \"" + positional[expected].toStdString() + "\"");

    if (takesFirmwareFile(options.operation)) {
        options.file = positional[1].toStdString();
        // An empty name would reach the place of a cancelled file dialog.
        if (options.file.empty())
            throw UsageError(std::string(chosen.word) + " needs a firmware file, not an empty name");
    } else if (options.base || options.flashRange) {
        throw UsageError(std::string("--base and --flash-range go with a firmware file, not with ") +
                         chosen.word);
    }
    if (options.operation == Operation::SetAddress)
        options.newAddress =
            std::to_string(wholeNumber(positional[1].toStdString(), 1, 255, "the new address"));
    if (isBatch(options) && options.operation != Operation::Download &&
        options.operation != Operation::Verify)
        throw UsageError("several ports or addresses, --all, --retries and --log go with download and "
                         "verify, not with " +
                         std::string(chosen.word));
    if (options.allOnBus && !options.addresses.empty())
        throw UsageError("--all finds the addresses itself: leave out --address");
    const bool onPort = options.operation != Operation::Check && options.operation != Operation::Ports;
    if (!onPort && (!options.resetSteps.empty() || !options.afterSteps.empty() || options.waitPortSeconds))
        throw UsageError(std::string("--reset, --after and --wait-port go with an operation on a port, not with ") +
                         chosen.word);
    if (options.operation == Operation::Scan && options.address)
        throw UsageError("scan probes every address itself: leave out --address");
    if (options.operation == Operation::Scan && options.connectTimeoutSeconds)
        throw UsageError("a scan ends after its last address: leave out --connect-timeout");
    return options;
}

std::string helpText(const std::string& programName) {
    ParserSetup setup;
    std::string text = setup.parser.helpText().toStdString();
    // Without an application object the parser cannot know the program's name.
    const std::string usage = "Usage: ";
    if (text.rfind(usage, 0) == 0) {
        const std::size_t nameEnd = text.find(' ', usage.size());
        text.replace(usage.size(), nameEnd - usage.size(), programName);
    }
    return text + "\n" + kExitCodes;
}

std::string versionText(const std::string& programName) {
    return programName + " " + BOOTDEVICE_VERSION + "\n";
}
