#include "console/run/RunController.h"

#include "console/run/RunTexts.h"
#include "link/VisibleText.h"

// What a scan keeps: the devices found, the replies that came too late, and the end of its range.

void RunController::scanRangeEnded() {
    if (options.operation == Operation::Scan)
        scanEnded();
    else
        finish(ExitCode::NoDevice, "no device answered at the addresses " +
                                       std::to_string(options.scanFirst) + " to " +
                                       std::to_string(options.scanLast));
}

void RunController::spotLateReplies(const std::string& bytes) {
    if (phase != Phase::Connecting || form.ScanMode != 1)
        return;
    for (const std::string& notice : lateReplies.feed(bytes, currentAddress())) {
        progress.clear();
        output.err(output.programName + ": " + notice + "\n");
    }
    result.lateAddresses = lateReplies.lateAddresses();
}

void RunController::scanEnded() {
    std::string summary = result.devices.empty() ? "no device answered on " + options.port
                                                 : std::to_string(result.devices.size()) + " device(s) found";
    if (!result.lateAddresses.empty())
        summary += ", " + std::to_string(result.lateAddresses.size()) + " more answered too late";
    ExitCode code = result.devices.empty() ? ExitCode::NoDevice : ExitCode::Success;
    for (const RunResult::Device& device : result.devices)
        if (device.conflict) {
            summary += "; " + conflictText(device.address);
            code = ExitCode::AddressConflict;
        }
    finish(code, summary);
}

void RunController::recordFoundDevice(const std::string& reply, bool moreThanOneBoard) {
    RunResult::Device device{currentAddress(), reply, moreThanOneBoard};
    result.devices.push_back(device);
    progress.clear();
    if (moreThanOneBoard)
        output.err(output.programName + ": " + conflictText(device.address) + "\n");
    if (!options.json)
        output.out(std::to_string(device.address) + "\t" + visibleText(device.reply) + "\n");
}
