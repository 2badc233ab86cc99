#include "console/ports/ActivityWatchingPort.h"

std::string ActivityWatchingPort::input() {
    std::string bytes = inner.input();
    if (!bytes.empty() && onReceived)
        onReceived(bytes);
    return bytes;
}

void ActivityWatchingPort::output(const std::string& bytes) {
    inner.output(bytes);
    if (onSent)
        onSent(bytes.size());
}
