#include "link/PortAddress.h"

#include <charconv>

#include "link/SerialPortService.h"

namespace {

constexpr const char* kRawTcpScheme = "tcp://";
constexpr const char* kRfc2217Scheme = "rfc2217://";

} // namespace

PortKind portKindOf(const std::string& portText) {
    if (portText.starts_with(kRawTcpScheme))
        return PortKind::RawTcp;
    if (portText.starts_with(kRfc2217Scheme))
        return PortKind::Rfc2217;
    if (portText.starts_with("/"))
        return PortKind::DevicePath;
    return PortKind::Number;
}

NetworkAddress parseNetworkAddress(const std::string& portText) {
    const std::size_t schemeEnd = portText.find("://");
    if (schemeEnd == std::string::npos)
        throw PortError(portText + ": not a network address");
    const std::string rest = portText.substr(schemeEnd + 3);
    const auto bad = [&](const std::string& why) { return PortError(portText + ": " + why); };

    NetworkAddress address;
    std::string portPart;
    if (rest.starts_with("[")) {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos || rest.compare(close + 1, 1, ":") != 0)
            throw bad("expected [IPv6 address]:PORT");
        address.host = rest.substr(1, close - 1);
        portPart = rest.substr(close + 2);
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string::npos)
            throw bad("expected HOST:PORT");
        address.host = rest.substr(0, colon);
        portPart = rest.substr(colon + 1);
        if (address.host.find(':') != std::string::npos)
            throw bad("an IPv6 address goes in brackets: [::1]:PORT");
    }
    if (address.host.empty())
        throw bad("the host is missing");
    unsigned value = 0;
    const char* end = portPart.data() + portPart.size();
    const auto [stop, error] = std::from_chars(portPart.data(), end, value);
    if (portPart.empty() || error != std::errc{} || stop != end || value < 1 || value > 65535)
        throw bad("the TCP port must be a number from 1 to 65535");
    address.port = static_cast<std::uint16_t>(value);
    return address;
}
