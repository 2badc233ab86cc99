#include "SimOptions.h"

#include "EmulatedDevice.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>

namespace {

// Decimal or 0x-prefixed hex, with an optional K or M suffix for sizes.
std::uint64_t parseNumber(const std::string& option, std::string text, std::uint64_t max) {
    std::uint64_t scale = 1;
    if (!text.empty() && (text.back() == 'K' || text.back() == 'k')) {
        scale = 1024;
        text.pop_back();
    } else if (!text.empty() && (text.back() == 'M' || text.back() == 'm')) {
        scale = 1024 * 1024;
        text.pop_back();
    }
    int base = 10;
    std::string_view digits = text;
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
        base = 16;
        digits.remove_prefix(2);
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || value > max / scale)
        throw OptionError(option + ": not a number up to " + std::to_string(max) + ": " + text);
    return value * scale;
}

std::vector<std::uint8_t> parseAddresses(const std::string& text) {
    std::vector<std::uint8_t> addresses;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        const auto address = parseNumber("--address", text.substr(from, comma - from), 255);
        if (address == 0)
            throw OptionError("--address: 0 is the broadcast address, no device answers there");
        addresses.push_back(static_cast<std::uint8_t>(address));
        from = comma + 1;
    }
    return addresses;
}

unsigned parseCount(const std::string& option, const std::string& text) {
    return static_cast<unsigned>(parseNumber(option, text, 1'000'000'000));
}

void checkConsistency(const SimOptions& options) {
    if (options.listen && (options.linkPath || options.devicePath))
        throw OptionError(
            "--listen serves the network instead of a pseudo-terminal or --device: give only one");
    if (options.enterOn != BootGate::Line::None && !(options.listen && options.listen->rfc2217))
        throw OptionError("--enter-on needs modem lines: --listen rfc2217://HOST:PORT");
    if (options.lines > 1 && (options.listen || options.devicePath))
        throw OptionError("--lines makes pseudo-terminals: not with --listen or --device");
    if (options.faultyLine > options.lines)
        throw OptionError("--faulty-line: there are only " + std::to_string(options.lines) + " lines");
    if (options.linkPath && options.devicePath)
        throw OptionError("--link makes a pseudo-terminal, --device uses a real one: give only one");
    if (!options.modbusFraming && options.addresses.size() > 1)
        throw OptionError("--plain has no addresses, so it can emulate only one device");
    if (options.deviceVersion.find_first_of("\r\n") != std::string::npos ||
        holdsReplyKeyword(options.deviceVersion))
        throw OptionError("--device-version: the text must not hold a line end or a reply keyword");
    if (options.faultyDevice > options.addresses.size())
        throw OptionError("--faulty-device: there are only " + std::to_string(options.addresses.size()) +
                          " devices in --address");
    if (options.restartOnError && options.boardFaults.eraseAfterRefusal.count() > 0)
        throw OptionError(
            "--restart-on-error and --erase-after-refusal-ms each answer a refusal their own way: "
            "give only one");
    if (options.flashSize == 0)
        throw OptionError("--flash-size: must not be 0");
    if (static_cast<std::uint64_t>(options.flashStart) + options.flashSize > 0x1'0000'0000ull)
        throw OptionError("--flash-start and --flash-size reach past the 32-bit address space");
}

} // namespace

SimOptions parseSimOptions(const std::vector<std::string>& arguments) {
    SimOptions options;
    using Setter = std::function<void(const std::string&)>;
    const std::map<std::string, Setter> withValue{
        {"--link", [&](const std::string& v) { options.linkPath = v; }},
        {"--device", [&](const std::string& v) { options.devicePath = v; }},
        {"--lines",
         [&](const std::string& v) {
             options.lines = static_cast<unsigned>(parseNumber("--lines", v, 1024));
             if (options.lines == 0)
                 throw OptionError("--lines: at least 1");
         }},
        {"--faulty-line",
         [&](const std::string& v) {
             options.faultyLine = static_cast<unsigned>(parseNumber("--faulty-line", v, 1024));
             if (options.faultyLine == 0)
                 throw OptionError("--faulty-line: lines are counted from 1");
         }},
        {"--baud", [&](const std::string& v) { options.baud = parseCount("--baud", v); }},
        {"--address", [&](const std::string& v) { options.addresses = parseAddresses(v); }},
        {"--device-version", [&](const std::string& v) { options.deviceVersion = v; }},
        {"--flash-start",
         [&](const std::string& v) {
             options.flashStart = static_cast<std::uint32_t>(parseNumber("--flash-start", v, 0xFFFF'FFFF));
         }},
        {"--flash-size",
         [&](const std::string& v) {
             options.flashSize = static_cast<std::uint32_t>(parseNumber("--flash-size", v, 256ull << 20));
         }},
        {"--erase-ms",
         [&](const std::string& v) {
             options.eraseTime = std::chrono::milliseconds(parseCount("--erase-ms", v));
         }},
        {"--line-rate",
         [&](const std::string& v) { options.timing.lineRate = parseCount("--line-rate", v); }},
        {"--reply-delay-ms",
         [&](const std::string& v) {
             options.timing.replyDelay = std::chrono::milliseconds(parseCount("--reply-delay-ms", v));
         }},
        {"--drop-every",
         [&](const std::string& v) { options.faults.dropEvery = parseCount("--drop-every", v); }},
        {"--corrupt-every",
         [&](const std::string& v) { options.faults.corruptEvery = parseCount("--corrupt-every", v); }},
        {"--glue-every",
         [&](const std::string& v) { options.faults.glueEvery = parseCount("--glue-every", v); }},
        {"--stray-every",
         [&](const std::string& v) { options.faults.strayEvery = parseCount("--stray-every", v); }},
        {"--stray-bytes",
         [&](const std::string& v) { options.faults.strayBytes = parseCount("--stray-bytes", v); }},
        {"--end-pass-after",
         [&](const std::string& v) { options.endPassAfter = parseCount("--end-pass-after", v); }},
        {"--twice-every",
         [&](const std::string& v) { options.faults.twiceEvery = parseCount("--twice-every", v); }},
        {"--restart-at", [&](const std::string& v) { options.restartAt = parseCount("--restart-at", v); }},
        {"--format-every-ms",
         [&](const std::string& v) {
             options.formatEvery = std::chrono::milliseconds(parseCount("--format-every-ms", v));
         }},
        {"--babble-after",
         [&](const std::string& v) { options.faults.babbleAfter = parseCount("--babble-after", v); }},
        {"--refuse-record",
         [&](const std::string& v) { options.boardFaults.refuseRecord = parseCount("--refuse-record", v); }},
        {"--erase-after-refusal-ms",
         [&](const std::string& v) {
             options.boardFaults.eraseAfterRefusal =
                 std::chrono::milliseconds(parseCount("--erase-after-refusal-ms", v));
         }},
        {"--ack-twice-ms",
         [&](const std::string& v) {
             options.boardFaults.ackTwice = std::chrono::milliseconds(parseCount("--ack-twice-ms", v));
         }},
        {"--probe-delay-ms",
         [&](const std::string& v) {
             options.boardFaults.probeDelay = std::chrono::milliseconds(parseCount("--probe-delay-ms", v));
         }},
        {"--faulty-device",
         [&](const std::string& v) {
             options.faultyDevice = static_cast<unsigned>(parseNumber("--faulty-device", v, 255));
             if (options.faultyDevice == 0)
                 throw OptionError("--faulty-device: devices are counted from 1");
         }},
        {"--dump", [&](const std::string& v) { options.dumpPath = v; }},
        {"--listen",
         [&](const std::string& v) {
             try {
                 options.listen = parseListenAddress(v);
             } catch (const std::invalid_argument& error) {
                 throw OptionError(error.what());
             }
         }},
        {"--enter-on",
         [&](const std::string& v) {
             if (v != "dtr" && v != "rts")
                 throw OptionError("--enter-on: dtr or rts, not " + v);
             options.enterOn = v == "dtr" ? BootGate::Line::Dtr : BootGate::Line::Rts;
         }},
        {"--latency-ms",
         [&](const std::string& v) {
             options.latency = std::chrono::milliseconds(parseNumber("--latency-ms", v, 1000));
         }},
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--plain") {
            options.modbusFraming = false;
        } else if (argument == "--restart-on-error") {
            options.restartOnError = true;
        } else if (argument == "--echo") {
            options.echo = true;
        } else if (argument == "--need-gap") {
            options.needGap = true;
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else if (takeQuirkOption(arguments, i, options.quirks)) {
            continue;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version" || argument == "-V") {
            options.showVersion = true;
        } else if (auto setter = withValue.find(argument); setter != withValue.end()) {
            if (i + 1 == arguments.size())
                throw OptionError(argument + " needs a value");
            setter->second(arguments[++i]);
        } else {
            throw OptionError("unknown option " + argument + " (see --help)");
        }
    }
    checkConsistency(options);
    return options;
}

std::string simUsage() {
    return R"(Usage: bootdev-sim [options]
Emulates serial bootloader devices on a pseudo-terminal (or a real serial
device, or a network line) and prints the path that a host program opens, on one
line of standard output.

Line:
  --link PATH          also make PATH a symbolic link to the pseudo-terminal
                       (removed on exit)
  --lines N            serve N pseudo-terminals at once, each with its own
                       devices, and print their paths one a line; --link PATH
                       makes PATH.1 ... PATH.N, --dump PATH writes PATH.1 ...
                       (default 1)
  --faulty-line K      only the K-th line (counted from 1) has the faults, the
                       board faults, --reply-delay-ms and the noise; the others
                       are clean
  --device PATH        use this serial device instead of a pseudo-terminal
  --baud N             speed of --device (default 115200)
  --plain              no Modbus RTU framing: bare command and reply texts (one
                       device only)
  --line-rate BAUD     pace both directions as a line at BAUD, 10 bits a byte
                       (default: unpaced)
  --listen URL         serve tcp://HOST:PORT (raw) or rfc2217://HOST:PORT
                       (Telnet with COM port control: speed, framing, DTR and
                       RTS) instead of a pseudo-terminal, one host at a time;
                       HOST defaults to 127.0.0.1, PORT 0 takes a free one; the
                       address is printed instead of the path

Bench:
  --enter-on dtr|rts   the bootloader answers only after a reset pulse on that
                       line (asserted, then released; needs --listen
                       rfc2217://), for 3 s and 3 s more after each request
  --echo               echo every host byte back, as a two-wire RS-485 adapter
                       does
  --need-gap           lose what the host sends sooner than 3.5 characters (at
                       least 1.75 ms) after the last byte sent, as a board's
                       RS-485 transceiver turning round does (pseudo-terminal)
  --latency-ms N       hold bytes for the host until the adapter's latency
                       timer fires, every N ms

Devices:
  --address LIST       bus address, or a comma list such as 3,5,9 for one
                       device each (default 1); an address given twice puts two
                       devices there, which both answer its requests, one reply
                       after the other
  --device-version TEXT  version text of the reply "VER=TEXT" (default 1.0)
  --flash-start ADDR   first flash address (default 0x08000000)
  --flash-size SIZE    flash size, e.g. 262144, 0x40000 or 256K (default 256K)
  --erase-ms MS        erase time between "FORMAT" and its "OK" (default 30)
  --format-every-ms MS while erasing, say "FORMAT" again every MS
  --dump PATH          write the flash as a binary file on exit and on SIGUSR1
                       (unwritten bytes 0xFF); with several devices one file
                       each, PATH.<address> (a second device at an address
                       PATH.<address>.2)

Faults (replies are counted from 1; every N-th reply is hit):
  --reply-delay-ms MS  wait MS before every reply
  --drop-every N       leave out the reply
  --corrupt-every N    flip the case of the reply's first letter (the CRC no
                       longer matches)
  --glue-every N       hold the reply back and send it in one write with the
                       next reply (alone after 250 ms if none follows)
  --stray-every N      send stray zero bytes in front of the reply
  --stray-bytes K      how many stray bytes (default 3)
  --twice-every N      send the reply twice, back to back in one write
  --end-pass-after N   answer the N-th record of every pass with "DOWNLOAD",
                       ending the pass early
  --restart-at N       restart at the N-th record (counted over all passes):
                       answer it with the version reply and forget the pass
  --restart-on-error   restart after every refused record: the version reply
                       follows "ERROR"
  --babble-after N     answer nothing after the N-th reply, and send 8 bytes of
                       junk every 200 ms instead, as a babbling device or a
                       chattering bus does

Board faults in time (off at 0; every device has them, and --end-pass-after,
--restart-at and --restart-on-error, unless --faulty-device names one):
  --faulty-device K    only the K-th device of --address (counted from 1) has
                       the board faults, so that a good board and a faulty one
                       can share an address
  --refuse-record N    refuse the N-th record (counted over all passes) once,
                       with "ERROR"
  --erase-after-refusal-ms MS  answer a refused record by preparing its place
                       again: "FORMAT" after the "ERROR", then "OK" after MS;
                       the pass goes on and the record may come again
  --ack-twice-ms MS    answer every record with "OK" on receipt and with its
                       own answer MS later, once written; requests that arrive
                       meanwhile are lost, as to a board busy writing
  --probe-delay-ms MS  give the version reply to a probe ("BOOTi") after MS;
                       replies behind it wait their turn

)" + quirkUsage() +
           R"(
  --verbose            log requests, replies and faults on standard error, and
                       every change of the speed the host sets on the
                       pseudo-terminal
  -V, --version        print the emulator's version
  -h, --help           print this text
)";
}
