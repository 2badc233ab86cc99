#include "console/ReceiveTrigger.h"

#include <QTimer>

ReceiveTrigger::ReceiveTrigger(std::optional<std::chrono::milliseconds> pollInterval,
                               std::function<void()> runHandler)
    : runHandler(std::move(runHandler)) {
    if (pollInterval)
        ticker = std::make_unique<PollTicker>(*pollInterval, [this] { this->runHandler(); });
}

void ReceiveTrigger::switched(bool switchedOn) {
    on = switchedOn;
    if (ticker) {
        on ? ticker->start() : ticker->stop();
        return;
    }
    if (on && arrivedWhileOff) {
        arrivedWhileOff = false;
        // Not from inside the handler that switched the poll on: the handler runs to its end first.
        QTimer::singleShot(0, &lifetime, [this] { bytesArrived(); });
    }
}

void ReceiveTrigger::bytesArrived() {
    if (ticker)
        return;
    if (!on) {
        arrivedWhileOff = true;
        return;
    }
    runHandler();
}

void ReceiveTrigger::stop() {
    switched(false);
    arrivedWhileOff = false;
}
