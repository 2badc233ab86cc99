#include "console/run/RunController.h"

#include "console/output/LineTexts.h"
#include "console/run/InstallOutcome.h"
#include "console/run/RunTexts.h"
#include "link/VisibleText.h"

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

    if (form.LostPort == 1) {
        finish(ExitCode::PortNotAvailable,
               "port lost" + (transfer.started() ? " after " + transfer.lastRecord() : std::string()) + " (" +
                   message.detail + ")");
        return true;
    }
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
    case TransferWatch::Stage::EndedEarly:
        finish(ExitCode::DeviceError, transfer.earlyEnd());
        break;
    case TransferWatch::Stage::Running:
        progress.update(transfer.progress());
        break;
    }
}

void RunController::watchReply() {
    switch (options.operation) {
    case Operation::Version:
        if (view.readyCount() > readySeen)
            finish(ExitCode::Success, withoutLineEnd(view.text8()));
        break;
    case Operation::Install:
        if (const auto outcome = installOutcome(form.Replies.since(repliesAtClick), false,
                                                withoutLineEnd(view.text8()), {}))
            finish(outcome->code, outcome->message);
        break;
    case Operation::SetAddress:
        if (phase == Phase::AwaitingReply && view.text8Count() > text8AtClick) {
            // Check that the device now answers at its new address: type it into the address box
            // and ask with "?".
            phase = Phase::ConfirmingNewAddress;
            view.setText1Text(options.newAddress);
            readySeen = view.readyCount();
            stallWatch.restartClock();
            call(Source::Click, &frmSerial::Command4_Click);
        } else if (phase == Phase::ConfirmingNewAddress && view.readyCount() > readySeen) {
            result.address = currentAddress();
            // Standard output carries only the reply, as for version and install.
            output.err(output.programName + ": the device answers at its new address " + options.newAddress +
                       "\n");
            finish(ExitCode::Success, withoutLineEnd(view.text8()));
        }
        break;
    default:
        break;
    }
}

void RunController::stalled() {
    if (phase != Phase::Transferring && phase != Phase::AwaitingReply && phase != Phase::ConfirmingNewAddress)
        return;
    const std::string silence =
        "stall: no reply from the device for " + secondsText(options.stallTimeoutSeconds) + " s";
    if (phase == Phase::Transferring) {
        finish(ExitCode::Stall, silence + " after " + transfer.lastRecord());
    } else if (phase == Phase::ConfirmingNewAddress) {
        finish(ExitCode::NoDevice, "no answer at the new address " + options.newAddress);
    } else if (options.operation == Operation::Install) {
        // The started application need not answer the version query: the board's "OK" decides.
        const auto outcome =
            installOutcome(form.Replies.since(repliesAtClick), true, withoutLineEnd(view.text8()), silence);
        finish(outcome->code, outcome->message);
    } else {
        finish(ExitCode::Stall, silence);
    }
}

void RunController::interrupt(ExitCode code) {
    if (modemLines.running() && phase == Phase::Finished) {
        modemLines.cancel();
        conclude(code, "interrupted during --after");
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
    phase = Phase::Finished;
    connectionPacer.stop();
    receiveTrigger.stop();
    stallWatch.stop();
    portWait.stop();
    modemLines.cancel();
    const bool interrupted = code == ExitCode::Interrupted || code == ExitCode::Terminated;
    if (options.afterSteps.empty() || interrupted || modemLinesFailed || form.LostPort == 1 ||
        !activity.portOpen()) {
        conclude(code, std::move(message));
        return;
    }
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
        if (form.LostPort != 1)
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
    if (onFinished) {
        // Later, from the loop: whoever is told may destroy this controller.
        QTimer::singleShot(0, [finished = onFinished, ended = result] { finished(ended); });
        return;
    }
    loop.quit();
}
