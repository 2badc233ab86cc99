#include "console/run/RunController.h"

#include <algorithm>

#include "console/output/LineTexts.h"
#include "console/run/InstallOutcome.h"
#include "console/run/RunTexts.h"
#include "link/VisibleText.h"
#include "protocol/FailureText.h"

// How a run ends: a message box or a signal mapped to an exit code and message, then the --after
// sequence, the port closed and the result given.

// A message box ends the operation; which one it was follows from the handler that showed it.
bool RunController::handleMessages(Source source) {
    const auto& messages = view.messages();
    if (messagesSeen == messages.size())
        return false;
    const ConsoleView::Message message = messages.back();
    messagesSeen = messages.size();
    const std::string line = view.messageLine(message);
    // A second board that answered the connection's probe is the probe judge's to report, in the
    // scan's books and words.
    const bool namedConflict = std::any_of(steps.begin(), steps.end(), [](const ProtocolMachine::Step& step) {
        return step.action == Action::NameConflict;
    });
    if (namedConflict && phase == Phase::Connecting)
        return false;

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
