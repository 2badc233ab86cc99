#include "console/cli/CliOptions.h"
#include "console/cli/OptionTable.h"
#include "console/cli/OptionValues.h"
#include "console/cli/PortNames.h"

#include <algorithm>

#include <QCommandLineParser>
#include <QCoreApplication>

using namespace optionvalues;

namespace {

struct OperationWord {
    const char* word;
    Operation operation;
    const char* operand; // nullptr: the operation takes none
    const char* description;
};

constexpr OperationWord kOperations[] = {
    {"download", Operation::Download, "FILE", "send a firmware file, then verify it (two passes)"},
    {"verify", Operation::Verify, "FILE", "verify the device against a firmware file"},
    {"version", Operation::Version, nullptr, "ask the device for its version (\"?\") and print the reply"},
    {"set-address", Operation::SetAddress, "NEW",
     "give the device the bus address NEW (1-255) and check it answers there"},
    {"install", Operation::Install, nullptr,
     "start the application (\"Install \"); success only on the board's \"OK\""},
    {"scan", Operation::Scan, nullptr,
     "probe addresses 1 to 127 (or --scan-range) and list every device that answers"},
    {"check", Operation::Check, "FILE", "print a firmware file's format, ranges, counts and CRC-32; no port"},
    {"ports", Operation::Ports, nullptr, "list the serial ports of this machine (--json: as a list)"},
};

const std::string kExitCodes = "Exit codes:\n"
                               "  0  success\n"
                               "  1  unexpected internal error\n"
                               "  2  bad usage (also: one port named twice)\n"
                               "  3  port not available, in use (also by a lock file's process), or lost\n"
                               "  4  no device answered\n"
                               "  5  file error (not found, unreadable, empty, a bad record, data outside\n"
                               "     --flash-range, more than 9000 records); nothing was sent\n"
                               "  6  the device reported \"ERROR\", ended a pass before its last record, or\n"
                               "     did not answer install with \"OK\"\n"
                               "  7  stall: the device gave no reply for longer than the stall timeout\n"
                               "  8  output lost: the log, standard output or standard error could not be\n"
                               "     written; the board's own outcome is in the JSON and the message\n"
                               "  9  address conflict: more than one board answers at one address; the\n"
                               "     boards got nothing but the probes, --all flashed no board there\n"
                               "  129, 130, 143  interrupted (SIGHUP, SIGINT, SIGTERM)\n"
                               "Flashing several boards, the code is the highest of all boards' codes.\n";

// An operation's line of --help, its description wrapped beneath itself within 80 columns.
QString operationHelp(const OperationWord& entry) {
    constexpr qsizetype kIndent = 21;
    constexpr qsizetype kWidth = 80;
    const QString call = QString(entry.word) + (entry.operand ? QString(" ") + entry.operand : "");
    QString text = QString("\n  %1").arg(call, -int(kIndent - 2));
    qsizetype column = kIndent;
    for (const QString& word : QString(entry.description).split(' ')) {
        if (column > kIndent && column + 1 + word.size() > kWidth) {
            text += "\n" + QString(kIndent, ' ');
            column = kIndent;
        } else if (column > kIndent) {
            text += ' ';
            ++column;
        }
        text += word;
        column += word.size();
    }
    return text;
}

// The parser with every option and the operations as its positional arguments.
struct ParserSetup {
    QCommandLineParser parser;
    std::vector<QCommandLineOption> options;

    ParserSetup() {
        QString description =
            "Flashes and queries a board's serial bootloader without a window.\n\n"
            "Firmware files are Intel HEX, Motorola S-record, ELF or raw binary, told apart\n"
            "by their content. Each is checked whole before the port is opened; all but\n"
            "Intel HEX are sent as the Intel HEX records of 16 bytes that a toolchain's\n"
            "converter would write.\n\n"
            "Numbers: whole numbers decimal or hexadecimal after 0x (-a 0x10); seconds\n"
            "decimal, at most three places after the point (--stall-timeout 2.5).\n\n"
            "Operations (one per call):";
        for (const auto& entry : kOperations)
            description += operationHelp(entry);
        parser.setApplicationDescription(description);
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
        for (const auto& row : optionTable()) {
            options.emplace_back(row.names, row.description);
            if (*row.valueName)
                options.back().setValueName(row.valueName);
            parser.addOption(options.back());
        }
        parser.addPositionalArgument("operation", "One of the operations above.", "OPERATION [OPERAND]");
    }
};

const OperationWord& operationWord(const std::string& word) {
    for (const auto& entry : kOperations)
        if (word == entry.word)
            return entry;
    throw UsageError("unknown operation \"" + word + "\"");
}

} // namespace

bool isBatch(const CliOptions& options) {
    return options.ports.size() > 1 || options.addresses.size() > 1 || options.allOnBus ||
           options.retries > 0 || !options.logFile.empty();
}

bool takesFirmwareFile(Operation operation) {
    return operation == Operation::Download || operation == Operation::Verify ||
           operation == Operation::Check;
}

const char* operationName(Operation operation) {
    for (const auto& entry : kOperations)
        if (entry.operation == operation)
            return entry.word;
    return "unknown";
}

CliOptions parseCommandLine(const std::vector<std::string>& arguments, const char* environmentPort) {
    ParserSetup setup;
    QStringList words{"bootflash"};
    for (const auto& argument : arguments)
        words << QString::fromStdString(argument);
    if (!setup.parser.parse(words))
        throw UsageError(setup.parser.errorText().toStdString());

    CliOptions options;
    const auto& rows = optionTable();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!setup.parser.isSet(setup.options[i]))
            continue;
        // An option given twice counts once, with its last value.
        const QStringList values = setup.parser.values(setup.options[i]);
        rows[i].apply(options, values.isEmpty() ? std::string() : values.last().toStdString());
    }
    if (options.help || options.version)
        return options;
    if (options.quiet && options.verbose)
        throw UsageError("--quiet and --verbose ask for opposite things: give one of them");
    // Unlike the other options, every --port counts: each is one more line to flash on.
    std::vector<std::string> portTexts;
    for (const QString& value : setup.parser.values("port"))
        portTexts.push_back(value.toStdString());
    if (!portTexts.empty())
        options.ports = portList(portTexts, "--port");
    else if (environmentPort && *environmentPort)
        options.ports = portList({environmentPort}, "BOOTFLASH_PORT");
    if (!options.ports.empty())
        options.port = options.ports.front();

    const QStringList positional = setup.parser.positionalArguments();
    if (positional.isEmpty())
        throw UsageError("no operation given");
    const OperationWord& chosen = operationWord(positional[0].toStdString());
    options.operation = chosen.operation;
    const qsizetype expected = chosen.operand ? 2 : 1;
    if (positional.size() < expected)
        throw UsageError(
            std::string(chosen.word) + " needs " +
            (options.operation == Operation::SetAddress ? "the new address" : "a firmware file"));
    if (positional.size() > expected)
        throw UsageError("unexpected argument \"" + positional[expected].toStdString() + "\"");

    if (takesFirmwareFile(options.operation)) {
        options.file = positional[1].toStdString();
        // An empty name would reach the place of a cancelled file dialog.
        if (options.file.empty())
            throw UsageError(std::string(chosen.word) + " needs a firmware file, not an empty name");
    } else if (options.base || options.flashRange) {
        throw UsageError(std::string("--base and --flash-range go with a firmware file, not with ") +
                         chosen.word);
    }
    if (options.operation == Operation::SetAddress)
        options.newAddress =
            std::to_string(wholeNumber(positional[1].toStdString(), 1, 255, "the new address"));
    if (isBatch(options) && options.operation != Operation::Download &&
        options.operation != Operation::Verify)
        throw UsageError("several ports or addresses, --all, --retries and --log go with download and "
                         "verify, not with " +
                         std::string(chosen.word));
    if (options.allOnBus && !options.addresses.empty())
        throw UsageError("--all finds the addresses itself: leave out --address");
    const bool onPort = options.operation != Operation::Check && options.operation != Operation::Ports;
    if (!onPort && (!options.resetSteps.empty() || !options.afterSteps.empty() || options.waitPortSeconds))
        throw UsageError(std::string("--reset, --after and --wait-port go with an operation on a port, not with ") +
                         chosen.word);
    if (options.operation == Operation::Scan && options.address)
        throw UsageError("scan probes every address itself: leave out --address");
    if (options.operation == Operation::Scan && options.connectTimeoutSeconds)
        throw UsageError("a scan ends after its last address: leave out --connect-timeout");
    if (!options.addresses.empty() && (options.scanFirst != 1 || options.scanLast != 127))
        throw UsageError("--scan-range is for a scan, and --address leaves none: give one of them");
    return options;
}

std::string helpText(const std::string& programName) {
    ParserSetup setup;
    std::string text = setup.parser.helpText().toStdString();
    // Without an application object the parser cannot know the program's name.
    const std::string usage = "Usage: ";
    if (text.rfind(usage, 0) == 0) {
        const std::size_t nameEnd = text.find(' ', usage.size());
        text.replace(usage.size(), nameEnd - usage.size(), programName);
    }
    return text + "\n" + kExitCodes;
}

std::string versionText(const std::string& programName) {
    return programName + " " + BOOTDEVICE_VERSION + "\n";
}
