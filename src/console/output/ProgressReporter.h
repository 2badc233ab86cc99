#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "console/output/TerminalWidth.h"

// Where a transfer stands, as the progress bar shows it plus what is left after this pass.
struct ProgressState {
    std::string stage;        // the bar's text: "DOWNLOAD", "VERIFY", "END", "ERROR", ...
    int value = 0;            // records of this pass sent
    int maximum = 0;          // records in the file
    int recordsSent = 0;      // since the transfer started, all passes
    int recordsRemaining = 0; // this pass and the passes still to come
};

// One progress line: "VERIFY  1200/9000  13.3%  410.2 rec/s  0:19 left".
std::string formatProgress(const ProgressState& state, std::optional<double> recordsPerSecond);

// Shows progress on standard error: redrawn in place on a terminal, as plain lines about once
// a second (and at every change of stage) when standard error goes to a file or a pipe. The
// connection wait's status is shown on a terminal only, where a person watches it. A line redrawn
// in place goes back with a carriage return alone, which any terminal obeys, and is cut to the
// terminal's width, so that it never wraps onto a second line the return cannot reach.
class ProgressReporter {
  public:
    using Clock = std::chrono::steady_clock;

    ProgressReporter(bool terminal, std::function<void(const std::string&)> write,
                     ColumnsSource columns = {});

    void update(const ProgressState& state);
    // A status such as "WAIT Connect:  5", redrawn in place on a terminal.
    void status(const std::string& text);
    // Ends a line redrawn in place, so later output starts on a fresh line.
    void finish();
    // Wipes a line redrawn in place, for output that takes its place.
    void clear();

  private:
    void draw(const ProgressState& state, Clock::time_point now);
    void redraw(std::string line);

    bool terminal;
    std::function<void(const std::string&)> write;
    ColumnsSource columns;
    std::optional<Clock::time_point> started;
    int sentAtStart = 0;
    std::optional<ProgressState> shown;
    Clock::time_point lastDrawn;
    std::string lastStage;
    std::size_t lastWidth = 0;
    bool lineOpen = false;
};
