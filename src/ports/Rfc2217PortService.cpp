#include "ports/Rfc2217PortService.h"

namespace {

// How long a server may take to agree to COM port control and confirm the speed.
constexpr int kSetUpTimeMs = 3000;

} // namespace

Rfc2217PortService::Rfc2217PortService() {
    setUpDeadline.setSingleShot(true);
    QObject::connect(&setUpDeadline, &QTimer::timeout, [this] {
        if (settingUp())
            settle(line.error("the server did not confirm the line settings"));
    });
}

void Rfc2217PortService::startSetUp() {
    telnet = std::make_unique<TelnetComPort>();
    setUpDeadline.start(kSetUpTimeMs);
    try {
        line.write(telnet->start(lineSettings));
    } catch (const PortError& error) {
        settle(error);
    }
}

void Rfc2217PortService::setUpArrival() {
    try {
        gather();
    } catch (const PortError& error) {
        settle(error);
        return;
    }
    if (telnet->comPortState() == TelnetComPort::ComPortState::Refused) {
        settle(line.error("the server refuses COM port control (RFC 2217)"));
        return;
    }
    const std::optional<std::uint32_t> baud = telnet->confirmedBaud();
    if (!baud)
        return;
    // A server that cannot run the line at the speed says which one it took instead.
    if (*baud != static_cast<std::uint32_t>(lineSettings.baud))
        settle(line.error("the server set the line to " + std::to_string(*baud) + " baud instead of " +
                          std::to_string(lineSettings.baud)));
    else
        settle(std::nullopt);
}

void Rfc2217PortService::gather() {
    hold(telnet->receive(line.read()));
    const std::string replies = telnet->takeReplies();
    if (!replies.empty())
        line.write(replies);
}

void Rfc2217PortService::output(const std::string& bytes) {
    line.write(telnet->encode(bytes));
}
