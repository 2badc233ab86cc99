#pragma once

#include <functional>
#include <memory>

#include <QSocketNotifier>

#include "console/cli/ExitCode.h"

// Turns SIGHUP, SIGINT and SIGTERM into a call on the event loop, so that a run stopped from outside
// (a closed terminal or SSH session, Ctrl-C, a kill) ends as any other run does: port closed, last
// line written, result printed. The handler only writes the signal's number into a pipe; a second
// signal of the same kind ends the program the default way.
class SignalWatch {
  public:
    explicit SignalWatch(std::function<void(int signal)> onSignal);
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

  private:
    std::function<void(int)> onSignal;
    int pipeFds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier;
};

// The exit code of a run a watched signal ended: 128 + its number, as shells give it.
ExitCode signalExitCode(int signal);
