#include <cstdlib>

#include <gtest/gtest.h>

#include "EmulatorTest.h"

// The real flasher against boards that misbehave in time, on a line paced at 115200 baud whose
// pacing it is told of: exit code 0 only when the board holds the file.
namespace {

struct Board {
    const char* name;
    std::vector<std::string> options;
    std::vector<int> exitCodes; // any of them
    std::string says;           // on standard error
};

std::ostream& operator<<(std::ostream& out, const Board& board) {
    return out << board.name;
}

class TimingFault : public EmulatorTest, public testing::WithParamInterface<Board> {
  protected:
    TimingFault()
        : EmulatorTest({"--line-rate", "115200", "--flash-start", "0x08000000", "--flash-size", "32K"}) {}
    void SetUp() override {
        EmulatorTest::SetUp();
        setenv("BOOTDEVICE_PTY_WIRE", "1", 1);
    }
    void TearDown() override {
        unsetenv("BOOTDEVICE_PTY_WIRE");
        EmulatorTest::TearDown();
    }

    const HexImage image = makeHexImage(80, 0x08000000, 0x8000);
};

} // namespace

TEST_P(TimingFault, ExitsZeroOnlyWithTheFileInFlash) {
    const Board& board = GetParam();
    std::vector<std::string> options{"--address", "1"};
    options.insert(options.end(), board.options.begin(), board.options.end());
    const std::string port = startEmulator(options);
    const ProgramRun run = runProgram(
        BOOTFLASH_PATH, {"download", writeImage(image), "--port", port, "-a", "1", "--stall-timeout", "2"});
    EXPECT_NE(std::find(board.exitCodes.begin(), board.exitCodes.end(), run.exitCode), board.exitCodes.end())
        << "exit code " << run.exitCode << "\n"
        << run.err;
    EXPECT_NE(run.err.find(board.says), std::string::npos) << run.err;
    if (run.exitCode == 0) {
        EXPECT_TRUE(flashAtStop() == image.flash) << "flash differs from the file";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Boards, TimingFault,
    testing::Values(Board{"TwoAtOneAddressOneRefusingRecord2",
                          {"--address", "1,1", "--faulty-device", "2", "--refuse-record", "2"},
                          {9},
                          "address 1: more than one board answers"},
                    // A flasher held up by a loaded machine may send the next record only once the
                    // board has written: then the board takes every record, and exit 0 is true.
                    Board{"RecordsAcknowledgedOnReceiptAnd2MsLater", {"--ack-twice-ms", "2"}, {9, 7, 0}, ""},
                    Board{"RecordsAcknowledgedOnReceiptAnd3MsLater", {"--ack-twice-ms", "3"}, {9, 7, 0}, ""},
                    Board{"ProbeAnswered350MsLate", {"--probe-delay-ms", "350"}, {0}, ""}),
    [](const testing::TestParamInfo<Board>& info) { return std::string(info.param.name); });
