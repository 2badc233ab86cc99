#pragma once

#include <optional>
#include <string>

// The emulator's end of the line: the master side of a pseudo-terminal, or a real serial device.
// Both are raw (no echo, no line editing, 8 bits through) and non-blocking.
class LineEndpoint {
  public:
    // Throws std::system_error when the pseudo-terminal cannot be made or the link cannot be placed.
    static LineEndpoint openPseudoTerminal(const std::optional<std::string>& linkPath);
    static LineEndpoint openSerialDevice(const std::string& path, unsigned baud);

    LineEndpoint(LineEndpoint&& other) noexcept;
    LineEndpoint& operator=(LineEndpoint&&) = delete;
    LineEndpoint(const LineEndpoint&) = delete;
    ~LineEndpoint();

    int fd() const { return fd_; }
    // The path a host opens: the pseudo-terminal's slave, or the serial device.
    const std::string& hostPath() const { return hostPath_; }
    // The speed the host last set on the pseudo-terminal (0 for one outside the usual table);
    // nothing for a real serial device, whose speed is our own.
    std::optional<unsigned> hostSpeed() const;

  private:
    LineEndpoint(int fd, int slaveKeeper, std::string hostPath, std::optional<std::string> linkPath);

    int fd_;
    // Our own descriptor on the slave: while it is open, the host closing its end never gives the
    // master EOF or EIO, so the same path works across any number of host open/close cycles.
    int slaveKeeper_;
    std::string hostPath_;
    std::optional<std::string> linkPath_;
};
