#include "console/run/ReceiveTrigger.h"

#include <QTimer>

#include "link/FrameGap.h"
#include "protocol/ProbeWait.h"

namespace {

constexpr std::chrono::milliseconds kWindowPoll{20};

// Empty: the receive handler runs the moment bytes arrive. Without framing the handler takes each
// chunk it reads as a whole reply, so there the window's poll still gathers a reply between reads.
std::optional<std::chrono::milliseconds> receivePollInterval(const CliOptions& options) {
    if (options.pollMs)
        return std::chrono::milliseconds(*options.pollMs);
    if (!options.modbusRtu)
        return kWindowPoll;
    return std::nullopt;
}

// A pause shorter than this saves no wake-up worth its own.
constexpr auto kShortestPause = std::chrono::microseconds(500);

// Slower answers (an erase, a busy device) are watched as they come: a pause that long could
// only make a quicker answer wait. A request and its reply take well under 150 bytes' time.
std::chrono::microseconds longestPause(int baud) {
    return lineTime(150, baud) + std::chrono::milliseconds(20);
}
// A line that never goes quiet still has its bytes read this often.
constexpr auto kLongestGapHold = std::chrono::milliseconds(20);

} // namespace

ReceiveTrigger::ReceiveTrigger(const CliOptions& options, std::function<void()> runHandler,
                               std::function<std::optional<PreciseTimer::Clock::time_point>()> heldReplyDue)
    : runHandler(std::move(runHandler)), heldReplyDue(std::move(heldReplyDue)),
      heldWait(lineTime(4, options.baud) + kWakeAllowance), heldReplyTimer([this] { bytesArrived(); }),
      pollInterval(receivePollInterval(options)),
      // Look a byte and a half before the reply is expected to be complete: its last bytes are
      // then watched, which shows when it completes.
      forecast(options.baud, lineTime(3, options.baud) / 2, kShortestPause, longestPause(options.baud)),
      lookAgain([this] { lookAtLine(); }),
      gap(options.frameGapMs ? std::chrono::round<std::chrono::microseconds>(
                                   std::chrono::duration<double, std::milli>(*options.frameGapMs))
                             : frameGap(options.baud)),
      gapTimer([this] {
          gapFrom.reset();
          runHandlerNow();
      }) {
    if (pollInterval)
        ticker = std::make_unique<PreciseTimer>([this] { this->runHandler(); });
}

void ReceiveTrigger::listenTo(ReadyReadSource& source) {
    port = &source;
    source.setOnReadyRead([this] { bytesArrived(); });
}

void ReceiveTrigger::switched(bool switchedOn) {
    on = switchedOn;
    if (ticker) {
        on ? ticker->startEvery(*pollInterval) : ticker->stop();
        return;
    }
    if (on && arrivedWhileOff) {
        arrivedWhileOff = false;
        // Not from inside the handler that switched the poll on: the handler runs to its end first.
        QTimer::singleShot(0, &lifetime, [this] { bytesArrived(); });
    }
}

void ReceiveTrigger::bytesArrived() {
    if (ticker)
        return;
    if (!on) {
        arrivedWhileOff = true;
        return;
    }
    runHandlerAfterGap();
}

void ReceiveTrigger::runHandlerAfterGap() {
    const auto now = PreciseTimer::Clock::now();
    if (gap > std::chrono::microseconds::zero()) {
        if (!gapFrom)
            gapFrom = now;
        if (now - *gapFrom < kLongestGapHold) {
            gapTimer.startAt(now + gap);
            return;
        }
    }
    gapTimer.stop();
    gapFrom.reset();
    runHandlerNow();
}

void ReceiveTrigger::runHandlerNow() {
    runHandler();
    if (const auto due = heldReplyDue())
        heldReplyTimer.startAt(*due);
    else
        heldReplyTimer.stop();
}

void ReceiveTrigger::bytesRead(bool completedReply) {
    const bool firstLook = firstLookAfterPause;
    firstLookAfterPause = false;
    if (!completedReply)
        return;
    replyAt = PreciseTimer::Clock::now();
    replyAtFirstLook = firstLook;
    replySinceRequest = true;
}

void ReceiveTrigger::requestSent(std::size_t bytes) {
    if (ticker || !port)
        return;
    if (replySinceRequest)
        forecast.replyComplete(replyAt, replyAtFirstLook);
    replySinceRequest = false;
    const std::optional<PreciseTimer::Clock::time_point> due =
        forecast.requestSent(bytes, PreciseTimer::Clock::now());
    if (!due) {
        watchAgain();
        return;
    }
    paused = true;
    port->pauseReadyRead();
    lookAgain.startAt(*due);
}

void ReceiveTrigger::lookAtLine() {
    if (!paused)
        return;
    paused = false;
    // Only a reply already there when the line is looked at again may have come much sooner.
    firstLookAfterPause = port->resumeReadyRead();
}

void ReceiveTrigger::watchAgain() {
    if (!paused)
        return;
    lookAgain.stop();
    paused = false;
    port->resumeReadyRead();
}

void ReceiveTrigger::stop() {
    switched(false);
    heldReplyTimer.stop();
    gapTimer.stop();
    gapFrom.reset();
    arrivedWhileOff = false;
    watchAgain();
}
