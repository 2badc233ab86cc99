#pragma once

#include <cstdint>
#include <string>

// How a port text names its line: by number ("COM3"), by device path ("/dev/ttyUSB0"), or by a
// network address of a serial device server ("tcp://HOST:PORT", "rfc2217://HOST:PORT", schemes in
// any case; "socket://" is "tcp://").
enum class PortKind { Number, DevicePath, RawTcp, Rfc2217 };

// The scheme before "://" in lower case; empty when the text has none.
std::string schemeOf(const std::string& portText);

PortKind portKindOf(const std::string& portText);

// The port number of a text of kind Number: the text from its 4th character on, the first three
// not looked at ("COM3" gives 3). Throws std::invalid_argument or std::range_error for a text
// that holds no 16-bit number there.
std::int16_t portNumberOf(const std::string& portText);

// A network line's host and TCP port. An IPv6 host is written in brackets: tcp://[::1]:2000.
struct NetworkAddress {
    std::string host;
    std::uint16_t port = 0;
};

// Reads the address after the scheme; throws PortError saying what is wrong with it.
NetworkAddress parseNetworkAddress(const std::string& portText);
