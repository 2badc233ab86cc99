#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "link/SerialPortService.h"

// One step of a modem-line sequence (--reset, --after): a change of DTR and/or RTS, or a wait.
struct ResetStep {
    ModemLineChange lines;
    std::chrono::microseconds wait{0};
    std::string text; // the step as typed, for messages
};

// Reads "D0|R1|W0.1|D1|R0|W0.05|D0" or a preset's name (see resetPresetsHelp). `option` names
// the option in the UsageError thrown for a malformed sequence, which also names the step.
std::vector<ResetStep> parseResetSequence(const std::string& text, const std::string& option);

// The presets with their steps, for --help.
std::string resetPresetsHelp();
