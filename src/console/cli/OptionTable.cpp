#include "console/cli/OptionTable.h"

#include <tuple>

#include "console/cli/OptionValues.h"
#include "console/cli/ResetSequence.h"

using namespace optionvalues;

namespace {

constexpr double kLongestConnectionWaitSeconds = 25.6;
// Waits are timed in milliseconds: a shorter one could not be kept.
constexpr double kShortestWaitSeconds = 0.001;
constexpr double kLongestWaitSeconds = 3600;
// The gap is kept by a wait that holds every line of the run: longer than a few characters serves
// no board.
constexpr double kLongestFrameGapMs = 20;

const std::string kResetHelp =
    "After opening the port, before the connection wait, play SEQ on the modem lines: steps "
    "separated by |, D0/D1 DTR off/on, R0/R1 RTS off/on, U<dtr>,<rts> both at once, W<seconds> a "
    "wait, such as \"D1|W0.1|D0|W0.05\"; or a preset: " +
    resetPresetsHelp() + ". Needs a serial port or rfc2217://.";

} // namespace

const std::vector<OptionRow>& optionTable() {
    static const std::vector<OptionRow> rows = {
        {{"p", "port"},
         "COM name (COM3), device path (/dev/ttyUSB0, ./link) or name under /dev (ttyUSB0), tcp://HOST:PORT "
         "or socket://HOST:PORT (raw TCP) or rfc2217://HOST:PORT (Telnet with COM port control). "
         "Default: $BOOTFLASH_PORT, else the only USB serial port. "
         "Given more than once or as a list (a,b), download and verify drive the ports at the same time.",
         "NAME",
         [](CliOptions&, const std::string&) {}}, // every --port counts: read after the table
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
         "Device address 1-255; without it the bus is scanned first and the first device found is used. "
         "A list (3,5,9) flashes those boards one after another.",
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
         [](CliOptions& o, const std::string& v) {
             o.waitPortSeconds = seconds(v, kShortestWaitSeconds, kLongestWaitSeconds, "--wait-port");
         }},
        {{"poll-ms"},
         "Poll for replies every MS ms, 1-100, as the window's design does; by default each reply is "
         "read the moment it arrives.",
         "MS",
         [](CliOptions& o, const std::string& v) { o.pollMs = wholeNumber(v, 1, kMaxPollMs, "--poll-ms"); }},
        {{"frame-gap"},
         "Keep the line silent for MS ms, 0-20, after the last byte received before sending: an "
         "RS-485 board turns its transceiver round after it answers. Default 3.5 characters at the "
         "speed, at least 1.75 ms; 0 sends at once.",
         "MS",
         [](CliOptions& o, const std::string& v) {
             o.frameGapMs = milliseconds(v, 0, kLongestFrameGapMs, "--frame-gap");
         }},
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
             // It shortens the wait; the wait itself still ends after its 127 probes.
             o.connectTimeoutSeconds =
                 seconds(v, kShortestWaitSeconds, kLongestConnectionWaitSeconds, "--connect-timeout");
         }},
        {{"stall-timeout"},
         "Give up when the device gives no reply for S seconds (noise does not count); default 5.",
         "S",
         [](CliOptions& o, const std::string& v) {
             o.stallTimeoutSeconds = seconds(v, kShortestWaitSeconds, kLongestWaitSeconds, "--stall-timeout");
         }},
        {{"erase-timeout"},
         "Give up when the device has said \"FORMAT\" and not answered the record within S seconds; "
         "default 60.",
         "S",
         [](CliOptions& o, const std::string& v) {
             o.eraseTimeoutSeconds = seconds(v, kShortestWaitSeconds, kLongestWaitSeconds, "--erase-timeout");
         }},
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
