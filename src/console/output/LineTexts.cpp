#include "console/output/LineTexts.h"

#include "link/PortAddress.h"
#include "link/VisibleText.h"

namespace {

bool overNetwork(const std::string& port) {
    const PortKind kind = portKindOf(port);
    return kind == PortKind::RawTcp || kind == PortKind::Rfc2217;
}

} // namespace

std::string runDescription(const CliOptions& options, const std::string& programName) {
    const std::string target = options.address ? "address " + std::to_string(*options.address)
                                               : std::string("the first address that answers");
    // A raw TCP line runs as the server is configured; over RFC 2217 the flasher sets the remote line.
    const std::string settings =
        portKindOf(options.port) == PortKind::RawTcp
            ? " (the server sets the line's speed)"
            : " at " + std::to_string(options.baud) + " baud, 8 data bits, no parity, 1 stop bit";
    return programName + ": " + operationName(options.operation) + " on " + visibleText(options.port) +
           settings + ", " + (options.modbusRtu ? "Modbus RTU frames" : "bare commands") + ", " + target +
           "\n";
}

std::string openFailureText(const std::string& port, const std::string& reason,
                            const std::string& programName) {
    const std::string advice = overNetwork(port)
                                   ? "check the server's address and that it takes connections"
                                   : "'" + programName + " ports' lists the serial ports of this machine";
    return "cannot open " + port + (reason.empty() ? "" : " (" + reason + ")") + "; " + advice;
}
