#include "console/run/RunController.h"

#include "console/run/InstallOutcome.h"
#include "console/run/RunTexts.h"
#include "link/NumberRule.h"
#include "protocol/FailureText.h"

// The operation once the device has answered: the click, as a user would, and how the machine's
// state and steps tell that the operation has ended.

void RunController::onConnected() {
    const std::string reply = withoutLineEnd(lastReply);
    // Whatever follows goes to every board at the address: first it must be known whether one
    // board answered or more.
    probeAnswers.judge([this, reply](bool several) { onAnswered(reply, several); });
}

void RunController::onAnswered(const std::string& reply, bool moreThanOneBoard) {
    if (phase != Phase::Connecting)
        return;
    if (options.operation == Operation::Scan) {
        // A scan has no one address: each device found is listed with its own.
        recordFoundDevice(reply, moreThanOneBoard);
        call(Source::Click, &frmSerial::Command1_Click);
        return;
    }
    result.address = currentAddress();
    result.reply = reply;
    if (moreThanOneBoard)
        return finish(ExitCode::AddressConflict,
                      conflictText(currentAddress()) + (options.operation == Operation::SetAddress
                                                            ? "; no new address was sent"
                                                            : "; nothing was sent to the boards"));
    // After a scan "Set Addr" reads "Next": close and open again, as a user would, so that the
    // found address in the box is used as a plain address.
    if (options.operation == Operation::SetAddress && form.ScanMode == 1 && !reopened) {
        reopened = true;
        call(Source::Close, &frmSerial::BTNCloseCom_Click);
        clickOpen([] {});
        return;
    }
    clickOperation();
}

void RunController::clickOperation() {
    readySeen = view.readyCount();
    repliesAtClick = form.Machine().replies();
    switch (options.operation) {
    case Operation::Download:
    case Operation::Verify:
        phase = Phase::Transferring;
        transfer.begin();
        progress.clear();
        call(Source::Load, options.operation == Operation::Download ? &frmSerial::Command3_Click
                                                                    : &frmSerial::Command2_Click);
        break;
    case Operation::Version:
        phase = Phase::AwaitingReply;
        call(Source::Click, &frmSerial::Command4_Click);
        break;
    case Operation::Install:
        phase = Phase::AwaitingReply;
        call(Source::Click, &frmSerial::Command6_Click);
        break;
    case Operation::SetAddress:
        phase = Phase::AwaitingReply;
        call(Source::Click, &frmSerial::Command1_Click);
        break;
    case Operation::Scan:
    case Operation::Check: // ends before the port is opened
    case Operation::Ports: // listed without opening a port: never run here
        break;
    }
}

void RunController::watchTransfer() {
    const TransferWatch::Stage stage = transfer.observe();
    result.records = transfer.records();
    result.passes = transfer.passes();
    switch (stage) {
    case TransferWatch::Stage::Ended:
        finish(ExitCode::Success,
               "END: " + std::to_string(form.RecordCount) + " records " +
                   (options.operation == Operation::Download ? "downloaded and verified" : "verified"));
        break;
    case TransferWatch::Stage::Refused:
        finish(ExitCode::DeviceError, "the device reported \"ERROR\" at " + transfer.lastRecord());
        break;
    case TransferWatch::Stage::Failed:
        finishFailed(*form.Machine().failure());
        break;
    case TransferWatch::Stage::Running:
        progress.update(transfer.progress());
        break;
    }
}

void RunController::finishFailed(const Failure& failure) {
    switch (failure.reason) {
    case FailureReason::Stalled:
        finish(ExitCode::Stall, "stall: no reply from the device for " +
                                    secondsText(options.stallTimeoutSeconds) + " s after " +
                                    transfer.lastRecord() +
                                    (failure.instead.empty() ? "" : "; instead came " + failure.instead));
        break;
    case FailureReason::EraseStalled:
        finish(ExitCode::Stall, "stall: the device began to erase at " + transfer.lastRecord() +
                                    " and did not answer within " + secondsText(options.eraseTimeoutSeconds) +
                                    " s");
        break;
    case FailureReason::EndedEarly:
        finish(ExitCode::DeviceError, transfer.earlyEnd());
        break;
    case FailureReason::Restarted:
    case FailureReason::RefusedTwice:
    case FailureReason::NotRetaken:
        finish(ExitCode::DeviceError, failureText(failure));
        break;
    case FailureReason::NotSent:
        finish(ExitCode::PortNotAvailable, failureText(failure));
        break;
    case FailureReason::FramingSwitched:
        finish(ExitCode::InternalError, failureText(failure));
        break;
    case FailureReason::MoreThanOneBoard:
        finish(ExitCode::AddressConflict, failureText(failure));
        break;
    }
}

std::optional<ProtocolMachine::Step> RunController::left(State awaited) const {
    for (const ProtocolMachine::Step& step : steps)
        if (step.from == awaited && step.to != awaited)
            return step;
    return std::nullopt;
}

void RunController::watchReply() {
    const std::string silence =
        "stall: no reply from the device for " + secondsText(options.stallTimeoutSeconds) + " s";
    const std::string answer = withoutLineEnd(lastReply);
    const auto ended = [&](const ProtocolMachine::Step& step, const std::string& refusal) {
        if (step.event == Event::NotSent)
            finish(ExitCode::PortNotAvailable, "the command could not be sent");
        else if (step.action == Action::NameConflict)
            finish(ExitCode::AddressConflict, "more than one board answers at address " + std::to_string(currentAddress()));
        else if (step.action == Action::MarkError)
            finish(ExitCode::DeviceError, refusal);
        else
            finish(ExitCode::Stall, silence);
    };
    switch (options.operation) {
    case Operation::Version:
        if (const auto step = left(State::IdentifyAwaited))
            step->action == Action::Ready
                ? finish(ExitCode::Success, answer)
                : ended(*step, "the device answered \"ERROR\" to the version query");
        break;
    case Operation::Install:
        if (left(State::InstallAwaited)) {
            // The started application need not answer the version query: the board's "OK" decides.
            const auto outcome =
                installOutcome(form.Machine().replies().since(repliesAtClick), true, answer, silence);
            finish(outcome->code, outcome->message);
        }
        break;
    case Operation::SetAddress:
        if (phase == Phase::AwaitingReply) {
            // A board may answer from the address it has just taken: it has moved, and answers there.
            if (answeredFromNewAddress)
                return answersAtNewAddress(result.reply);
            const auto step = left(State::AddressChangeAwaited);
            if (!step)
                break;
            if (step->action != Action::CommandAnswered && step->action != Action::Ready) {
                ended(*step, "the device answered \"ERROR\" to the new address");
                break;
            }
            // Check that the device now answers at its new address: type it into the address box
            // and ask with "?".
            phase = Phase::ConfirmingNewAddress;
            view.setText1Text(options.newAddress);
            call(Source::Click, &frmSerial::Command4_Click);
        } else if (const auto step = left(State::IdentifyAwaited)) {
            if (step->action == Action::Ready)
                answersAtNewAddress(answer);
            else
                finish(ExitCode::NoDevice, "no answer at the new address " + options.newAddress);
        }
        break;
    default:
        break;
    }
}

void RunController::noteReplyFromNewAddress(const std::string& bytes) {
    if (phase != Phase::AwaitingReply || options.operation != Operation::SetAddress)
        return;
    const auto newAddress = static_cast<std::uint8_t>(WholeNumber(options.newAddress, 1, 255));
    for (const std::uint8_t from : newAddressReplies.feed(bytes))
        answeredFromNewAddress =
            answeredFromNewAddress || (from == newAddress && newAddress != currentAddress());
}

void RunController::answersAtNewAddress(const std::string& reply) {
    result.address = static_cast<int>(WholeNumber(options.newAddress, 1, 255));
    // Standard output carries only the reply, as for version and install.
    output.err(output.programName + ": the device answers at its new address " + options.newAddress + "\n");
    finish(ExitCode::Success, reply);
}
