#pragma once

#include <string>

#include "link/SerialPortService.h"

// An advisory lock (flock) on the serial device itself, held while the port is open. Being keyed
// by the device and not by its name, it also stops a second program that reaches the same port
// through a symbolic link or a /dev/serial/by-id name. Where there is no flock, it does nothing.
class DeviceLock {
  public:
    DeviceLock() = default;
    ~DeviceLock() { release(); }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    // Throws PortError saying "in use by another program" when another holder has the device, or
    // which group gives access when this user may not open it. Other failures (a missing device)
    // are left for the port's own open to report.
    void acquire(const std::string& path);
    void release();

  private:
    int fd = -1;
};

// The reason for a refused open: which group may open the device, where that is a group a user can
// join (on Debian, "dialout" for serial ports).
std::string permissionAdvice(const std::string& path);
