#include "console/run/RunController.h"

#include <algorithm>
#include <cmath>

#include "console/run/RunTexts.h"
#include "link/NumberRule.h"

namespace {

// A limit given in seconds, to the millisecond, at least one.
std::chrono::milliseconds limitOf(double seconds) {
    return std::max(std::chrono::milliseconds(1), std::chrono::milliseconds(std::llround(seconds * 1000)));
}

} // namespace

RunController::RunController(const CliOptions& options, ConsoleView& view, frmSerial& form,
                             ActivityWatchingPort& activity, ConsoleOutput output)
    : options(options), view(view), form(form), activity(activity), output(std::move(output)),
      connectionPacer(options, form,
                      {[this] { call(Source::ConnectionTick, &frmSerial::Timer3_Timer); },
                       [this] { scanRangeEnded(); }, [this] { connectionTimedOut(); }}),
      probeAnswers(options), receiveTrigger(
                                 options, [this] { call(Source::PollTick, &frmSerial::TMRComm_Timer); },
                                 [this] { return this->form.HeldFrameDue(); }),
      deadlineTimer([this] { call(Source::PollTick, &frmSerial::TMRComm_Timer); }),
      portWait(options.waitPortSeconds), modemLines(activity),
      transfer(view, form, options.operation == Operation::Download),
      lateReplies(options.scanFirst, connectionPacer.scanProbeWait(), options.probeMarginMs),
      progress(this->output.errIsTerminal && !options.trace,
               options.quiet ? std::function<void(const std::string&)>([](const std::string&) {})
                             : this->output.err,
               this->output.errColumns) {
    form.SetLimits({limitOf(options.stallTimeoutSeconds), limitOf(options.eraseTimeoutSeconds)});
    if (options.frameGapMs)
        form.FrameGap = std::chrono::round<frmSerial::Clock::duration>(
            std::chrono::duration<double, std::milli>(*options.frameGapMs));
    form.OnMachineStep = [this](const ProtocolMachine::Step& step) {
        steps.push_back(step);
        // The reply is in the answer box now; bytes later in the same read may replace it there.
        if (step.event == Event::Version || step.event == Event::Accepted || step.event == Event::Refused ||
            step.event == Event::PassEnd || step.event == Event::Erase)
            lastReply = this->view.text8();
        portLost = portLost || step.event == Event::PortLost;
    };
    view.onTimer3Switched = [this](bool on) { connectionPacer.switched(on); };
    view.onTMRCommSwitched = [this](bool on) { receiveTrigger.switched(on); };
    form.Receiver.heldFrameWait = receiveTrigger.heldReplyWait();
    activity.setOnReceived([this](const std::string& bytes) {
        receiveTrigger.bytesRead(!replyReads.feed(bytes).empty());
        if (phase == Phase::Connecting)
            probeAnswers.received(bytes);
        spotLateReplies(bytes);
        noteReplyFromNewAddress(bytes);
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
    portWait.start();
    openPort();
}

void RunController::openPort() {
    clickOpen([this] { afterOpen(); });
}

void RunController::clickOpen(std::function<void()> then) {
    const std::string settings = std::to_string(options.baud) + ",n,8,1";
    activity.reach(options.port, settings, [this, then = std::move(then)] {
        if (phase == Phase::Finished)
            return;
        call(Source::Open, &frmSerial::BTNOpenCom_Click);
        then();
    });
}

void RunController::afterOpen() {
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
}

void RunController::connectionTimedOut() {
    if (phase != Phase::Connecting || probeAnswers.judging())
        return;
    const std::string where = form.ScanMode == 1 ? "" : " at address " + view.text1();
    finish(ExitCode::NoDevice,
           "no device answered" + where + " within " + secondsText(*options.connectTimeoutSeconds) + " s");
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
    struct StepsRead {
        std::vector<ProtocolMachine::Step>& steps;
        ~StepsRead() { steps.clear(); }
    } stepsRead{steps};
    if (phase == Phase::Finished || handleMessages(source))
        return;
    if (const auto deadline = form.Machine().deadline())
        deadlineTimer.startAt(*deadline);
    else
        deadlineTimer.stop();
    switch (phase) {
    case Phase::Connecting:
        if (view.readyCount() > readySeen) {
            readySeen = view.readyCount();
            onConnected();
        } else if (source == Source::ConnectionTick) {
            probeAnswers.probeSent(currentAddress(), bytesWaiting());
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

int RunController::currentAddress() const {
    try {
        return static_cast<int>(WholeNumber(view.text1(), 0, 255));
    } catch (const std::exception&) {
        return -1;
    }
}

bool RunController::bytesWaiting() {
    try {
        return activity.inBufferCount() > 0;
    } catch (const PortError&) {
        return false; // the receive step finds the loss
    }
}
