#include <gtest/gtest.h>

#include "console/batch/BatchReport.h"
#include "console/cli/CliOptions.h"

namespace {

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
