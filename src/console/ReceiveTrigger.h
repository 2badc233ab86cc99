#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include <QObject>

#include "console/PollTicker.h"

// Decides when the window's receive handler runs in the flasher. By default the moment bytes
// arrive at the port; with a poll interval on a fixed tick, as the window does. Either way only
// while the window's logic has its receive poll switched on: it switches it off when the port closes
// and around every send.
class ReceiveTrigger {
  public:
    // `pollInterval` empty: on arrival. `runHandler` runs the receive handler once.
    ReceiveTrigger(std::optional<std::chrono::milliseconds> pollInterval, std::function<void()> runHandler);

    // The window's logic switched its receive poll on or off.
    void switched(bool on);
    // The port has received bytes (its ready-read notification).
    void bytesArrived();
    // No handler runs after this, whatever arrives.
    void stop();

  private:
    std::function<void()> runHandler;
    std::unique_ptr<PollTicker> ticker;
    bool on = false;
    // Bytes that came while the poll was off are read once it is on again: the port announces
    // them only once.
    bool arrivedWhileOff = false;
    QObject lifetime; // a deferred read dies with the trigger
};
