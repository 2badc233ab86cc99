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
