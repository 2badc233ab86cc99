#include <chrono>

#include <QEventLoop>
#include <QTimer>

#include "link/ComPortControl.h"
#include "ports/Rfc2217PortService.h"

namespace {

// How long a server may take to answer a SET-CONTROL.
constexpr auto kAnswerTime = std::chrono::milliseconds(3000);
constexpr auto kLookEvery = std::chrono::milliseconds(5);

} // namespace

void Rfc2217PortService::setModemLines(const ModemLineChange& change) {
    if (!portOpen())
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
        if (std::chrono::steady_clock::now() >= deadline)
            throw PortError(what + ": the server did not confirm it");
        // The answer is looked for between turns of the event loop, so other ports go on meanwhile.
        QEventLoop pause;
        QTimer::singleShot(kLookEvery, &pause, &QEventLoop::quit);
        pause.exec();
    }
}
