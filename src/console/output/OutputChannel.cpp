#include "console/output/OutputChannel.h"

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <unistd.h>

void OutputChannel::write(std::string_view text) {
    while (!lost() && !text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A stream handed over non-blocking is full for now, not lost: wait as a blocking one would.
            pollfd writable{fd, POLLOUT, 0};
            poll(&writable, 1, -1);
            continue;
        }
        if (written <= 0) {
            fail(written < 0 ? errno : ENOSPC);
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

void OutputChannel::sync() {
    if (!lost() && fdatasync(fd) != 0 && errno != EINVAL && errno != EROFS)
        fail(errno);
}

void OutputChannel::fail(int error) {
    failure = "cannot write " + name + ": " + std::strerror(error);
}
