#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QTimer>

#include "console/cli/ResetSequence.h"
#include "link/SerialPortService.h"

// Plays a modem-line sequence (--reset, --after) on the open port: each change at once, each wait
// on the event loop, so other ports of a batch go on meanwhile.
class ModemLineRunner {
  public:
    // What a run ends with: empty on success, else the reason naming the option and the step.
    using Done = std::function<void(const std::optional<std::string>& failure)>;

    explicit ModemLineRunner(SerialPortService& port);

    // Whether the line has modem lines at all; the reason when it has none. Sends nothing.
    std::optional<std::string> missingLines();
    // Runs `steps` of the option `option`; `done` is called once, at once for an empty sequence.
    void run(const std::vector<ResetStep>& steps, const std::string& option, Done done);
    // Stops a running sequence without calling `done`.
    void cancel();
    bool running() const { return !!onDone; }

  private:
    void next();
    void end(const std::optional<std::string>& failure);

    SerialPortService& port;
    QTimer waitTimer;
    std::vector<ResetStep> steps;
    std::size_t nextStep = 0;
    std::string option;
    Done onDone;
};
