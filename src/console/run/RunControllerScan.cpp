#include "console/run/RunController.h"

#include "console/run/RunTexts.h"
#include "link/RequestFrame.h"
#include "link/VisibleText.h"
#include "protocol/Vocabulary.h"

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
    if (broadcastPending)
        return;
    if (!broadcastAsked && everyAddressAnswered())
        return askBroadcastAddress();
    listFoundDevices(heldScanLines.size());
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

// Boards at every address of a range wider than one are far likelier one board that ignores its
// address; such a board answers the broadcast address too, where no board may answer.
bool RunController::everyAddressAnswered() const {
    const auto range = static_cast<std::size_t>(options.scanLast - options.scanFirst + 1);
    return options.modbusRtu && range > 1 && result.devices.size() == range;
}

void RunController::askBroadcastAddress() {
    broadcastAsked = true;
    broadcastPending = true;
    connectionPacer.stop();
    probeAnswers.probeSent(0);
    try {
        activity.output(modbusRequestFrame(0, vocabulary::kProbe));
    } catch (const std::exception&) {
        // Unasked, the broadcast address stays silent: the boards are listed as found.
    }
    probeAnswers.judge([this](bool) {
        broadcastPending = false;
        if (probeAnswers.versionReplies() == 0)
            return scanEnded();
        const int first = options.scanFirst;
        const int last = options.scanLast;
        result.devices.resize(1);
        result.devices.front().everyAddress = true;
        listFoundDevices(1);
        output.err(output.programName + ": one board answers at every address (" + std::to_string(first) +
                   " to " + std::to_string(last) +
                   ", and the broadcast address 0): it ignores its address; "
                   "listed once, at " +
                   std::to_string(first) + "\n");
        finish(ExitCode::Success, "1 device(s) found, answering at every address");
    });
}

void RunController::listFoundDevices(std::size_t count) {
    for (std::size_t i = 0; i < count && i < heldScanLines.size(); ++i)
        output.out(heldScanLines[i]);
    heldScanLines.clear();
}

void RunController::recordFoundDevice(const std::string& reply, bool moreThanOneBoard) {
    RunResult::Device device{currentAddress(), reply, moreThanOneBoard};
    result.devices.push_back(device);
    progress.clear();
    if (moreThanOneBoard)
        output.err(output.programName + ": " + conflictText(device.address) + "\n");
    const std::string line = std::to_string(device.address) + "\t" + visibleText(device.reply) + "\n";
    if (options.json)
        return;
    // Held while every address so far has answered, until a silent one shows they are boards.
    const bool everyOneSoFar =
        device.address - options.scanFirst + 1 == static_cast<int>(result.devices.size());
    heldScanLines.push_back(line);
    if (!everyOneSoFar)
        listFoundDevices(heldScanLines.size());
}
