#include <chrono>
#include <string>

#include "window/frmSerial.h"

namespace {

// The buttons whose commands would send beside a record in flight: both transfers, the
// single-shot commands, and "Next", which moves the address being talked to.
constexpr Control kStartingButtons[] = {Control::Command3, Control::Command2, Control::Command6,
                                        Control::Command4, Control::Command1};

std::string durationText(std::chrono::milliseconds limit) {
    if (limit.count() % 1000 == 0)
        return std::to_string(limit.count() / 1000) + " s";
    return std::to_string(limit.count()) + " ms";
}

} // namespace

void frmSerial::SetRecordAwaited(bool awaited) {
    if (awaited)
        RecordSentTime = std::chrono::steady_clock::now();
    if ((RecordAwaited == 1) == awaited)
        return;
    RecordAwaited = awaited ? 1 : 0;
    for (Control button : kStartingButtons)
        view.setEnabled(button, !awaited);
}

void frmSerial::StopTransfer() {
    SetRecordAwaited(false);
    TransferActive = 0;
    VerifyMode = 0;
    view.setBarText("ERROR");
    view.setBarColor(colours::Red);
}

void frmSerial::CheckTransferStall() {
    if (RecordAwaited != 1 || ReplyStallLimit.count() <= 0 ||
        std::chrono::steady_clock::now() - RecordSentTime < ReplyStallLimit)
        return;
    const std::string text = "No answer to record " + std::to_string(LastRecordNumber()) + " of " +
                             std::to_string(RecordCount) + " during " + PassName() + " for " +
                             durationText(ReplyStallLimit) + ": the transfer was stopped.";
    // Stopped before the modal box, so that nothing is sent while it is open.
    StopTransfer();
    view.msgBox(text, FormView::Icon::Critical);
}
