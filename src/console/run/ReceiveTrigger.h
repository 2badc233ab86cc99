#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

#include <QObject>

#include "console/cli/CliOptions.h"
#include "console/run/PreciseTimer.h"
#include "console/run/ReplyForecast.h"
#include "ports/qt/ReadyReadSource.h"

// Decides when the window's receive handler runs in the flasher. By default the moment bytes
// arrive at the port; with a poll interval on a fixed tick, as the window does. Either way only
// while the window's logic has its receive poll switched on: it switches it off when the port closes
// and around every send.
//
// On arrival it also spares the wake-ups that cannot help: the port is asked not to watch the
// line while a request's reply is still crossing it, as far as the replies seen so far tell.
class ReceiveTrigger {
  public:
    // As the options ask: on arrival with Modbus RTU framing, unless a poll interval is given.
    // `runHandler` runs the receive handler once; `heldReplyDue` tells when the handler holds a
    // reply back until then, should no byte come first (empty: it holds none).
    ReceiveTrigger(const CliOptions& options, std::function<void()> runHandler,
                   std::function<std::optional<PreciseTimer::Clock::time_point>()> heldReplyDue);

    // How long a reply whose end is not yet certain waits for more bytes: a few bytes' time on
    // the line, and the time a loaded host and the port's driver take to hand them over. Replies
    // that end in CR LF never wait, so this costs a transfer nothing.
    std::chrono::microseconds heldReplyWait() const { return heldWait; }

    // Takes the port's ready-read notification, and tells the port when it is worth one.
    void listenTo(ReadyReadSource& port);
    // The window's logic switched its receive poll on or off.
    void switched(bool on);
    // The port has received bytes (its ready-read notification).
    void bytesArrived();
    // The receive handler has read bytes from the port; `completedReply`: they completed a reply
    // frame. Only such reads tell how long a reply takes: noise read after the reply, or instead
    // of one, would make it seem to take until the next request.
    void bytesRead(bool completedReply);
    // A request of `bytes` went out. The device answers one request at a time, so the reply to
    // the one before is complete by now: its last bytes were the last read.
    void requestSent(std::size_t bytes);
    // No handler runs after this, whatever arrives.
    void stop();

  private:
    // The time the reply was expected has come: the port watches the line again.
    void lookAtLine();
    // A pause ends early: the port watches the line again.
    void watchAgain();
    // Runs the handler, and again when a reply it holds back is due.
    void runHandlerNow();
    // Runs the handler once the line has been quiet for the gap between frames, so that a frame
    // the handler sends need not wait inside it, holding every other port of the event loop.
    void runHandlerAfterGap();

    std::function<void()> runHandler;
    std::function<std::optional<PreciseTimer::Clock::time_point>()> heldReplyDue;
    std::chrono::microseconds heldWait;
    PreciseTimer heldReplyTimer;
    std::optional<std::chrono::milliseconds> pollInterval; // empty: on arrival
    std::unique_ptr<PreciseTimer> ticker;
    ReadyReadSource* port = nullptr;
    bool on = false;
    // Bytes that came while the poll was off are read once it is on again: the port announces
    // them only once.
    bool arrivedWhileOff = false;

    ReplyForecast forecast;
    PreciseTimer lookAgain;        // ends a pause in watching the line
    std::chrono::microseconds gap; // zero: none
    PreciseTimer gapTimer;
    std::optional<PreciseTimer::Clock::time_point> gapFrom; // the first arrival the gap holds back
    bool paused = false;
    bool firstLookAfterPause = false;
    bool replySinceRequest = false;
    PreciseTimer::Clock::time_point replyAt; // the read that completed the last reply
    bool replyAtFirstLook = false;
    QObject lifetime; // a deferred read dies with the trigger
};
