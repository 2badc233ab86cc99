#pragma once

#include <string>

#include "console/cli/CliOptions.h"

// The flasher's own words about the line it opens.

// What --verbose says before a run: the line and what the flasher sets on it, the framing and the
// address. A raw TCP stream carries bytes only, so no speed is named there.
std::string runDescription(const CliOptions& options, const std::string& programName);

// A port that would not open, with the reason the line gave and what to do about it on a command
// line (the window's words point to its own port box).
std::string openFailureText(const std::string& port, const std::string& reason,
                            const std::string& programName);
