#include "console/run/TransferWatch.h"

#include <algorithm>

namespace {
// A record printed in a message is cut here: a line of thousands of characters says nothing more.
constexpr std::size_t kShownRecordLength = 80;
} // namespace

TransferWatch::TransferWatch(const ConsoleView& view, const frmSerial& form, bool verifyFollows)
    : view(view), form(form), verifyFollows(verifyFollows) {}

void TransferWatch::begin() {
    begun = true;
    barAdvancesAtStart = view.barAdvances();
}

TransferWatch::Stage TransferWatch::observe() {
    const std::string& stage = view.barText();
    if (stage == "DOWNLOAD") {
        passName = "download";
    } else if (stage == "VERIFY") {
        if (passName == "download")
            ++passesDone;
        passName = "verify";
    }
    sent = view.barAdvances() - barAdvancesAtStart;
    if (stage == "END") {
        ++passesDone;
        return Stage::Ended;
    }
    if (stage != "ERROR")
        return Stage::Running;
    return form.PassEndedEarly == 1 ? Stage::EndedEarly : Stage::Refused;
}

int TransferWatch::lastRecordNumber() const {
    // The sender wraps its index to 0 after the last record of a pass.
    return form.RecordIndex == 0 ? form.RecordCount : form.RecordIndex;
}

std::string TransferWatch::position() const {
    std::string text =
        "record " + std::to_string(lastRecordNumber()) + " of " + std::to_string(form.RecordCount);
    if (!passName.empty())
        text += " (" + passName + " pass)";
    return text;
}

std::string TransferWatch::earlyEnd() const {
    return "the device ended the " + passName + " pass after record " + std::to_string(lastRecordNumber()) +
           " of " + std::to_string(form.RecordCount);
}

std::string TransferWatch::lastRecord() const {
    const int record = lastRecordNumber();
    std::string text = position();
    if (record >= 1 && record <= frmSerial::kMaxRecords) {
        const std::string& line = form.HexRecords[static_cast<std::size_t>(record)];
        text += ": " + (line.size() > kShownRecordLength ? line.substr(0, kShownRecordLength) + "..." : line);
    }
    return text;
}

ProgressState TransferWatch::progress() const {
    ProgressState state;
    // "FORMAT" empties the bar's text until the device's next "OK": it is erasing meanwhile.
    state.stage = view.barText().empty() ? "ERASE" : view.barText();
    state.value = view.barValue();
    state.maximum = view.barMax();
    state.recordsSent = sent;
    const int leftInPass = std::max(0, state.maximum - state.value);
    const bool verifyStillToCome = verifyFollows && passName != "verify";
    state.recordsRemaining = leftInPass + (verifyStillToCome ? state.maximum : 0);
    return state;
}
