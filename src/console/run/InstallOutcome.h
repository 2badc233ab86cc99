#pragma once

#include <optional>
#include <string>

#include "console/cli/ExitCode.h"
#include "protocol/ReplyKeyword.h"

struct InstallOutcome {
    ExitCode code;
    std::string message; // on success, the board's last reply
};

// How `install` ends, from the replies since "Install " was clicked: success only on the board's
// "OK"; nothing while a decisive reply may still come. `waitOver`: the stall timeout has passed.
std::optional<InstallOutcome> installOutcome(const ReplyTally& replies, bool waitOver,
                                             const std::string& lastAnswer, const std::string& silence);
