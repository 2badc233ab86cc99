#include "PseudoTerminal.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal() {
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    // The line discipline must pass every byte as it is, CR and 0xFF included, from the first byte on.
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    // The port under test opens the slave itself; the master keeps the terminal alive.
    close(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    path = name;
}

PseudoTerminal::~PseudoTerminal() {
    close(master);
}

void PseudoTerminal::writeToPort(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        pollfd writable{master, POLLOUT, 0};
        if ((n < 0 && errno != EAGAIN && errno != EINTR) || poll(&writable, 1, 5000) <= 0)
            throw std::runtime_error("write to the pseudo-terminal failed");
    }
}

std::string PseudoTerminal::readFromPort() {
    std::string bytes;
    char chunk[512];
    for (;;) {
        const ssize_t n = read(master, chunk, sizeof chunk);
        if (n <= 0)
            return bytes;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
}
