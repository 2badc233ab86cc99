#include <gtest/gtest.h>

#include "JsonFields.h"
#include "console/CliOptions.h"
#include "console/JsonResultWriter.h"
#include "console/ProgressReporter.h"
#include "console/TracingPort.h"

namespace {

CliOptions parse(std::vector<std::string> words) {
    return parseCommandLine(words);
}

TEST(CommandLine, DefaultsAreTheWindowsStartValues) {
    const CliOptions options = parse({"version"});
    EXPECT_EQ(options.operation, Operation::Version);
    EXPECT_EQ(options.port, "COM3");
    EXPECT_EQ(options.baud, 115200);
    EXPECT_TRUE(options.modbusRtu);
    EXPECT_FALSE(options.address.has_value()); // an empty address box: scan first
    EXPECT_EQ(options.pollMs, 20);
}

TEST(CommandLine, ReadsOptionsInBothForms) {
    const CliOptions options =
        parse({"--port=/dev/ttyUSB0", "download", "fw.hex", "--baud", "9600", "--plain", "--address=7",
               "--poll-ms", "1", "--stall-timeout", "2.5", "--trace", "--json"});
    EXPECT_EQ(options.operation, Operation::Download);
    EXPECT_EQ(options.file, "fw.hex");
    EXPECT_EQ(options.port, "/dev/ttyUSB0");
    EXPECT_EQ(options.baud, 9600);
    EXPECT_FALSE(options.modbusRtu);
    EXPECT_EQ(options.address, 7);
    EXPECT_EQ(options.pollMs, 1);
    EXPECT_DOUBLE_EQ(options.stallTimeoutSeconds, 2.5);
    EXPECT_TRUE(options.trace);
    EXPECT_TRUE(options.json);
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
        EXPECT_THROW(parse(words), UsageError) << ::testing::PrintToString(words);
}

TEST(CommandLine, HelpListsOperationsOptionsAndExitCodes) {
    EXPECT_TRUE(parse({"--help"}).help);
    const std::string help = helpText("bootflash");
    for (const char* word : {"download FILE", "verify FILE", "version", "set-address NEW", "install", "scan",
                             "--port", "--baud", "--plain", "--address", "--poll-ms", "--stall-timeout",
                             "--trace", "--json", "3  port not available", "7  stall"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

TEST(JsonResult, ReadsBackWithEveryByteOfAReply) {
    RunResult result;
    result.operation = "scan";
    result.port = "C:\\ports\\\"COM3\"";
    result.address = 5;
    result.exitCode = ExitCode::Success;
    result.message = std::string("VER=1.0\r\n\x01\t\xE9", 12);
    result.devices = {{3, "VER=a"}, {9, "VER=\"b\""}};

    const JsonObject json = parseJsonObject(jsonResult(result));
    EXPECT_EQ(json.values.at("operation"), "scan");
    EXPECT_EQ(json.values.at("port"), result.port);
    EXPECT_EQ(json.values.at("address"), "5");
    EXPECT_EQ(json.values.at("outcome"), "success");
    EXPECT_EQ(json.values.at("exit_code"), "0");
    EXPECT_EQ(json.values.at("message"), result.message);
    ASSERT_EQ(json.arrays.at("devices").size(), 2u);
    EXPECT_EQ(json.arrays.at("devices")[1].values.at("address"), "9");
    EXPECT_EQ(json.arrays.at("devices")[1].values.at("reply"), "VER=\"b\"");
}

TEST(JsonResult, UnknownAddressIsNull) {
    RunResult result;
    result.operation = "version";
    result.exitCode = ExitCode::NoDevice;
    const JsonObject json = parseJsonObject(jsonResult(result));
    EXPECT_EQ(json.values.at("address"), "null");
    EXPECT_EQ(json.values.at("outcome"), "no-device");
    EXPECT_EQ(json.values.at("exit_code"), "4");
    EXPECT_EQ(json.arrays.count("devices"), 0u);
}

TEST(Trace, ShowsBytesInHexAndAsText) {
    EXPECT_EQ(TracingPort::describe(std::string("\x01"
                                                "BOK\xD5\xCB",
                                                6)),
              "01 42 4F 4B D5 CB  |.BOK..|");
}

TEST(Progress, TimeLeftCoversThePassesStillToCome) {
    ProgressState state{"DOWNLOAD", 50, 100, 50, 150};
    EXPECT_EQ(formatProgress(state, 50.0), "DOWNLOAD    50/100    50.0%     50.0 rec/s  0:03 left");
    EXPECT_EQ(formatProgress(state, std::nullopt), "DOWNLOAD    50/100    50.0%        - rec/s");
}

} // namespace
