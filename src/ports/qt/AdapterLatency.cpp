#include "ports/qt/AdapterLatency.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <linux/serial.h>
#include <sys/ioctl.h>

namespace {

std::string timerPath(const std::string& sysfsRoot, const std::string& devicePath) {
    std::error_code error;
    const std::filesystem::path device = std::filesystem::canonical(devicePath, error);
    if (error)
        return {};
    return sysfsRoot + "/class/tty/" + device.filename().string() + "/device/latency_timer";
}

std::optional<int> readTimer(const std::string& path) {
    std::ifstream file(path);
    int milliseconds = 0;
    if (path.empty() || !(file >> milliseconds))
        return std::nullopt;
    return milliseconds;
}

} // namespace

std::optional<int> adapterLatencyTimer(const std::string& sysfsRoot, const std::string& devicePath) {
    return readTimer(timerPath(sysfsRoot, devicePath));
}

std::string lowerAdapterLatencyTimer(const std::string& sysfsRoot, const std::string& devicePath) {
    const std::string path = timerPath(sysfsRoot, devicePath);
    const std::optional<int> before = readTimer(path);
    if (!before)
        return {};
    const std::string was = "latency timer " + std::to_string(*before);
    if (*before <= 1)
        return was + " ms";
    {
        std::ofstream file(path);
        if (!(file << "1\n" << std::flush))
            return was + " ms (not changed: " + std::strerror(errno) + ")";
    }
    const std::optional<int> after = readTimer(path);
    return was + " -> " + (after ? std::to_string(*after) : std::string("?")) + " ms";
}

std::string requestLowLatencyMode(int fd) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY))
        return {};
    serial.flags |= ASYNC_LOW_LATENCY;
    if (ioctl(fd, TIOCSSERIAL, &serial) != 0)
        return std::string("low-latency mode refused (") + std::strerror(errno) + ")";
    return "low-latency mode on";
}
