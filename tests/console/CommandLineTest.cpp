#include <algorithm>
#include <sstream>

#include <gtest/gtest.h>

#include "JsonFields.h"
#include "console/CliOptions.h"
#include "console/JsonResultWriter.h"
#include "console/ProgressReporter.h"

namespace {

// Every option in one line, so a table row shows all a command line sets.
std::string summary(const CliOptions& o) {
    std::ostringstream out;
    out << operationName(o.operation) << " [" << o.file << o.newAddress << "] port=" << o.port
        << " baud=" << o.baud << (o.modbusRtu ? " rtu" : " plain")
        << " address=" << (o.address ? std::to_string(*o.address) : "scan") << " poll=" << o.pollMs
        << " stall=" << o.stallTimeoutSeconds << (o.trace ? " trace" : "") << (o.json ? " json" : "")
        << (o.help ? " help" : "");
    return out.str();
}

TEST(CommandLine, ReadsOptionsInBothFormsOverTheWindowsStartValues) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        // An empty address box scans first.
        {{"version"}, "version [] port=COM3 baud=115200 rtu address=scan poll=20 stall=5"},
        {{"--port=/dev/ttyUSB0", "download", "fw.hex", "--baud", "9600", "--plain", "--address=7",
          "--poll-ms", "1", "--stall-timeout", "2.5", "--trace", "--json"},
         "download [fw.hex] port=/dev/ttyUSB0 baud=9600 plain address=7 poll=1 stall=2.5 trace json"},
        {{"set-address", "12", "--address", "3"},
         "set-address [12] port=COM3 baud=115200 rtu address=3 poll=20 stall=5"},
        {{"--help"}, "version [] port=COM3 baud=115200 rtu address=scan poll=20 stall=5 help"},
    };
    for (const auto& [words, expected] : cases)
        EXPECT_EQ(summary(parseCommandLine(words)), expected) << ::testing::PrintToString(words);
}

TEST(CommandLine, RefusesWhatCannotBeRun) {
    const std::vector<std::vector<std::string>> refused = {
        {},
        {"flash", "fw.hex"},
        {"download"},
        {"verify", "a.hex", "b.hex"},
        {"version", "--baud", "57600"},
        {"version", "--baud"},
        {"version", "--address", "256"},
        {"version", "--address", "-1"},
        {"version", "--address", "1x"},
        {"version", "--poll-ms", "0"},
        {"version", "--poll-ms", "101"}, // a probe would restart it before it ever looked
        {"version", "--stall-timeout", "0"},
        {"version", "--stall-timeout", "abc"},
        {"version", "--trace=yes"},
        {"version", "--port", ""},
        {"version", "--frobnicate"},
        {"set-address", "0"},
        {"set-address", "256"},
        {"set-address", "&H1F"},
        {"scan", "--address", "3"},
    };
    for (const auto& words : refused)
        EXPECT_THROW(parseCommandLine(words), UsageError) << ::testing::PrintToString(words);
}

TEST(CommandLine, HelpListsOperationsOptionsAndExitCodes) {
    const std::string help = helpText("bootflash");
    for (const char* word : {"download FILE", "verify FILE", "version", "set-address NEW", "install", "scan",
                             "--port", "--baud", "--plain", "--address", "--poll-ms", "--stall-timeout",
                             "--trace", "--json", "3  port not available", "7  stall"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

TEST(JsonResult, ReadsBackWithEveryByteOfAReplyAndANullForAnUnknownAddress) {
    RunResult scan;
    scan.operation = "scan";
    scan.port = "C:\\ports\\\"COM3\"";
    scan.address = 5;
    scan.message = std::string("VER=1.0\r\n\x01\t\xE9", 12);
    scan.devices = {{3, "VER=a"}, {9, "VER=\"b\""}};
    const std::string text = jsonResult(scan);
    // Control bytes and bytes past ASCII travel escaped, never raw.
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= 0x20 && c < 0x7F; }))
        << text;
    const QJsonObject json = parseJsonObject(text);
    expectFields(json, {"operation=scan", "port=" + scan.port, "address=5", "outcome=success", "exit_code=0",
                        "message=" + scan.message});
    const QJsonArray devices = json.value("devices").toArray();
    ASSERT_EQ(devices.size(), 2);
    expectFields(devices[1].toObject(), {"address=9", "reply=VER=\"b\""});

    RunResult version;
    version.operation = "version";
    version.exitCode = ExitCode::NoDevice;
    const QJsonObject unknown = parseJsonObject(jsonResult(version));
    expectFields(unknown, {"address=null", "outcome=no-device", "exit_code=4"});
    EXPECT_FALSE(unknown.contains("devices"));
}

TEST(Progress, TimeLeftCoversThePassesStillToCome) {
    ProgressState state{"DOWNLOAD", 50, 100, 50, 150};
    EXPECT_EQ(formatProgress(state, 50.0), "DOWNLOAD    50/100    50.0%     50.0 rec/s  0:03 left");
    EXPECT_EQ(formatProgress(state, std::nullopt), "DOWNLOAD    50/100    50.0%        - rec/s");
}

} // namespace
