#include "console/ports/ActivityWatchingPort.h"

std::string ActivityWatchingPort::input() {
    std::string bytes = inner.input();
    if (!bytes.empty()) {
        lastTraffic = Clock::now();
        received += static_cast<long long>(bytes.size());
        if (onReceived)
            onReceived(bytes);
    }
    return bytes;
}

void ActivityWatchingPort::output(const std::string& bytes) {
    inner.output(bytes);
    lastTraffic = Clock::now();
    if (onSent)
        onSent(bytes.size());
}
