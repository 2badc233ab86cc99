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
    switch (form.Machine().state()) {
    case State::Ended:
        ++passesDone;
        return Stage::Ended;
    case State::Held:
        return Stage::Refused;
    case State::Failed:
        return Stage::Failed;
    default:
        return Stage::Running;
    }
}

std::string TransferWatch::position() const {
    const TransferPosition& at = form.Machine().transfer();
    std::string text = "record " + std::to_string(at.record) + " of " + std::to_string(at.count);
    if (!passName.empty())
        text += " (" + passName + " pass)";
    return text;
}

std::string TransferWatch::earlyEnd() const {
    const TransferPosition& at = form.Machine().transfer();
    return "the device ended the " + passName + " pass after record " + std::to_string(at.record) + " of " +
           std::to_string(at.count);
}

std::string TransferWatch::lastRecord() const {
    const int record = form.Machine().transfer().record;
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
