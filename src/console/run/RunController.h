#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <QEventLoop>
#include <QTimer>

#include "console/cli/CliOptions.h"
#include "console/output/ConsoleOutput.h"
#include "console/output/ProgressReporter.h"
#include "console/output/RunResult.h"
#include "console/ports/ActivityWatchingPort.h"
#include "console/run/ConnectionPacer.h"
#include "console/run/ConsoleView.h"
#include "console/run/LateReplyWatch.h"
#include "console/run/ModemLineRunner.h"
#include "console/run/PortWait.h"
#include "console/run/PreciseTimer.h"
#include "console/run/ProbeAnswerWatch.h"
#include "console/run/ReceiveTrigger.h"
#include "console/run/TransferWatch.h"
#include "link/ReplyFrameSpotter.h"
#include "ports/qt/ReadyReadSource.h"
#include "window/frmSerial.h"

// Drives one operation through the window's handlers, as a user clicking the window would:
// it types the options into the controls, clicks "Open", feeds the two timers, clicks the
// operation's button once the device answered, and watches the controls to tell how it ended.
// It makes no protocol decision of its own: the window's protocol machine decides, with the
// flasher's limits, and the run reads how it ended from the machine's state and steps.
class RunController {
  public:
    RunController(const CliOptions& options, ConsoleView& view, frmSerial& form,
                  ActivityWatchingPort& activity, ConsoleOutput output);

    // Runs the event loop until the operation has ended; the port is closed on return.
    RunResult run();
    // Starts the operation and returns at once; `finished` is called from the event loop once it
    // has ended and the port is closed, so several runs can share one loop. The controller may be
    // destroyed from within `finished`.
    void begin(std::function<void(const RunResult&)> finished);
    // Takes the port's ready-read notification, and tells the port when it is worth one.
    void listenTo(ReadyReadSource& port) { receiveTrigger.listenTo(port); }
    // Ends the run at once, as a signal asks: Interrupted or Terminated.
    void interrupt(ExitCode code);

  private:
    // Reaches the line first, so a network connection and its set-up hold no other port of a
    // batch, then clicks "Open" and goes on with `then`.
    void clickOpen(std::function<void()> then);
    void afterOpen();
    enum class Phase { Connecting, Transferring, AwaitingReply, ConfirmingNewAddress, Finished };
    // Which handler ran, so a message box can be told apart by its source.
    enum class Source { Open, ConnectionTick, PollTick, Load, Click, Close };

    void start();
    void openPort();
    void startConnectionWait();
    void connectionTimedOut();
    void call(Source source, void (frmSerial::*handler)());
    void afterEvent(Source source);
    void onConnected();
    void onAnswered(const std::string& reply, bool moreThanOneBoard);
    void clickOperation();
    int currentAddress() const;
    // Whether received bytes wait unread at the port.
    bool bytesWaiting();

    // A scan's bookkeeping (RunControllerScan.cpp).
    void scanRangeEnded();
    void spotLateReplies(const std::string& bytes);
    void scanEnded();
    void recordFoundDevice(const std::string& reply, bool moreThanOneBoard);
    bool everyAddressAnswered() const;
    void askBroadcastAddress();
    void listFoundDevices(std::size_t count);

    // How the run ends (RunControllerEnding.cpp).
    bool handleMessages(Source source);
    void watchTransfer();
    void watchReply();
    void finishFailed(const Failure& failure);
    void noteReplyFromNewAddress(const std::string& bytes);
    void answersAtNewAddress(const std::string& reply);
    // How the machine left `awaited` during the last event, if it did.
    std::optional<ProtocolMachine::Step> left(State awaited) const;
    void finish(ExitCode code, std::string message);
    void conclude(ExitCode code, std::string message);

    const CliOptions& options;
    ConsoleView& view;
    frmSerial& form;
    ActivityWatchingPort& activity;
    ConsoleOutput output;

    QEventLoop loop;
    ConnectionPacer connectionPacer; // ticks Timer3_Timer
    ProbeAnswerWatch probeAnswers;   // whether one board or more answered a probe
    ReceiveTrigger receiveTrigger;
    PreciseTimer deadlineTimer; // wakes the window's logic when the machine's deadline is due
    PortWait portWait;
    ModemLineRunner modemLines;
    bool modemLinesFailed = false;
    bool portLost = false;
    std::vector<ProtocolMachine::Step> steps; // the machine's steps during the event being handled
    std::string lastReply;                    // the text of the last reply with a keyword

    Phase phase = Phase::Connecting;
    RunResult result;
    std::pair<ExitCode, std::string> endedBeforeAfter; // how the operation ended, while --after runs
    std::chrono::steady_clock::time_point started;
    std::size_t messagesSeen = 0;
    int readySeen = 0;
    ReplyTally repliesAtClick;
    bool reopened = false;
    TransferWatch transfer;
    LateReplyWatch lateReplies;
    ReplyFrameSpotter replyReads;        // which reads complete a reply, for the receive forecast
    ReplyFrameSpotter newAddressReplies; // set-address: a board that answers from its new address
    bool answeredFromNewAddress = false;
    // A scan's listing waits while every address so far has answered: it may be one board that
    // answers at all of them.
    std::vector<std::string> heldScanLines;
    bool broadcastAsked = false;
    bool broadcastPending = false; // its answer window is open
    ProgressReporter progress;
    std::function<void(const RunResult&)> onFinished; // empty: run() waits in its own loop
};
