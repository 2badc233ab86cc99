#include <gtest/gtest.h>

#include "EmulatorTest.h"

// A board on RS-485 loses the bytes that come before its transceiver has turned round after its
// answer: the flasher's gap between frames makes the flash, and a flash without it stalls.
class FrameGap : public EmulatorTest {
  protected:
    FrameGap() : EmulatorTest({"--flash-start", "0x08000000", "--flash-size", "32K"}) {}

    const HexImage image = makeHexImage(40, 0x08000000, 0x8000);
};

TEST_F(FrameGap, AFlashSucceedsWithTheGapAndStallsWithoutIt) {
    const struct {
        const char* name;
        std::vector<std::string> gap;
        int exitCode;
    } cases[] = {
        {"the default gap", {}, 0},
        {"a gap of its own", {"--frame-gap", "2.5"}, 0},
        {"no gap", {"--frame-gap", "0"}, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string port = startEmulator({"--address", "1", "--need-gap"});
        std::vector<std::string> arguments{"download", writeImage(image), "--port", port, "-a",
                                           "1",        "--stall-timeout", "1"};
        arguments.insert(arguments.end(), c.gap.begin(), c.gap.end());
        const ProgramRun run = runProgram(BOOTFLASH_PATH, arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(flashAtStop() == image.flash, c.exitCode == 0);
    }
}
