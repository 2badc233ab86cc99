#pragma once

#include <string>
#include <termios.h>

// A pseudo-terminal for the tests: the port under test opens the slave by its path, the test
// plays the other end of the line on the master.
class PseudoTerminal {
  public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& slavePath() const { return path; }

    void writeToPort(const std::string& bytes);
    // Closes the far end, as a pulled adapter takes the line away: the port's reads then fail.
    void hangUp();
    // The line settings the port under test gave the terminal: speed, parity, data and stop bits.
    termios lineSettings() const;

  private:
    int master = -1;
    std::string path;
};
