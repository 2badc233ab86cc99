#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <QCoreApplication>

#include "console/batch/BatchRun.h"
#include "console/cli/CliOptions.h"
#include "console/output/JsonResultWriter.h"
#include "console/output/LineTexts.h"
#include "console/output/OutputChannel.h"
#include "console/output/RunLog.h"
#include "console/ports/ActivityWatchingPort.h"
#include "console/ports/PortListing.h"
#include "console/ports/TracingPort.h"
#include "console/run/ConsoleView.h"
#include "console/run/FirmwareInput.h"
#include "console/run/RunController.h"
#include "console/run/SignalWatch.h"
#include "link/VisibleText.h"
#include "ports/SchemePortService.h"
#include "window/frmSerial.h"

namespace {

constexpr const char* kProgramName = "bootflash";

OutputChannel standardOutput(STDOUT_FILENO, "standard output");
OutputChannel standardError(STDERR_FILENO, "standard error");

// A lost stream ends the run with its own exit code and one line that says so, while the board's
// outcome stays in the JSON and the message written before.
int reportLoss(const OutputChannel& stream, int code) {
    if (!stream.lost())
        return code;
    standardError.write(std::string(kProgramName) + ": " + stream.lossText() + "\n");
    return toInt(ExitCode::OutputLost);
}

// A firmware file is read and checked whole before the port is opened: a file the device would
// refuse halfway through must not cost the application already on the board. What was read here
// is what every board gets. Returns the exit code when the run ends here (a refused file, or `check`).
std::optional<int> checkFirmwareFirst(const CliOptions& options, FirmwareInput& input) {
    const auto started = std::chrono::steady_clock::now();
    input = readFirmwareInput(options.file, {options.base, options.flashRange});
    RunResult result;
    result.operation = operationName(options.operation);
    result.port = options.port;
    result.address = options.address;
    if (input.failure) {
        result.exitCode = ExitCode::FileError;
        result.message = *input.failure;
        result.fileFault = input.file.fault;
        standardError.write(std::string(kProgramName) + ": " + visibleText(*input.failure) + "\n");
    } else if (options.operation == Operation::Check) {
        result.firmware = summarise(input.file);
        result.records = result.firmware->records;
        if (!options.json)
            standardOutput.write(summaryText(*result.firmware));
    } else {
        return std::nullopt;
    }
    result.durationMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
            .count();
    if (options.json)
        standardOutput.write(jsonResult(result) + "\n");
    return toInt(result.exitCode);
}

// A run that ends before any port is opened still owes a script its JSON object.
int endEarly(const CliOptions& options, ExitCode code, const std::string& message) {
    standardError.write(std::string(kProgramName) + ": " + visibleText(message) + "\n");
    if (options.json) {
        RunResult result;
        result.operation = operationName(options.operation);
        result.exitCode = code;
        result.message = message;
        standardOutput.write(jsonResult(result) + "\n");
    }
    return toInt(code);
}

int listPorts(const CliOptions& options) {
    const std::vector<PortEntry> ports = availablePorts();
    standardOutput.write(options.json ? portsJson(ports) + "\n" : portsText(ports));
    if (ports.empty() && !options.json)
        standardError.write(std::string(kProgramName) + ": no serial port found\n");
    return toInt(ExitCode::Success);
}

// Takes the only USB serial port when neither the command line nor BOOTFLASH_PORT named a port;
// returns the exit code when there is no single port to take.
std::optional<int> settlePort(CliOptions& options) {
    try {
        const PortChoice choice =
            choosePort(options.port, options.port.empty() ? availablePorts() : std::vector<PortEntry>());
        options.port = choice.port;
        if (choice.guessed)
            standardError.write(std::string(kProgramName) + ": using " + visibleText(choice.port) +
                                ", the only USB serial port\n");
        return std::nullopt;
    } catch (const PortChoiceError& error) {
        return endEarly(options, error.ambiguous ? ExitCode::BadUsage : ExitCode::PortNotAvailable,
                        error.what());
    }
}

// Several boards: one record each as it ends, then the summary; the code of the worst board.
int runBatch(const CliOptions& options, const FirmwareStamp& firmware, const ConsoleOutput& output) {
    std::optional<RunLog> log;
    if (!options.logFile.empty()) {
        if (sameFile(options.logFile, firmware.file))
            return endEarly(options, ExitCode::BadUsage, "--log names the firmware file " + firmware.file);
        log.emplace(options.logFile);
        // A production record that cannot be kept stops the run before any board is touched.
        if (!log->isOpen())
            return endEarly(options, ExitCode::FileError,
                            "cannot open the log " + options.logFile + ": " + log->error());
    }
    BatchRun batch(
        options, firmware, output,
        log ? std::function<void(const std::string&)>([&log](const std::string& line) { log->append(line); })
            : nullptr);
    const SignalWatch signalWatch([&batch](int signal) { batch.interrupt(signalExitCode(signal)); });
    const int code = toInt(batch.run());
    return log ? reportLoss(log->output(), code) : code;
}

int runOperation(CliOptions options, int argc, char** argv) {
#ifdef __linux__
    // The device paces the transfer and each reply is read when it arrives: every wake-up the
    // kernel defers (50 us by default) is added to every record.
    prctl(PR_SET_TIMERSLACK, 1UL);
#endif
    // Qt's own event loop rather than GLib's, unless the user chose: a headless program needs no
    // GLib integration, and GLib's loop wakes itself each time the port's watch is paused or resumed.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    if (options.operation == Operation::Ports)
        return listPorts(options);
    FirmwareInput input;
    if (takesFirmwareFile(options.operation))
        if (const std::optional<int> ended = checkFirmwareFirst(options, input))
            return *ended;
    const FirmwareStamp firmware{operationName(options.operation), options.file, input.sha256,
                                 recordsReader(input.file)};
    if (const std::optional<int> ended = settlePort(options))
        return *ended;
    const bool terminal = isatty(STDERR_FILENO) == 1;
    const ConsoleOutput output{[](const std::string& text) { standardOutput.write(text); },
                               [](const std::string& text) { standardError.write(text); },
                               terminal,
                               kProgramName,
                               terminal && takesEscapeSequences(std::getenv("TERM")),
                               [] { return terminalColumns(STDERR_FILENO); }};
    if (isBatch(options)) {
        if (options.ports.empty())
            options.ports = {options.port};
        return runBatch(options, firmware, output);
    }

    SchemePortService serialPort;
    ActivityWatchingPort activity(serialPort);
    std::optional<TracingPort> tracing;
    if (options.trace)
        tracing.emplace(activity, [](const std::string& line) { standardError.write(line + "\n"); });
    SerialPortService& port = tracing ? static_cast<SerialPortService&>(*tracing) : activity;

    if (options.verbose) {
        standardError.write(runDescription(options, kProgramName));
        serialPort.setOnAdapterTuned(
            [](const std::string& done) { standardError.write(std::string(kProgramName) + ": " + done + "\n"); });
    }
    ConsoleView view;
    frmSerial form(view, port);
    form.ReadFirmware = firmware.readRecords;
    RunController controller(options, view, form, activity, output);
    controller.listenTo(serialPort);
    const SignalWatch signalWatch(
        [&controller](int signal) { controller.interrupt(signalExitCode(signal)); });
    const RunResult result = controller.run();
    if (options.json)
        standardOutput.write(jsonResult(result) + "\n");
    return toInt(result.exitCode);
}

// The run as the command line asks for it; its exit code before any loss of output is counted.
int runCommandLine(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    CliOptions options;
    try {
        options = parseCommandLine(arguments, std::getenv("BOOTFLASH_PORT"));
    } catch (const UsageError& error) {
        standardError.write(std::string(kProgramName) + ": " + visibleText(error.what()) + "\nTry '" +
                            kProgramName + " --help'.\n");
        // A script that asked for JSON gets its object even when the command line was wrong.
        if (std::find(arguments.begin(), arguments.end(), "--json") != arguments.end()) {
            RunResult result;
            result.exitCode = ExitCode::BadUsage;
            result.message = error.what();
            standardOutput.write(jsonResult(result) + "\n");
        }
        return toInt(ExitCode::BadUsage);
    }
    if (options.help) {
        standardOutput.write(helpText(kProgramName));
        return toInt(ExitCode::Success);
    }
    if (options.version) {
        standardOutput.write(versionText(kProgramName));
        return toInt(ExitCode::Success);
    }
    try {
        return runOperation(options, argc, argv);
    } catch (const std::exception& error) {
        standardError.write(std::string(kProgramName) + ": unexpected failure: " + visibleText(error.what()) +
                            "\n");
        return toInt(ExitCode::InternalError);
    }
}

} // namespace

int main(int argc, char** argv) {
    // A reader that goes away (`bootflash ... | head`) must not end a transfer halfway: the write
    // fails instead, and the stream is dropped.
    std::signal(SIGPIPE, SIG_IGN);
    const int code = runCommandLine(argc, argv);
    return reportLoss(standardError, reportLoss(standardOutput, code));
}
