#include "console/RunController.h"

#include "console/InstallOutcome.h"
#include "console/LineTexts.h"
#include "link/NumberRule.h"

namespace {

std::string withoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string secondsText(double seconds) {
    std::string text = std::to_string(seconds);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return text;
}

} // namespace

RunController::RunController(const CliOptions& options, ConsoleView& view, frmSerial& form,
                             ActivityWatchingPort& activity, ConsoleOutput output)
    : options(options), view(view), form(form), activity(activity), output(std::move(output)),
      connectionPacer(options, form,
                      {[this] { call(Source::ConnectionTick, &frmSerial::Timer3_Timer); },
                       [this] { scanRangeEnded(); }, [this] { connectionTimedOut(); }}),
      receiveTrigger(options, [this] { call(Source::PollTick, &frmSerial::TMRComm_Timer); },
                     [this] { return this->form.HeldFrameDue(); }),
      stallWatch(std::chrono::duration<double>(options.stallTimeoutSeconds),
                 [this] { return this->activity.lastActivity(); }, [this] { stalled(); }),
      portWait(options.waitPortSeconds), modemLines(activity),
      transfer(view, form, options.operation == Operation::Download),
      lateReplies(options.scanFirst, connectionPacer.scanProbeWait(), options.probeMarginMs),
      progress(this->output.errIsTerminal && !options.trace,
               options.quiet ? std::function<void(const std::string&)>([](const std::string&) {})
                             : this->output.err) {
    // The run's own stall watch, with --stall-timeout and the retries, stands in for the window's.
    form.ReplyStallLimit = std::chrono::milliseconds::zero();
    view.onTimer3Switched = [this](bool on) { connectionPacer.switched(on); };
    view.onTMRCommSwitched = [this](bool on) { receiveTrigger.switched(on); };
    form.HeldFrameWait = receiveTrigger.heldReplyWait();
    activity.setOnReceived([this](const std::string& bytes) {
        receiveTrigger.bytesRead();
        spotLateReplies(bytes);
    });
    activity.setOnSent([this](std::size_t bytes) { receiveTrigger.requestSent(bytes); });

    result.operation = operationName(options.operation);
    result.port = options.port;
    result.address = options.address;
}

RunResult RunController::run() {
    started = std::chrono::steady_clock::now();
    QTimer::singleShot(0, [this] { start(); });
    loop.exec();
    return result;
}

void RunController::begin(std::function<void(const RunResult&)> finished) {
    onFinished = std::move(finished);
    started = std::chrono::steady_clock::now();
    QTimer::singleShot(0, [this] { start(); });
}

void RunController::start() {
    view.setPortText(options.port);
    view.selectSpeed(options.baud);
    view.setModbusRtu(options.modbusRtu);
    view.setText1Text(options.address ? std::to_string(*options.address) : std::string());
    if (!options.newAddress.empty())
        view.setText2Text(options.newAddress);
    view.setChosenFile(options.file);
    stallWatch.start();
    portWait.start();
    openPort();
}

void RunController::openPort() {
    call(Source::Open, &frmSerial::BTNOpenCom_Click);
    if (phase != Phase::Connecting || !activity.portOpen())
        return;
    if (options.resetSteps.empty() && options.afterSteps.empty()) {
        startConnectionWait();
        return;
    }
    // Refused before anything is sent: a sequence that cannot run must not half run.
    if (const auto missing = modemLines.missingLines()) {
        modemLinesFailed = true;
        finish(ExitCode::PortNotAvailable, *missing);
        return;
    }
    // The board listens only once the sequence has reset it: no probe goes out before.
    connectionPacer.stop();
    modemLines.run(options.resetSteps, "--reset", [this](const std::optional<std::string>& failure) {
        if (failure) {
            modemLinesFailed = true;
            finish(ExitCode::PortNotAvailable, *failure);
            return;
        }
        if (view.timer3Enabled())
            connectionPacer.switched(true);
        startConnectionWait();
    });
}

void RunController::startConnectionWait() {
    if (phase == Phase::Connecting && form.ScanMode == 1)
        form.ConnectCount = static_cast<std::int16_t>(options.scanFirst);
    if (phase == Phase::Connecting && options.operation != Operation::Scan)
        connectionPacer.startDeadline();
    // Address "0" opens without a connection wait: nothing will answer before a command does.
    if (phase == Phase::Connecting && activity.portOpen() && view.text1() == "0")
        onConnected();
}

void RunController::scanRangeEnded() {
    if (options.operation == Operation::Scan)
        scanEnded();
    else
        finish(ExitCode::NoDevice, "no device answered at the addresses " +
                                       std::to_string(options.scanFirst) + " to " +
                                       std::to_string(options.scanLast));
}

void RunController::connectionTimedOut() {
    if (phase != Phase::Connecting)
        return;
    const std::string where = form.ScanMode == 1 ? "" : " at address " + view.text1();
    finish(ExitCode::NoDevice,
           "no device answered" + where + " within " + secondsText(*options.connectTimeoutSeconds) + " s");
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
    finish(result.devices.empty() ? ExitCode::NoDevice : ExitCode::Success, summary);
}

void RunController::call(Source source, void (frmSerial::*handler)()) {
    if (phase == Phase::Finished)
        return;
    try {
        (form.*handler)();
    } catch (const std::exception& error) {
        finish(ExitCode::InternalError, std::string("unexpected failure: ") + error.what());
        return;
    }
    afterEvent(source);
}

void RunController::afterEvent(Source source) {
    if (phase == Phase::Finished || handleMessages(source))
        return;
    switch (phase) {
    case Phase::Connecting:
        if (view.readyCount() > readySeen) {
            readySeen = view.readyCount();
            onConnected();
        } else if (source == Source::ConnectionTick) {
            progress.status(view.label2());
        }
        break;
    case Phase::Transferring:
        watchTransfer();
        break;
    case Phase::AwaitingReply:
    case Phase::ConfirmingNewAddress:
        watchReply();
        break;
    case Phase::Finished:
        break;
    }
}

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

void RunController::onConnected() {
    if (options.operation == Operation::Scan) {
        // A scan has no one address: each device found is listed with its own.
        recordFoundDevice();
        call(Source::Click, &frmSerial::Command1_Click);
        return;
    }
    result.address = currentAddress();
    result.reply = withoutLineEnd(view.text8());
    // After a scan "Set Addr" reads "Next": close and open again, as a user would, so that the
    // found address in the box is used as a plain address.
    if (options.operation == Operation::SetAddress && form.ScanMode == 1 && !reopened) {
        reopened = true;
        call(Source::Close, &frmSerial::BTNCloseCom_Click);
        call(Source::Open, &frmSerial::BTNOpenCom_Click);
        return;
    }
    clickOperation();
}

void RunController::clickOperation() {
    readySeen = view.readyCount();
    text8AtClick = view.text8Count();
    repliesAtClick = form.Replies;
    stallWatch.waitFromNow();
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
            stallWatch.waitFromNow();
            call(Source::Click, &frmSerial::Command4_Click);
        } else if (phase == Phase::ConfirmingNewAddress && view.readyCount() > readySeen) {
            result.address = currentAddress();
            finish(ExitCode::Success, "the device answers at address " + options.newAddress + ": " +
                                          withoutLineEnd(view.text8()));
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

void RunController::recordFoundDevice() {
    RunResult::Device device{currentAddress(), withoutLineEnd(view.text8())};
    result.devices.push_back(device);
    progress.clear();
    if (!options.json)
        output.out(std::to_string(device.address) + "\t" + device.reply + "\n");
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
    if (replyIsResult) {
        if (!options.json)
            output.out(message + "\n");
    } else if (!message.empty()) {
        output.err(output.programName + ": " + message + "\n");
    }
    if (onFinished) {
        // Later, from the loop: whoever is told may destroy this controller.
        QTimer::singleShot(0, [finished = onFinished, ended = result] { finished(ended); });
        return;
    }
    loop.quit();
}

int RunController::currentAddress() const {
    try {
        return static_cast<int>(WholeNumber(view.text1(), 0, 255));
    } catch (const std::exception&) {
        return -1;
    }
}
