#include "console/batch/BusRun.h"

#include <optional>

#include "console/batch/BatchReport.h"
#include "console/ports/ActivityWatchingPort.h"
#include "console/ports/TracingPort.h"
#include "console/run/ConsoleView.h"
#include "console/run/RunTexts.h"
#include "link/VisibleText.h"
#include "ports/SchemePortService.h"
#include "window/frmSerial.h"

// Each attempt gets fresh parts, as a new program would: nothing a failed board left in the
// window's state (scan mode, counters, a half-read reply) reaches the next one. The port itself
// is closed at the end of every attempt and opened again by the next.
struct BusRun::Board {
    Board(CliOptions boardOptions, const std::function<IntelHexFile(const std::string&)>& readRecords,
          ConsoleOutput output)
        : options(std::move(boardOptions)), activity(port), form(view, line(output)),
          controller(options, view, form, activity, output) {
        form.ReadFirmware = readRecords;
        controller.listenTo(port);
        if (options.verbose)
            port.setOnAdapterTuned([write = output.err, name = output.programName](const std::string& done) {
                write(name + ": " + done + "\n");
            });
    }

    // The port the window's logic talks to: traced on request.
    SerialPortService& line(const ConsoleOutput& output) {
        if (!options.trace)
            return activity;
        return tracing.emplace(activity,
                               [write = output.err](const std::string& text) { write(text + "\n"); });
    }

    CliOptions options;
    SchemePortService port;
    ActivityWatchingPort activity;
    std::optional<TracingPort> tracing;
    ConsoleView view;
    frmSerial form;
    RunController controller;
};

BusRun::BusRun(CliOptions options, std::function<IntelHexFile(const std::string&)> readRecords,
               OutputFor outputFor, std::function<void(const BoardRecord&)> boardEnded,
               std::function<void()> done)
    : options(std::move(options)), readRecords(std::move(readRecords)), outputFor(std::move(outputFor)),
      boardEnded(std::move(boardEnded)), done(std::move(done)) {
    for (const int address : this->options.addresses)
        waiting.push_back(address);
    // No address and no --all: one board, found as a single run finds it.
    if (waiting.empty() && !this->options.allOnBus)
        waiting.push_back(std::nullopt);
}

BusRun::~BusRun() = default;

void BusRun::start() {
    if (!options.allOnBus) {
        startNextBoard();
        return;
    }
    CliOptions scan = options;
    scan.operation = Operation::Scan;
    scan.address.reset();
    scan.afterSteps.clear(); // each board found runs it after its own operation
    launch(scan, "[" + visibleText(options.port) + " scan] ",
           [this](const RunResult& result) { scanEnded(result); });
}

void BusRun::interrupt(ExitCode code) {
    stopping = true;
    interruptedWith = code;
    if (board)
        board->controller.interrupt(code);
}

void BusRun::scanEnded(const RunResult& scan) {
    board.reset();
    if (scan.exitCode == ExitCode::NoDevice) {
        // No board here: none to count; the batch's outcome says so.
        scanFoundNothing = true;
        done();
        return;
    }
    // A conflict is a board record of its own, below; the other boards are flashed.
    if (scan.exitCode != ExitCode::Success && scan.exitCode != ExitCode::AddressConflict) {
        // No board to flash: the port's one record says why.
        BoardRecord failed;
        failed.port = options.port;
        failed.attempts = {scan.exitCode};
        failed.seconds = static_cast<double>(scan.durationMs) / 1000;
        failed.message = scan.message;
        failed.time = utcNow();
        boardEnded(failed);
        done();
        return;
    }
    for (const RunResult::Device& device : scan.devices) {
        if (device.conflict) {
            // Flashing it would write every board there at once, each answering every record.
            BoardRecord shared;
            shared.port = options.port;
            shared.address = device.address;
            shared.reply = device.reply;
            shared.untried = ExitCode::AddressConflict;
            shared.message = conflictText(device.address) + "; no board there was flashed";
            shared.time = utcNow();
            boardEnded(shared);
            continue;
        }
        waiting.push_back(device.address);
        scanReplies[device.address] = device.reply;
    }
    startNextBoard();
}

void BusRun::startNextBoard() {
    board.reset();
    if (interruptedWith)
        recordBoardsLeft(*interruptedWith);
    if (waiting.empty() || stopping) {
        done();
        return;
    }
    current = BoardRecord{};
    current.port = options.port;
    current.address = waiting.front();
    if (current.address)
        current.reply = scanReplies[*current.address];
    waiting.pop_front();
    launchAttempt();
}

void BusRun::recordBoardsLeft(ExitCode code) {
    for (const std::optional<int>& address : waiting) {
        BoardRecord left;
        left.port = options.port;
        left.address = address;
        left.untried = code;
        left.message = "not started: the batch was interrupted";
        left.time = utcNow();
        boardEnded(left);
    }
    waiting.clear();
}

void BusRun::attemptEnded(const RunResult& attempt) {
    current.attempts.push_back(attempt.exitCode);
    if (!current.address)
        current.address = attempt.address;
    current.seconds += static_cast<double>(attempt.durationMs) / 1000;
    current.records = attempt.records;
    current.message = attempt.note.empty() ? attempt.message : attempt.message + "; " + attempt.note;
    if (!attempt.reply.empty())
        current.reply = attempt.reply;
    const int attemptsLeft = options.retries + 1 - static_cast<int>(current.attempts.size());
    if (attempt.exitCode != ExitCode::Success && attemptsLeft > 0 && !stopping) {
        launchAttempt();
        return;
    }
    current.time = utcNow();
    boardEnded(current);
    startNextBoard();
}

void BusRun::launchAttempt() {
    CliOptions one = options;
    one.address = current.address;
    std::string label =
        "[" + visibleText(options.port) + (current.address ? " #" + std::to_string(*current.address) : "");
    if (!current.attempts.empty())
        label += " attempt " + std::to_string(current.attempts.size() + 1);
    launch(std::move(one), label + "] ", [this](const RunResult& result) { attemptEnded(result); });
}

void BusRun::launch(CliOptions boardOptions, const std::string& label,
                    std::function<void(const RunResult&)> ended) {
    board.reset();
    board = std::make_unique<Board>(std::move(boardOptions), readRecords, outputFor(label));
    board->controller.begin(std::move(ended));
}
