#include "ports/Rfc2217PortService.h"

#include <chrono>

namespace {

// How long a server may take to agree to COM port control and confirm the speed.
constexpr auto kNegotiationTime = std::chrono::milliseconds(3000);

} // namespace

void Rfc2217PortService::setSettings(const std::string& text) {
    settings = parseLineSettings(text);
}

void Rfc2217PortService::setPortOpen(bool open) {
    received.clear();
    if (!open) {
        line.close();
        return;
    }
    line.open(address);
    try {
        negotiate();
    } catch (const PortError&) {
        line.close();
        throw;
    }
}

void Rfc2217PortService::negotiate() {
    telnet = std::make_unique<TelnetComPort>();
    line.write(telnet->start(settings));
    const auto deadline = std::chrono::steady_clock::now() + kNegotiationTime;
    while (!telnet->confirmedBaud()) {
        if (telnet->comPortState() == TelnetComPort::ComPortState::Refused)
            throw PortError(line.portText() + ": the server refuses COM port control (RFC 2217)");
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !line.waitForBytes(static_cast<int>(left.count())))
            throw PortError(line.portText() + ": the server did not confirm the line settings");
        gather();
    }
    // A server that cannot run the line at the speed says which one it took instead.
    if (*telnet->confirmedBaud() != static_cast<std::uint32_t>(settings.baud))
        throw PortError(line.portText() + ": the server set the line to " +
                        std::to_string(*telnet->confirmedBaud()) + " baud instead of " +
                        std::to_string(settings.baud));
}

void Rfc2217PortService::gather() {
    received += telnet->receive(line.read());
    const std::string replies = telnet->takeReplies();
    if (!replies.empty())
        line.write(replies);
}

void Rfc2217PortService::output(const std::string& bytes) {
    line.write(telnet->encode(bytes));
}
