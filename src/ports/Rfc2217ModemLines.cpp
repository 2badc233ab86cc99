#include <chrono>

#include "link/ComPortControl.h"
#include "ports/Rfc2217PortService.h"

namespace {

// How long a server may take to answer a SET-CONTROL.
constexpr auto kAnswerTime = std::chrono::milliseconds(3000);

} // namespace

void Rfc2217PortService::setModemLines(const ModemLineChange& change) {
    if (!line.isOpen())
        throw PortError("Port is closed");
    // RFC 2217 switches one line a command: DTR first, as a wiring with both expects.
    if (change.dtr)
        setControl(comportcontrol::dtrValue(*change.dtr));
    if (change.rts)
        setControl(comportcontrol::rtsValue(*change.rts));
}

void Rfc2217PortService::setControl(std::uint8_t value) {
    telnet->takeControlAnswer(); // an answer from before belongs to no command of ours
    line.write(comportcontrol::setControlCommand(value));
    const std::string what = line.portText() + ": " + comportcontrol::controlName(value);
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
    while (true) {
        gather();
        if (const auto answer = telnet->takeControlAnswer()) {
            if (*answer != value)
                throw PortError(what + ": the server answered " + comportcontrol::controlName(*answer));
            return;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !line.waitForBytes(static_cast<int>(left.count())))
            throw PortError(what + ": the server did not confirm it");
    }
}
