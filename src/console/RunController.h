#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include <QEventLoop>
#include <QTimer>

#include "console/ActivityWatchingPort.h"
#include "console/CliOptions.h"
#include "console/ConnectionPacer.h"
#include "console/ConsoleView.h"
#include "console/LateReplyWatch.h"
#include "console/ModemLineRunner.h"
#include "console/PortWait.h"
#include "console/ProgressReporter.h"
#include "console/ReceiveTrigger.h"
#include "console/RunResult.h"
#include "console/StallWatch.h"
#include "console/TransferWatch.h"
#include "window/frmSerial.h"
#include "window/qt/ReadyReadSource.h"

// Where the run's text goes: stdout for results, stderr for messages and progress.
struct ConsoleOutput {
    std::function<void(const std::string&)> out;
    std::function<void(const std::string&)> err;
    bool errIsTerminal = false;
    std::string programName = "bootflash";
};

// Drives one operation through the window's handlers, as a user clicking the window would:
// it types the options into the controls, clicks "Open", feeds the two timers, clicks the
// operation's button once the device answered, and watches the controls to tell how it ended.
// It makes no protocol decision of its own; it only adds the stall watch the window lacks.
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
    enum class Phase { Connecting, Transferring, AwaitingReply, ConfirmingNewAddress, Finished };
    // Which handler ran, so a message box can be told apart by its source.
    enum class Source { Open, ConnectionTick, PollTick, Load, Click, Close };

    void start();
    void openPort();
    void startConnectionWait();
    void scanRangeEnded();
    void connectionTimedOut();
    void spotLateReplies(const std::string& bytes);
    void scanEnded();
    void call(Source source, void (frmSerial::*handler)());
    void afterEvent(Source source);
    bool handleMessages(Source source);
    void onConnected();
    void clickOperation();
    void watchTransfer();
    void watchReply();
    void stalled();
    void recordFoundDevice();
    void finish(ExitCode code, std::string message);
    void conclude(ExitCode code, std::string message);
    int currentAddress() const;

    const CliOptions& options;
    ConsoleView& view;
    frmSerial& form;
    ActivityWatchingPort& activity;
    ConsoleOutput output;

    QEventLoop loop;
    ConnectionPacer connectionPacer; // ticks Timer3_Timer
    ReceiveTrigger receiveTrigger;
    StallWatch stallWatch; // the silence the window does not watch for
    PortWait portWait;
    ModemLineRunner modemLines;
    bool modemLinesFailed = false;

    Phase phase = Phase::Connecting;
    RunResult result;
    std::chrono::steady_clock::time_point started;
    std::size_t messagesSeen = 0;
    int readySeen = 0;
    int text8AtClick = 0;
    ReplyTally repliesAtClick;
    bool reopened = false;
    TransferWatch transfer;
    LateReplyWatch lateReplies;
    ProgressReporter progress;
    std::function<void(const RunResult&)> onFinished; // empty: run() waits in its own loop
};
