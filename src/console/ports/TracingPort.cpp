#include "console/ports/TracingPort.h"

#include <cstdio>

TracingPort::TracingPort(SerialPortService& inner, std::function<void(const std::string&)> writeLine)
    : PortDecorator(inner), writeLine(std::move(writeLine)) {}

std::string TracingPort::describe(const std::string& bytes) {
    std::string hex;
    std::string text;
    char digits[4];
    for (unsigned char byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X ", byte);
        hex += digits;
        text += (byte >= 0x20 && byte < 0x7F) ? static_cast<char>(byte) : '.';
    }
    return hex + " |" + text + "|";
}

void TracingPort::trace(const std::string& what) {
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%11.3f ms ", elapsed.count());
    writeLine(stamp + what);
}

void TracingPort::setSettings(const std::string& settings) {
    inner.setSettings(settings);
    trace("settings " + settings);
}

void TracingPort::setCommPath(const std::string& path) {
    inner.setCommPath(path);
    trace("port " + path);
}

void TracingPort::setCommPort(std::int16_t number) {
    inner.setCommPort(number);
    trace("port number " + std::to_string(number));
}

void TracingPort::setPortOpen(bool open) {
    try {
        inner.setPortOpen(open);
    } catch (const PortError& error) {
        trace(std::string("open failed: ") + error.what());
        throw;
    }
    trace(open ? "opened" : "closed");
}

std::string TracingPort::input() {
    std::string bytes = inner.input();
    if (!bytes.empty())
        trace("RX " + std::to_string(bytes.size()) + " bytes: " + describe(bytes));
    return bytes;
}

void TracingPort::output(const std::string& bytes) {
    trace("TX " + std::to_string(bytes.size()) + " bytes: " + describe(bytes));
    inner.output(bytes);
}
