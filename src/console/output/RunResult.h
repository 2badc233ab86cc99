#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console/cli/ExitCode.h"
#include "transfer/FirmwareImage.h"

// What a firmware file holds, as `check` reports it.
struct FirmwareSummary {
    struct Range {
        std::uint32_t start = 0;
        std::size_t size = 0;
        std::uint64_t last() const { return start + size - 1; }
    };
    std::string format;
    std::vector<Range> ranges;
    int records = 0; // HEX records that would be sent in one pass
    std::size_t bytes = 0;
    std::uint32_t crc32 = 0;
};

// How one run ended: what the JSON object and the closing lines report.
struct RunResult {
    struct Device {
        int address = 0;
        std::string reply;         // the device's version reply, line end removed
        bool conflict = false;     // more than one board answered at this address
        bool everyAddress = false; // one board answered at every address: listed once, at the first
    };

    std::string operation;
    std::string port;
    std::optional<int> address; // the device address used, once known
    int records = 0;            // records sent, both passes together; for check, records in the file
    int passes = 0;             // passes finished: download, then verify
    ExitCode exitCode = ExitCode::Success;
    std::string message; // why the run failed, or the reply it got
    std::string reply;   // what the device answered when it was reached, line end removed
    long long durationMs = 0;
    std::vector<Device> devices;             // scan only
    std::optional<FileFault> fileFault;      // a firmware file refused before the port was opened
    std::optional<FirmwareSummary> firmware; // check only
    std::vector<int> lateAddresses;          // scanned addresses that answered only after the probe wait
    std::string note;                        // beside the outcome: what did not run to its end
};

// A word for the exit code: "success", "stall", ...
const char* outcomeName(ExitCode code);
