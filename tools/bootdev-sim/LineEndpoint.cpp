#include "LineEndpoint.h"

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void throwErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void makeRaw(int fd, const std::string& what, std::optional<speed_t> speed = std::nullopt) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        throwErrno("tcgetattr " + what);
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    if (speed && (cfsetispeed(&settings, *speed) != 0 || cfsetospeed(&settings, *speed) != 0))
        throwErrno("cannot set the speed of " + what);
    if (tcsetattr(fd, TCSANOW, &settings) != 0)
        throwErrno("tcsetattr " + what);
}

void makeNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
        throwErrno("fcntl O_NONBLOCK");
}

speed_t speedConstant(unsigned baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    default:
        throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                                "unsupported --baud " + std::to_string(baud));
    }
}

// The number a speed constant stands for; 0 for one outside the table.
unsigned baudOf(speed_t speed) {
    for (unsigned baud :
         {1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u, 230400u, 460800u, 921600u})
        if (speedConstant(baud) == speed)
            return baud;
    return 0;
}

void placeLink(const std::string& linkPath, const std::string& target) {
    struct stat existing {};
    // Replace a link left by an earlier run; refuse to delete anything that is not a link.
    if (lstat(linkPath.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode))
            throw std::system_error(std::make_error_code(std::errc::file_exists),
                                    linkPath + " exists and is not a symbolic link");
        if (unlink(linkPath.c_str()) != 0)
            throwErrno("cannot remove the old link " + linkPath);
    }
    if (symlink(target.c_str(), linkPath.c_str()) != 0)
        throwErrno("cannot make the link " + linkPath);
}

bool linkPointsTo(const std::string& linkPath, const std::string& target) {
    std::vector<char> buffer(target.size() + 2);
    const ssize_t length = readlink(linkPath.c_str(), buffer.data(), buffer.size());
    return length >= 0 && std::string(buffer.data(), static_cast<std::size_t>(length)) == target;
}

} // namespace

LineEndpoint::LineEndpoint(int fd, int slaveKeeper, std::string hostPath, std::optional<std::string> linkPath)
    : fd_(fd), slaveKeeper_(slaveKeeper), hostPath_(std::move(hostPath)), linkPath_(std::move(linkPath)) {}

LineEndpoint::LineEndpoint(LineEndpoint&& other) noexcept
    : fd_(other.fd_), slaveKeeper_(other.slaveKeeper_), hostPath_(std::move(other.hostPath_)),
      linkPath_(std::move(other.linkPath_)) {
    other.fd_ = -1;
    other.slaveKeeper_ = -1;
    other.linkPath_.reset();
}

LineEndpoint::~LineEndpoint() {
    // Only our own link goes: another run may have taken the path over meanwhile.
    if (linkPath_ && linkPointsTo(*linkPath_, hostPath_))
        unlink(linkPath_->c_str());
    if (slaveKeeper_ >= 0)
        close(slaveKeeper_);
    if (fd_ >= 0)
        close(fd_);
}

LineEndpoint LineEndpoint::openPseudoTerminal(const std::optional<std::string>& linkPath) {
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        throwErrno("openpty");
    const char* name = ttyname(slave);
    const std::string slavePath = name ? name : "";
    LineEndpoint endpoint(master, slave, slavePath, std::nullopt);
    if (slavePath.empty())
        throwErrno("ttyname");
    makeRaw(slave, slavePath);
    makeRaw(master, "the pseudo-terminal master");
    makeNonBlocking(master);
    if (linkPath) {
        placeLink(*linkPath, slavePath);
        endpoint.linkPath_ = linkPath;
    }
    return endpoint;
}

std::optional<unsigned> LineEndpoint::hostSpeed() const {
    termios settings{};
    if (slaveKeeper_ < 0 || tcgetattr(slaveKeeper_, &settings) != 0)
        return std::nullopt;
    return baudOf(cfgetospeed(&settings));
}

LineEndpoint LineEndpoint::openSerialDevice(const std::string& path, unsigned baud) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        throwErrno("cannot open " + path);
    LineEndpoint endpoint(fd, -1, path, std::nullopt);
    makeRaw(fd, path, speedConstant(baud));
    return endpoint;
}
