#pragma once

#include <functional>
#include <string>

// Where the run's text goes: stdout for results, stderr for messages and progress.
struct ConsoleOutput {
    std::function<void(const std::string&)> out;
    std::function<void(const std::string&)> err;
    bool errIsTerminal = false;
    std::string programName = "bootflash";
};
