#include "console/output/RunLog.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RunLog::RunLog(const std::string& path) {
    // A blocking open of a FIFO waits for a reader, for ever if none comes, before any board is
    // touched and beyond the reach of the signal handling. Opened without blocking, such a FIFO is
    // refused at once; one being read opens as a file does, and the channel waits out a full pipe.
    fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd >= 0) {
        channel.emplace(fd, "the log " + path);
        return;
    }
    const int error = errno;
    struct stat status {};
    openError = error == ENXIO && stat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode)
                    ? "a FIFO that no process reads"
                    : std::strerror(error);
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
