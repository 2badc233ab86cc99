#pragma once

#include <string>

#include "console/cli/SecondsText.h"

// How the run words what the window shows: a reply without its line end, seconds without
// trailing zeros.
inline std::string withoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// Two boards or more answered the probe of one address.
inline std::string conflictText(int address) {
    return "address " + std::to_string(address) + ": more than one board answers";
}
