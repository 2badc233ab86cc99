#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/batch/BatchReport.h"
#include "console/batch/BusRun.h"
#include "console/output/ProgressPanel.h"

// Flashes every board of a batch: one BusRun per port, all at once on one event loop, since the
// ports are independent lines. It reports each board as it ends, then the summary, on the
// console and in the log, and returns the exit code of the worst board.
class BatchRun {
  public:
    // `log` gets every JSON line; empty when no log was asked for.
    BatchRun(const CliOptions& options, FirmwareStamp firmware, ConsoleOutput output,
             std::function<void(const std::string&)> log);
    ~BatchRun();

    ExitCode run();
    // Ends every port's current board with `code`; the batch then ends with its summary.
    void interrupt(ExitCode code);

  private:
    ConsoleOutput outputFor(const std::string& label);
    void say(const std::string& line);
    void boardEnded(const BoardRecord& board);
    void busDone();

    const CliOptions& options;
    FirmwareStamp firmware;
    ConsoleOutput output;
    std::function<void(const std::string&)> log;
    std::optional<ProgressPanel> panel; // on a terminal: a line per board, redrawn in place
    std::vector<std::unique_ptr<BusRun>> buses;
    std::vector<BoardRecord> boards;
    std::size_t busesRunning = 0;
    QEventLoop loop;
};
