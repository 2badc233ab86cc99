#include <QJsonDocument>
#include <QRegularExpression>
#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "JsonFields.h"
#include "console/batch/BatchReport.h"
#include "console/output/JsonResultWriter.h"
#include "console/ports/PortListing.h"

// What the programs write for scripts and people: the flasher's JSON, bootflash(1) naming every
// word of it as the flasher's own writers give them, and every --help within 80 columns, answered
// also where there is no display.
namespace {

// Every key of a JSON text, in objects at any depth.
void collectKeys(const QJsonValue& value, std::set<std::string>& keys) {
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto field = object.begin(); field != object.end(); ++field) {
            keys.insert(field.key().toStdString());
            collectKeys(field.value(), keys);
        }
    } else if (value.isArray()) {
        for (const QJsonValue& item : value.toArray())
            collectKeys(item, keys);
    }
}

void collectKeys(const std::string& json, std::set<std::string>& keys) {
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    collectKeys(document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()), keys);
}

// The keys the flasher's writers give, each fed the fullest result it takes.
std::set<std::string> jsonKeysWritten() {
    std::set<std::string> keys;
    RunResult result;
    result.port = "/dev/ttyUSB0";
    result.address = 1;
    result.records = 2;
    result.passes = 1;
    result.devices = {{3, "VER=1.0", true}};
    result.fileFault = FileFault{7, "checksum"};
    result.firmware = FirmwareSummary{"Intel HEX", {{0x08000000, 16}}, 1, 16, 0};
    result.lateAddresses = {5};
    result.note = "--after was cut short by a signal";
    for (const char* operation :
         {"download", "verify", "version", "set-address", "install", "scan", "check"}) {
        result.operation = operation;
        collectKeys(jsonResult(result), keys);
    }
    collectKeys(portsJson({{"/dev/ttyUSB0", "/dev/serial/by-id/x", 0x0403, 0x6001, "A1", "adapter", 16}}),
                keys);
    BoardRecord board{"/dev/ttyUSB0",
                      5,
                      "VER=1.0",
                      {ExitCode::Stall, ExitCode::Success},
                      1.5,
                      4,
                      "END",
                      "2026-12-07T01:49:53.851Z",
                      ExitCode::InternalError};
    const FirmwareStamp firmware{"download", "fw.hex", "00", {}};
    collectKeys(boardJsonLine(board, firmware), keys);
    collectKeys(summaryJsonLine({board}, {"/dev/ttyUSB1"}, firmware, 2.0), keys);
    return keys;
}

// The outcome words, for every exit code the program may end with.
std::set<std::string> outcomeWords() {
    std::set<std::string> words;
    for (int code = 0; code < 256; ++code)
        if (const std::string word = outcomeName(static_cast<ExitCode>(code)); word != "unknown")
            words.insert(word);
    return words;
}

// The words a manual page sets in bold (.B, .BR, .RB and \fB...\fR), where a reader looks up a
// term; roff's \- read as a hyphen.
std::set<std::string> boldWords(const std::string& pagePath) {
    std::ifstream file(pagePath);
    std::set<std::string> words;
    const QRegularExpression wordPattern(QStringLiteral("[A-Za-z0-9_-]+"));
    const auto take = [&](const QString& bold) {
        for (const auto& match : wordPattern.globalMatch(bold))
            words.insert(match.captured().toStdString());
    };
    for (std::string line; std::getline(file, line);) {
        QString text = QString::fromStdString(line).replace(QStringLiteral("\\-"), QStringLiteral("-"));
        const QStringList macro = text.split(' ', Qt::SkipEmptyParts);
        if (!macro.isEmpty() && (macro[0] == ".BR" || macro[0] == ".RB")) {
            // Bold and roman words in turn.
            for (qsizetype i = 1; i < macro.size(); ++i)
                if ((i % 2 == 1) == (macro[0] == ".BR"))
                    take(macro[i]);
        } else if (text.startsWith(QStringLiteral(".B "))) {
            // Bold to the end of the line, or to a \fR that switches back.
            text = QStringLiteral("\\fB") + text.mid(3) + QStringLiteral("\\fR");
        }
        static const QRegularExpression inline_(QStringLiteral("\\\\fB(.*?)\\\\f[RPI]"));
        for (const auto& match : inline_.globalMatch(text))
            take(match.captured(1));
    }
    return words;
}

TEST(ManualPage, NamesEveryOutcomeAndEveryJsonFieldTheFlasherWrites) {
    const std::set<std::string> documented = boldWords(BOOTFLASH_MANUAL_PAGE);
    ASSERT_FALSE(documented.empty()) << "no manual page at " << BOOTFLASH_MANUAL_PAGE;
    for (const std::set<std::string>& written : {outcomeWords(), jsonKeysWritten()})
        for (const std::string& word : written)
            EXPECT_TRUE(documented.contains(word)) << "bootflash(1) does not name \"" << word << "\"";
}

// Each operation's object carries the fields that apply to it: a check reads a file and opens no
// port, a version query sends no records; a refused command line knows no operation.
TEST(JsonResult, LeavesOutTheFieldsThatDoNotApply) {
    const struct {
        const char* operation;
        const char* keys;
    } rows[] = {
        {"download", "address duration_ms exit_code message operation outcome passes port records"},
        {"check", "exit_code message operation outcome records"},
        {"version", "address duration_ms exit_code message operation outcome port"},
        {"", "exit_code message outcome"},
    };
    for (const auto& row : rows) {
        RunResult result;
        result.operation = row.operation;
        std::set<std::string> keys;
        collectKeys(jsonResult(result), keys);
        std::string joined;
        for (const std::string& key : keys)
            joined += (joined.empty() ? "" : " ") + key;
        EXPECT_EQ(joined, row.keys) << "operation \"" << row.operation << "\"";
    }
}

// Help and version come before any window: with no display to open they still print and end.
TEST(ProgramHelp, FitsEightyColumnsAndNeedsNoDisplay) {
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    const struct {
        const char* program;
        const char* argument;
        const char* begins;
    } rows[] = {
        {BOOTFLASH_PATH, "--help", "Usage: bootflash "},
        {BOOTDEV_SIM_PATH, "--help", "Usage: bootdev-sim "},
        {BOOTDEVICE_PATH, "--help", "Usage: bootdevice "},
        {BOOTDEVICE_PATH, "-h", "Usage: bootdevice "},
        {BOOTDEVICE_PATH, "--version", "bootdevice " BOOTDEVICE_VERSION "\n"},
        {BOOTDEVICE_PATH, "-V", "bootdevice " BOOTDEVICE_VERSION "\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.program) + " " + row.argument);
        const ProgramRun run = runProgram(row.program, {row.argument});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(run.out.starts_with(row.begins)) << run.out;
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line);)
            EXPECT_LE(line.size(), 80u) << line;
    }
}

} // namespace
