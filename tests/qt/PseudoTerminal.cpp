#include "PseudoTerminal.h"

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
    path = name;
}

PseudoTerminal::~PseudoTerminal() {
    hangUp();
}

void PseudoTerminal::hangUp() {
    if (master >= 0)
        close(master);
    master = -1;
}

void PseudoTerminal::writeToPort(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(master, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            throw std::runtime_error("write to the pseudo-terminal failed");
        done += static_cast<std::size_t>(n);
    }
}

termios PseudoTerminal::lineSettings() const {
    // On the master, the terminal calls read the slave's settings.
    termios settings{};
    if (tcgetattr(master, &settings) != 0)
        throw std::runtime_error("reading the pseudo-terminal's settings failed");
    return settings;
}
