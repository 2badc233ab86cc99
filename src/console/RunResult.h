#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/ExitCode.h"

// How one run ended: what the JSON object and the closing lines report.
struct RunResult {
    struct Device {
        int address = 0;
        std::string reply; // the device's version reply, line end removed
    };

    std::string operation;
    std::string port;
    std::optional<int> address; // the device address used, once known
    int records = 0;            // records sent, both passes together
    int passes = 0;             // passes finished: download, then verify
    ExitCode exitCode = ExitCode::Success;
    std::string message; // why the run failed, or the reply it got
    long long durationMs = 0;
    std::vector<Device> devices;    // scan only
    std::vector<int> lateAddresses; // scanned addresses that answered only after the probe wait
};

// A word for the exit code: "success", "stall", ...
const char* outcomeName(ExitCode code);
