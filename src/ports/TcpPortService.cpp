#include "ports/TcpPortService.h"

#include "link/PortConfig.h"

void TcpPortService::setSettings(const std::string& settings) {
    parseLineSettings(settings); // refused here as a serial port would refuse it
}

void TcpPortService::setPortOpen(bool open) {
    received.clear();
    if (open)
        line.open(address);
    else
        line.close();
}
