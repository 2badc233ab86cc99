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

// The line a board ends with counts its attempts only when there was more than one.
TEST(BatchOptions, ABoardsLineCountsItsAttemptsWhenItTookMoreThanOne) {
    BoardRecord once = board(3, {ExitCode::Success});
    once.seconds = 1.25;
    EXPECT_EQ(boardLine(once), "/dev/a #3 success, 1.2 s\n");
    BoardRecord twice = board(3, {ExitCode::Stall, ExitCode::Stall});
    twice.message = "stall";
    EXPECT_EQ(boardLine(twice), "/dev/a #3 stall after 2 attempts, 0.0 s: stall\n");
}

// The summary names each port once, however many boards it had.
TEST(BatchOptions, TheSummaryNamesEachPortOnce) {
    BoardRecord other = board(5, {ExitCode::Success});
    other.port = "/dev/b";
    const std::string summary = summaryJsonLine(
        {board(3, {ExitCode::Success}), board(4, {ExitCode::Success}), other}, {"/dev/c"}, {}, 0);
    EXPECT_NE(summary.find("\"ports\":[\"/dev/a\",\"/dev/b\",\"/dev/c\"]"), std::string::npos) << summary;
}

} // namespace
