#include "ports/TcpPortService.h"

#include "link/PortConfig.h"

void TcpPortService::setSettings(const std::string& settings) {
    parseLineSettings(settings); // refused here as a serial port would refuse it
}

void TcpPortService::setCommPort(std::int16_t) {
    throw PortError("a network line has no port number");
}

void TcpPortService::setPortOpen(bool open) {
    received.clear();
    if (open)
        line.open(address);
    else
        line.close();
}

int TcpPortService::inBufferCount() {
    received += line.read();
    return static_cast<int>(received.size());
}

std::string TcpPortService::input() {
    received += line.read();
    std::string taken;
    taken.swap(received);
    return taken;
}
