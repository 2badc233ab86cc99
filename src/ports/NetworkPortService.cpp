#include "ports/NetworkPortService.h"

void NetworkPortService::setCommPort(std::int16_t) {
    throw PortError("a network line has no port number");
}

int NetworkPortService::inBufferCount() {
    gather();
    return static_cast<int>(received.size());
}

std::string NetworkPortService::input() {
    gather();
    std::string taken;
    taken.swap(received);
    return taken;
}
