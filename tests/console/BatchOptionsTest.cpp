#include <filesystem>

#include <gtest/gtest.h>

#include "console/batch/BatchReport.h"
#include "console/cli/CliOptions.h"

namespace {

std::string joined(const std::vector<int>& numbers) {
    std::string text;
    for (const int number : numbers)
        text += (text.empty() ? "" : ",") + std::to_string(number);
    return text;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : ",") + word;
    return text;
}

// What a batch command line sets, in one line.
std::string batchSummary(const CliOptions& o) {
    return "ports=" + joined(o.ports) + " port=" + o.port + " addresses=" + joined(o.addresses) +
           " address=" + (o.address ? std::to_string(*o.address) : "none") + (o.allOnBus ? " all" : "") +
           " retries=" + std::to_string(o.retries) + (o.stopOnFailure ? " stop" : "") + " log=" + o.logFile +
           (isBatch(o) ? " batch" : " single");
}

TEST(BatchOptions, ListsOfPortsAndAddressesMakeABatchAndOneOfEachDoesNot) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        // One port and one address: the single run of before.
        {{"download", "f.hex", "-p", "/dev/a", "-a", "3"},
         "ports=/dev/a port=/dev/a addresses=3 address=3 retries=0 log= single"},
        {{"download", "f.hex", "-a", "0"}, "ports= port= addresses=0 address=0 retries=0 log= single"},
        {{"download", "f.hex", "-p", "/dev/a", "--address", "3,5,9"},
         "ports=/dev/a port=/dev/a addresses=3,5,9 address=none retries=0 log= batch"},
        // Repeated and listed ports add up, in order, each once.
        {{"download", "f.hex", "-p", "/dev/a,/dev/b", "--port", "/dev/c", "-p", "/dev/a"},
         "ports=/dev/a,/dev/b,/dev/c port=/dev/a addresses= address=none retries=0 log= batch"},
        {{"verify", "f.hex", "-p", "/dev/a", "--all", "--retries", "2", "--stop-on-failure", "--log",
          "l.txt"},
         "ports=/dev/a port=/dev/a addresses= address=none all retries=2 stop log=l.txt batch"},
        // Retries or a log alone already want the board records.
        {{"download", "f.hex", "-a", "4", "--retries", "1"},
         "ports= port= addresses=4 address=4 retries=1 log= batch"},
        {{"download", "f.hex", "--log", "x"}, "ports= port= addresses= address=none retries=0 log=x batch"},
    };
    for (const auto& [arguments, expected] : cases)
        EXPECT_EQ(batchSummary(parseCommandLine(arguments)), expected) << ::testing::PrintToString(arguments);
}

TEST(BatchOptions, RefusesWhatABatchCannotMean) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"download", "f.hex", "-a", "3,3"}, "--address: 3 given twice"},
        {{"download", "f.hex", "-a", "0,3"}, "0 reaches every board at once"},
        {{"download", "f.hex", "-a", "3,"}, "--address must be a whole number"},
        {{"download", "f.hex", "-a", "3,256"}, "--address must be a whole number from 0 to 255"},
        {{"download", "f.hex", "--all", "-a", "3"}, "--all finds the addresses itself"},
        {{"version", "-a", "3,5"}, "not with version"},
        {{"scan", "-p", "a,b"}, "not with scan"},
        {{"download", "f.hex", "--retries", "11"}, "--retries must be a whole number from 0 to 10"},
        {{"download", "f.hex", "--log", ""}, "--log needs a file name"},
    };
    for (const auto& [arguments, says] : cases) {
        try {
            parseCommandLine(arguments);
            ADD_FAILURE() << "accepted " << ::testing::PrintToString(arguments);
        } catch (const UsageError& error) {
            EXPECT_NE(std::string(error.what()).find(says), std::string::npos) << error.what();
        }
    }
}

// Port names as the flasher takes them, from --port or, without it, from BOOTFLASH_PORT.
TEST(PortNames, EachNameIsOpenedAsWhatItMeansOrRefusedWithTheReason) {
    const std::string here = std::filesystem::current_path().native();
    const std::string parent = std::filesystem::current_path().parent_path().native();
    const struct {
        std::vector<std::string> ports; // each given with -p
        const char* environment;
        std::string taken; // the ports, comma-joined; or the start of the refusal
    } table[] = {
        {{" /dev/a , /dev/b,"}, nullptr, "/dev/a,/dev/b"},
        {{"COM3"}, nullptr, "COM3"},
        {{"TCP://gw:1", "socket://gw:2", "RFC2217://gw:3"}, nullptr, "tcp://gw:1,tcp://gw:2,rfc2217://gw:3"},
        {{"./link", "dir/x", "../x"}, nullptr, here + "/link," + here + "/dir/x," + parent + "/x"},
        {{"null"}, nullptr, "/dev/null"}, // a name under /dev
        {{}, "tcp://gw:1,/dev/b", "tcp://gw:1,/dev/b"},
        {{"/dev/a"}, "/dev/b", "/dev/a"},
        {{""}, nullptr, "--port needs a port name, not \"\""},
        {{" "}, nullptr, "--port needs a port name, not \" \""},
        {{",,"}, nullptr, "--port needs a port name, not \",,\""},
        {{"COM"}, nullptr, "--port: \"COM\" names no port; COM needs its number"},
        {{"comX"}, nullptr, "--port: \"comX\" names no port"},
        {{"ftp://gw:1"}, nullptr, "--port: \"ftp://gw:1\" has an unknown scheme"},
        {{"Tcp://gw"}, nullptr, "--port: tcp://gw: expected HOST:PORT"},
        {{"tcp://" + std::string(254, 'h') + ":1"}, nullptr, "--port: the host name is longer than 253"},
        {{std::string(5000, 'x')}, nullptr, "--port: the name is longer than the system allows"},
        {{"/dev/" + std::string(256, 'x')}, nullptr, "--port: a part of the path is longer"},
        {{}, ",", "BOOTFLASH_PORT needs a port name"},
    };
    for (const auto& row : table) {
        std::vector<std::string> arguments{"download", "f.hex"};
        for (const std::string& port : row.ports)
            arguments.insert(arguments.end(), {"-p", port});
        SCOPED_TRACE(::testing::PrintToString(arguments) +
                     " BOOTFLASH_PORT=" + (row.environment ? row.environment : "(unset)"));
        try {
            EXPECT_EQ(joined(parseCommandLine(arguments, row.environment).ports), row.taken);
        } catch (const UsageError& error) {
            EXPECT_TRUE(std::string(error.what()).starts_with(row.taken)) << error.what();
        }
    }
}

BoardRecord board(std::optional<int> address, std::vector<ExitCode> attempts) {
    BoardRecord record;
    record.port = "/dev/a";
    record.address = address;
    record.attempts = std::move(attempts);
    return record;
}

// The exit code of a batch is the highest board code: any failure outweighs success, and of two
// failures the one with the higher code is reported.
TEST(BatchOptions, TheWorstBoardGivesTheExitCode) {
    using enum ExitCode;
    const std::vector<std::pair<std::vector<BoardRecord>, ExitCode>> cases = {
        {{}, NoDevice}, // nothing found, nothing flashed
        {{board(3, {Success}), board(5, {Success})}, Success},
        {{board(3, {Success}), board(5, {DeviceError})}, DeviceError},
        {{board(3, {Stall}), board(5, {DeviceError}), board(9, {Success})}, Stall},
        {{board(3, {Stall, Success}), board(5, {Success})}, Success}, // a retry that worked counts as success
        {{board(std::nullopt, {PortNotAvailable}), board(5, {NoDevice})}, NoDevice},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(toInt(worstOutcome(cases[i].first)), toInt(cases[i].second)) << "case " << i;
    // A port of --all whose scan found no board weighs as "no device", though it has no board.
    EXPECT_EQ(toInt(worstOutcome({board(3, {Success})}, true)), toInt(NoDevice));
}

TEST(BatchOptions, SummaryTableLinesUpItsColumns) {
    BoardRecord first = board(3, {ExitCode::Stall, ExitCode::Success});
    first.reply = "BOOT V1.2";
    first.seconds = 2.26;
    BoardRecord second = board(std::nullopt, {ExitCode::PortNotAvailable});
    second.port = "tcp://station-2:4001";
    EXPECT_EQ(summaryTable({first, second}),
              "PORT                  ADDRESS  VERSION    OUTCOME             ATTEMPTS  SECONDS\n"
              "/dev/a                3        BOOT V1.2  success             2         2.3\n"
              "tcp://station-2:4001  -        -          port-not-available  1         0.0\n");
}

} // namespace
