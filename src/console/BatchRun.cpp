#include "console/BatchRun.h"

#include <chrono>

BatchRun::BatchRun(const CliOptions& options, FirmwareStamp firmware, ConsoleOutput output,
                   std::function<void(const std::string&)> log)
    : options(options), firmware(std::move(firmware)), output(std::move(output)), log(std::move(log)) {
    for (const std::string& port : options.ports) {
        CliOptions onePort = options;
        onePort.port = port;
        onePort.ports = {port};
        buses.push_back(std::make_unique<BusRun>(
            std::move(onePort), this->output, [this](const BoardRecord& board) { boardEnded(board); },
            [this] { busDone(); }));
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

    const std::string summary = summaryJsonLine(boards, firmware, seconds);
    if (log)
        log(summary);
    output.out(options.json ? summary : summaryTable(boards));
    return worstOutcome(boards);
}

void BatchRun::boardEnded(const BoardRecord& board) {
    boards.push_back(board);
    const std::string line = boardJsonLine(board, firmware);
    if (log)
        log(line);
    if (options.json)
        output.out(line);
    if (!options.quiet)
        output.err(output.programName + ": " + boardLine(board));
    if (board.outcome() != ExitCode::Success && options.stopOnFailure)
        for (const auto& bus : buses)
            bus->stopAfterCurrentBoard();
}

void BatchRun::busDone() {
    // A bus says so from within its last board's callback; the loop ends once all have.
    if (--busesRunning == 0)
        loop.quit();
}
