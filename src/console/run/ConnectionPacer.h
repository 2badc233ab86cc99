#pragma once

#include <chrono>
#include <functional>

#include <QTimer>

#include "console/cli/CliOptions.h"
#include "window/frmSerial.h"

// The clock of the flasher's connection wait, in place of the window's Timer3. It ticks the
// window's connection handler at the window's 200 ms while one known address is probed, and at the
// probe wait the speed allows while the bus is scanned. It also tells when a scan range ends below
// the window's last address, and when the connect deadline has passed.
class ConnectionPacer {
  public:
    struct Events {
        std::function<void()> tick;       // run the connection handler
        std::function<void()> rangeEnded; // the scan has passed the last address of its range
        std::function<void()> deadlinePassed;
    };

    ConnectionPacer(const CliOptions& options, const frmSerial& form, Events events);

    // The window's logic switched Timer3 on or off. Starting a running timer restarts its
    // interval, as the window's timer does.
    void switched(bool on);
    // Starts the connect deadline, when the command line set one.
    void startDeadline();
    void stop();

    std::chrono::milliseconds scanProbeWait() const { return scanWait; }

  private:
    void timedOut();

    const CliOptions& options;
    const frmSerial& form;
    Events events;
    std::chrono::milliseconds scanWait;
    QTimer timer3;
    QTimer deadline;
};
