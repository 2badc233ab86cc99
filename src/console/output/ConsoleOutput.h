#pragma once

#include <functional>
#include <string>

#include "console/output/TerminalWidth.h"

// Where the run's text goes: stdout for results, stderr for messages and progress.
struct ConsoleOutput {
    std::function<void(const std::string&)> out;
    std::function<void(const std::string&)> err;
    bool errIsTerminal = false;
    std::string programName = "bootflash";
    // The terminal obeys escape sequences that move the cursor (TERM is set and not "dumb").
    bool errTakesEscapes = false;
    ColumnsSource errColumns; // the terminal's width; empty: not to be cut
};
