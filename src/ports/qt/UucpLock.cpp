#include "ports/qt/UucpLock.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "link/SerialPortService.h"

#if defined(__unix__) || defined(__APPLE__)
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kDefaultDirectory = "/run/lock";

// The name a path gives the device: the part under /dev with "/" as "_", else the file's name.
std::string deviceName(const std::filesystem::path& path) {
    const std::string text = path.lexically_normal().native();
    if (text.rfind("/dev/", 0) != 0)
        return path.filename().native();
    std::string name = text.substr(5);
    for (char& c : name)
        if (c == '/')
            c = '_';
    return name;
}

std::string contentOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    // The holder's number comes first: a lock file's first bytes are enough.
    std::string content(64, '\0');
    file.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(file.gcount()));
    return content;
}

} // namespace

long UucpLock::otherHolder(const std::string& lockPath) const {
    const long pid = lockHolder(contentOf(lockPath));
    // A process of another user may not be signalled, but it lives all the same.
    const bool alive = pid > 0 && (probe(pid) == 0 || errno == EPERM);
    return pid != ::getpid() && alive ? pid : 0;
}

std::vector<std::string> uucpLockNames(const std::string& devicePath) {
    std::error_code failed;
    const std::filesystem::path real = std::filesystem::canonical(devicePath, failed);
    std::vector<std::string> names{"LCK.." + deviceName(failed ? std::filesystem::path(devicePath) : real)};
    const std::string given = "LCK.." + deviceName(devicePath);
    if (given != names.front())
        names.push_back(given);
    return names;
}

long lockHolder(const std::string& content) {
    const std::string line = content.substr(0, content.find('\n'));
    const std::size_t first = line.find_first_not_of(' ');
    const std::size_t end = line.find_last_not_of(" \r") + 1;
    if (first != std::string::npos && end - first <= 9 &&
        line.substr(first, end - first).find_first_not_of("0123456789") == std::string::npos)
        return std::strtol(line.c_str() + first, nullptr, 10);
    if (content.size() == sizeof(int)) {
        int pid = 0;
        std::memcpy(&pid, content.data(), sizeof pid);
        return pid;
    }
    return 0;
}

UucpLock::UucpLock(std::string directory, ProcessProbe probe)
    : directory(std::move(directory)), probe(std::move(probe)) {
    if (!this->probe)
        this->probe = [](long pid) { return ::kill(static_cast<pid_t>(pid), 0); };
    if (this->directory.empty()) {
        const char* chosen = std::getenv("BOOTDEVICE_LOCK_DIR");
        this->directory = chosen && *chosen ? chosen : kDefaultDirectory;
    }
}

void UucpLock::check(const std::string& path) {
    release();
    devicePath = path;
    lockPaths.clear();
    for (const std::string& name : uucpLockNames(path)) {
        const std::string lockPath = directory + "/" + name;
        lockPaths.push_back(lockPath);
        if (::access(lockPath.c_str(), F_OK) != 0)
            continue;
        if (const long holder = otherHolder(lockPath))
            throw PortError(path + ": in use by process " + std::to_string(holder) + " (lock file " +
                            lockPath + ")");
        ::unlink(lockPath.c_str()); // stale: its holder is gone
    }
}

void UucpLock::hold() {
    if (lockPaths.empty())
        return;
    const std::string& lockPath = lockPaths.front();
    std::string temporary = directory + "/LTMP.XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return; // a lock directory this user may not write: the flock alone guards the device
    char content[16];
    const int length = std::snprintf(content, sizeof content, "%10d\n", static_cast<int>(::getpid()));
    const bool written = ::write(fd, content, static_cast<std::size_t>(length)) == length;
    ::fchmod(fd, 0644);
    ::close(fd);
    // Another process may have taken the lock since the check: its lock stands.
    const long holder = otherHolder(lockPath);
    if (!written || holder != 0 || ::rename(temporary.c_str(), lockPath.c_str()) != 0) {
        ::unlink(temporary.c_str());
        if (holder != 0)
            throw PortError(devicePath + ": in use by process " + std::to_string(holder) + " (lock file " +
                            lockPath + ")");
        return;
    }
    held = true;
}

void UucpLock::release() {
    if (held && lockHolder(contentOf(lockPaths.front())) == ::getpid())
        ::unlink(lockPaths.front().c_str());
    held = false;
}

#else

std::vector<std::string> uucpLockNames(const std::string&) {
    return {};
}
long lockHolder(const std::string&) {
    return 0;
}
UucpLock::UucpLock(std::string directory, ProcessProbe) : directory(std::move(directory)) {}
void UucpLock::check(const std::string&) {}
void UucpLock::hold() {}
void UucpLock::release() {}

#endif
