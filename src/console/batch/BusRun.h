#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "console/batch/BoardRecord.h"
#include "console/cli/CliOptions.h"
#include "console/run/RunController.h"

// The boards on one port, one after another: a scan first with --all, then each board's
// operation, again from the start after a failure while retries are left. It does not block: it
// runs on the caller's event loop, beside the other ports' runs.
class BusRun {
  public:
    // Where an attempt writes, given the label that names its port and board.
    using OutputFor = std::function<ConsoleOutput(const std::string& label)>;

    // `options` names this run's one port; every board gets the records `readRecords` gives.
    // `boardEnded` hears of each board once its last attempt has ended; `done` once the port has
    // no board left.
    BusRun(CliOptions options, std::function<IntelHexFile(const std::string&)> readRecords,
           OutputFor outputFor, std::function<void(const BoardRecord&)> boardEnded,
           std::function<void()> done);
    ~BusRun();

    void start();
    // The board being flashed ends as it would; no further board is started.
    void stopAfterCurrentBoard() { stopping = true; }
    // Ends the board being flashed now, with `code`, and starts no further one: each board left
    // gets a record with `code` all the same, so that the batch accounts for every board asked for.
    void interrupt(ExitCode code);
    const std::string& port() const { return options.port; }
    // Whether the scan of --all found no board on this port.
    bool foundNoBoard() const { return scanFoundNothing; }

  private:
    struct Board;

    void scanEnded(const RunResult& scan);
    void startNextBoard();
    void recordBoardsLeft(ExitCode code);
    void launchAttempt();
    void attemptEnded(const RunResult& attempt);
    void launch(CliOptions boardOptions, const std::string& label,
                std::function<void(const RunResult&)> ended);

    CliOptions options;
    std::function<IntelHexFile(const std::string&)> readRecords;
    OutputFor outputFor;
    std::function<void(const BoardRecord&)> boardEnded;
    std::function<void()> done;

    std::unique_ptr<Board> board;           // the run under way: port, view, window logic and controller
    std::deque<std::optional<int>> waiting; // addresses still to flash; empty: the first that answers
    std::map<int, std::string> scanReplies;
    BoardRecord current;
    bool stopping = false;
    std::optional<ExitCode> interruptedWith;
    bool scanFoundNothing = false;
};
