#include "console/output/RunLog.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RunLog::RunLog(const std::string& path) {
    fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        openError = std::strerror(errno);
    else
        channel.emplace(fd, "the log " + path);
}

RunLog::~RunLog() {
    if (fd >= 0)
        close(fd);
}

void RunLog::append(const std::string& line) {
    channel->write(line);
    channel->sync();
}

bool sameFile(const std::string& first, const std::string& second) {
    struct stat one {};
    struct stat other {};
    return stat(first.c_str(), &one) == 0 && stat(second.c_str(), &other) == 0 &&
           one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}
