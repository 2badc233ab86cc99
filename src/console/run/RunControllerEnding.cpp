#include "console/run/RunController.h"

#include "console/output/LineTexts.h"
#include "console/run/InstallOutcome.h"
#include "console/run/RunTexts.h"
#include "link/VisibleText.h"
#include "protocol/FailureText.h"

// How a run ends: a message box, a transfer's or reply's end, a stall or a signal, mapped to an exit
// code and message; then the --after sequence, the port closed and the result given.

// A message box ends the operation; which one it was follows from the handler that showed it.
bool RunController::handleMessages(Source source) {
    const auto& messages = view.messages();
    if (messagesSeen == messages.size())
        return false;
    const ConsoleView::Message message = messages.back();
    messagesSeen = messages.size();
    const std::string line = view.messageLine(message);

    if (portLost) {
        finish(ExitCode::PortNotAvailable,
               "port lost" + (transfer.started() ? " after " + transfer.lastRecord() : std::string()) + " (" +
                   message.detail + ")");
        return true;
    }
    // The machine's own box ends a transfer as its state tells (watchTransfer).
    if (form.Machine().state() == State::Failed && phase == Phase::Transferring)
        return false;
    switch (source) {
    case Source::Open:
        if (portWait.retry([this] { openPort(); })) {
            // Said once, also where no one watches a terminal: a log shows why the run took longer.
            if (portWait.attempts() == 1)
                output.err(output.programName + ": waiting up to " + secondsText(*options.waitPortSeconds) +
                           " s for " + options.port + " (" + message.detail + ")\n");
            progress.status(portWait.status(options.port));
            return true;
        }
        finish(ExitCode::PortNotAvailable, openFailureText(options.port, message.detail, output.programName));
        return true;
    case Source::ConnectionTick:
        if (options.operation == Operation::Scan) {
            scanEnded();
            return true;
        }
        finish(ExitCode::NoDevice, line);
        return true;
    case Source::Load:
        finish(message.icon == FormView::Icon::Critical ? ExitCode::FileError : ExitCode::InternalError,
               line);
        return true;
    default:
        finish(ExitCode::InternalError, line);
        return true;
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
    const std::string answer = withoutLineEnd(view.text8());
    const auto ended = [&](const ProtocolMachine::Step& step, const std::string& refusal) {
        if (step.event == Event::NotSent)
            finish(ExitCode::PortNotAvailable, "the command could not be sent");
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
            if (step->action == Action::Ready) {
                result.address = currentAddress();
                // Standard output carries only the reply, as for version and install.
                output.err(output.programName + ": the device answers at its new address " + options.newAddress +
                           "\n");
                finish(ExitCode::Success, answer);
            } else {
                finish(ExitCode::NoDevice, "no answer at the new address " + options.newAddress);
            }
        }
        break;
    default:
        break;
    }
}

void RunController::interrupt(ExitCode code) {
    if (modemLines.running() && phase == Phase::Finished) {
        modemLines.cancel();
        // The operation had ended before the signal came: its outcome stands.
        result.note = "--after was cut short by a signal";
        conclude(endedBeforeAfter.first, endedBeforeAfter.second);
        return;
    }
    if (phase == Phase::Finished)
        return;
    std::string where;
    if (transfer.started())
        where = " at " + transfer.position();
    else if (phase == Phase::Connecting)
        where = " while connecting";
    finish(code, "interrupted" + where);
}

void RunController::finish(ExitCode code, std::string message) {
    if (phase == Phase::Finished)
        return;
    if (code == ExitCode::NoDevice && phase == Phase::Connecting)
        message += probeAnswers.unreadableNote(options.baud);
    phase = Phase::Finished;
    connectionPacer.stop();
    receiveTrigger.stop();
    deadlineTimer.stop();
    portWait.stop();
    modemLines.cancel();
    if (options.afterSteps.empty() || endedBySignal(code) || modemLinesFailed || portLost ||
        !activity.portOpen()) {
        conclude(code, std::move(message));
        return;
    }
    endedBeforeAfter = {code, message};
    modemLines.run(options.afterSteps, "--after",
                   [this, code, message](const std::optional<std::string>& failure) {
                       // The operation's own failure says more than the sequence's.
                       if (failure && code == ExitCode::Success)
                           conclude(ExitCode::PortNotAvailable, *failure);
                       else
                           conclude(code, failure ? message + "; " + *failure : message);
                   });
}

void RunController::conclude(ExitCode code, std::string message) {
    std::int16_t cancel = 0;
    try {
        form.Form_Unload(cancel);
    } catch (const std::exception&) {
        // The run is over either way; a port that fails to close is gone already.
    }
    if (transfer.started()) {
        // A lost port was closed as "Close" closes it, which resets the bar: the last line drawn stands.
        if (!portLost)
            progress.update(transfer.progress());
        progress.finish();
    } else {
        progress.clear();
    }

    result.exitCode = code;
    result.message = message;
    result.durationMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
            .count();

    const bool replyIsResult = code == ExitCode::Success && (options.operation == Operation::Version ||
                                                             options.operation == Operation::Install ||
                                                             options.operation == Operation::SetAddress);
    // The message may carry a reply, a port or a file name: shown, never obeyed, on one line.
    if (replyIsResult) {
        if (!options.json)
            output.out(visibleText(message) + "\n");
    } else if (!message.empty()) {
        output.err(output.programName + ": " + visibleText(message) + "\n");
    }
    if (!result.note.empty())
        output.err(output.programName + ": " + result.note + "\n");
    if (onFinished) {
        // Later, from the loop: whoever is told may destroy this controller.
        QTimer::singleShot(0, [finished = onFinished, ended = result] { finished(ended); });
        return;
    }
    loop.quit();
}
