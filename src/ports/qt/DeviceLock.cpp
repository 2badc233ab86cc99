#include "ports/qt/DeviceLock.h"

#include <cerrno>
#include <cstring>

#include "link/SerialPortService.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

void DeviceLock::acquire(const std::string& path) {
    release();
    // Non-blocking, so that a modem line waiting for carrier cannot hold up the open.
    const int opened = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (opened < 0) {
        if (errno == EACCES || errno == EPERM)
            throw PortError(path + ": " + permissionAdvice(path));
        if (errno == EBUSY) // the holder asked for exclusive use of the terminal
            throw PortError(path + ": " + kInUseReason);
        return;
    }
    if (::flock(opened, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(opened);
        if (error == EWOULDBLOCK)
            throw PortError(path + ": " + kInUseReason);
        return; // a device that cannot be locked is opened unlocked, as before
    }
    fd = opened;
}

void DeviceLock::release() {
    if (fd >= 0)
        ::close(fd); // closing the last descriptor drops the lock
    fd = -1;
}

std::string permissionAdvice(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && info.st_gid != 0)
        if (const group* owner = ::getgrgid(info.st_gid))
            return std::string("permission denied: members of the group ") + owner->gr_name +
                   " may open it (add your user with: sudo usermod -aG " + owner->gr_name +
                   " $USER, then log in again)";
    return "permission denied";
}

#else

void DeviceLock::acquire(const std::string&) {}
void DeviceLock::release() {}
std::string permissionAdvice(const std::string&) {
    return "permission denied";
}

#endif
