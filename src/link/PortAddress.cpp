#include "link/PortAddress.h"

#include <cctype>
#include <charconv>

#include "link/NumberRule.h"
#include "link/SerialPortService.h"

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string schemeOf(const std::string& portText) {
    const std::size_t end = portText.find("://");
    return end == std::string::npos ? std::string() : lowerCase(portText.substr(0, end));
}

PortKind portKindOf(const std::string& portText) {
    const std::string scheme = schemeOf(portText);
    // socket:// is how Python's serial library names a raw TCP line.
    if (scheme == "tcp" || scheme == "socket")
        return PortKind::RawTcp;
    if (scheme == "rfc2217")
        return PortKind::Rfc2217;
    if (portText.starts_with("/"))
        return PortKind::DevicePath;
    return PortKind::Number;
}

std::int16_t portNumberOf(const std::string& portText) {
    const std::string number = portText.size() > 3 ? portText.substr(3) : std::string();
    return static_cast<std::int16_t>(StrictWholeNumber(number, INT16_MIN, INT16_MAX));
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
