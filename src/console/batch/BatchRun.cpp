#include "console/batch/BatchRun.h"

#include <chrono>

namespace {

// Writes whole lines only, each behind `label`: several boards' progress shares one stream.
std::function<void(const std::string&)> labelled(const std::string& label,
                                                 std::function<void(const std::string&)> write) {
    auto pending = std::make_shared<std::string>();
    return [label, write = std::move(write), pending](const std::string& text) {
        *pending += text;
        for (std::size_t end = pending->find('\n'); end != std::string::npos; end = pending->find('\n')) {
            write(label + pending->substr(0, end + 1));
            pending->erase(0, end + 1);
        }
    };
}

} // namespace

BatchRun::BatchRun(const CliOptions& options, FirmwareStamp firmware, ConsoleOutput output,
                   std::function<void(const std::string&)> log)
    : options(options), firmware(std::move(firmware)), output(std::move(output)), log(std::move(log)) {
    // Traced frames are lines to keep, not progress to redraw; a terminal that would print the
    // panel's escape sequences gets plain lines.
    if (this->output.errIsTerminal && this->output.errTakesEscapes && !options.quiet && !options.trace)
        panel.emplace(this->output.err, this->output.errColumns);
    for (const std::string& port : options.ports) {
        CliOptions onePort = options;
        onePort.port = port;
        onePort.ports = {port};
        buses.push_back(std::make_unique<BusRun>(
            std::move(onePort), this->firmware.readRecords,
            [this](const std::string& label) { return outputFor(label); },
            [this](const BoardRecord& board) { boardEnded(board); }, [this] { busDone(); }));
    }
}

BatchRun::~BatchRun() = default;

ExitCode BatchRun::run() {
    const auto started = std::chrono::steady_clock::now();
    busesRunning = buses.size();
    for (const auto& bus : buses)
        QTimer::singleShot(0, [&bus] { bus->start(); });
    if (busesRunning > 0)
        loop.exec();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::vector<std::string> emptyPorts;
    for (const auto& bus : buses)
        if (bus->foundNoBoard())
            emptyPorts.push_back(bus->port());
    const std::string summary = summaryJsonLine(boards, emptyPorts, firmware, seconds);
    if (log)
        log(summary);
    output.out(options.json ? summary : summaryTable(boards));
    return worstOutcome(boards, !emptyPorts.empty());
}

ConsoleOutput BatchRun::outputFor(const std::string& label) {
    ConsoleOutput board = output;
    // A scan's list of devices is reported in the board records instead.
    board.out = [](const std::string&) {};
    board.err = panel ? panel->rowWriter(label) : labelled(label, output.err);
    // Without the panel progress comes as plain lines: lines redrawn in place would overwrite
    // the other boards'.
    board.errIsTerminal = panel.has_value();
    board.errColumns = {}; // the panel fits its lines itself
    return board;
}

void BatchRun::interrupt(ExitCode code) {
    for (const auto& bus : buses)
        bus->interrupt(code);
}

void BatchRun::say(const std::string& line) {
    if (panel)
        panel->print(line);
    else
        output.err(line);
}

void BatchRun::boardEnded(const BoardRecord& board) {
    boards.push_back(board);
    const std::string line = boardJsonLine(board, firmware);
    if (log)
        log(line);
    if (options.json)
        output.out(line);
    if (!options.quiet)
        say(output.programName + ": " + boardLine(board));
    if (board.outcome() != ExitCode::Success && options.stopOnFailure)
        for (const auto& bus : buses)
            bus->stopAfterCurrentBoard();
}

void BatchRun::busDone() {
    // A bus says so from within its last board's callback; the loop ends once all have.
    if (--busesRunning == 0)
        loop.quit();
}
