#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <QCoreApplication>

#include "console/ActivityWatchingPort.h"
#include "console/CliOptions.h"
#include "console/ConsoleView.h"
#include "console/JsonResultWriter.h"
#include "console/RunController.h"
#include "console/SignalWatch.h"
#include "console/TracingPort.h"
#include "window/frmSerial.h"
#include "window/qt/QtSerialPortService.h"

namespace {

constexpr const char* kProgramName = "bootflash";

void writeTo(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

int runOperation(const CliOptions& options, int argc, char** argv) {
#ifdef __linux__
    // The device paces the transfer and the receive poll finds each reply: every wake-up the
    // kernel defers (50 us by default) is added to every record.
    prctl(PR_SET_TIMERSLACK, 1UL);
#endif
    QCoreApplication app(argc, argv);
    const ConsoleOutput output{[](const std::string& text) { writeTo(stdout, text); },
                               [](const std::string& text) { writeTo(stderr, text); },
                               isatty(STDERR_FILENO) == 1, kProgramName};

    QtSerialPortService serialPort;
    ActivityWatchingPort activity(serialPort);
    std::optional<TracingPort> tracing;
    if (options.trace)
        tracing.emplace(activity, [](const std::string& line) { writeTo(stderr, line + "\n"); });
    SerialPortService& port = tracing ? static_cast<SerialPortService&>(*tracing) : activity;

    ConsoleView view;
    frmSerial form(view, port);
    RunController controller(options, view, form, activity, output);
    const SignalWatch signalWatch([&controller](int signal) {
        controller.interrupt(signal == SIGTERM ? ExitCode::Terminated : ExitCode::Interrupted);
    });
    const RunResult result = controller.run();
    if (options.json)
        writeTo(stdout, jsonResult(result) + "\n");
    return toInt(result.exitCode);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    CliOptions options;
    try {
        options = parseCommandLine(arguments);
    } catch (const UsageError& error) {
        writeTo(stderr,
                std::string(kProgramName) + ": " + error.what() + "\nTry '" + kProgramName + " --help'.\n");
        // A script that asked for JSON gets its object even when the command line was wrong.
        if (std::find(arguments.begin(), arguments.end(), "--json") != arguments.end()) {
            RunResult result;
            result.exitCode = ExitCode::BadUsage;
            result.message = error.what();
            writeTo(stdout, jsonResult(result) + "\n");
        }
        return toInt(ExitCode::BadUsage);
    }
    if (options.help) {
        writeTo(stdout, helpText(kProgramName));
        return toInt(ExitCode::Success);
    }
    try {
        return runOperation(options, argc, argv);
    } catch (const std::exception& error) {
        writeTo(stderr, std::string(kProgramName) + ": unexpected failure: " + error.what() + "\n");
        return toInt(ExitCode::InternalError);
    }
}
