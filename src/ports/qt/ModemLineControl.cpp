#include "ports/qt/ModemLineControl.h"

#include <cerrno>
#include <cstring>

#include <sys/ioctl.h>

void setModemLinesOf(int fd, const ModemLineChange& change) {
    int bits = 0;
    if (ioctl(fd, TIOCMGET, &bits) != 0) {
        // A pseudo-terminal (and any other device without a modem) refuses the request itself.
        if (errno == ENOTTY || errno == EINVAL)
            throw PortError("this port has no modem lines (DTR, RTS), as a pseudo-terminal has none");
        throw PortError(std::string("reading the modem lines failed: ") + std::strerror(errno));
    }
    if (!change.dtr && !change.rts)
        return;
    const auto apply = [&bits](const std::optional<bool>& level, int bit) {
        if (level)
            bits = *level ? bits | bit : bits & ~bit;
    };
    apply(change.dtr, TIOCM_DTR);
    apply(change.rts, TIOCM_RTS);
    if (ioctl(fd, TIOCMSET, &bits) != 0)
        throw PortError(std::string("setting the modem lines failed: ") + std::strerror(errno));
}
