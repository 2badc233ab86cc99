#include <fstream>
#include <sstream>

#include "EmulatorTest.h"

// The flasher on a production bench, against the emulator playing the bench's hardware: a board
// that enters its bootloader only after a reset pulse, a port that appears late, an echoing
// RS-485 adapter.
namespace {

class ProductionBench : public EmulatorTest {
  protected:
    ProductionBench() : EmulatorTest({"--flash-size", "16K"}) {}

    std::string readText(const std::string& name) const {
        std::ifstream in(path(name));
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(ProductionBench, AResetPulseOnTheWiredLineReachesABoardThatNeedsIt) {
    const std::string port = startEmulator({"--listen", "rfc2217://127.0.0.1:0", "--enter-on", "rts"});

    ProgramRun run = runProgram(BOOTFLASH_PATH, {"version", "--port", port, "--address", "1",
                                                 "--connect-timeout", "1"});
    EXPECT_EQ(run.exitCode, 4) << "the application ignores probes: " << run.err;
    // The pulse on the other line leaves the board in its application.
    run = runProgram(BOOTFLASH_PATH, {"version", "--port", port, "--address", "1", "--connect-timeout", "1",
                                      "--reset", "dtr-reset"});
    EXPECT_EQ(run.exitCode, 4) << run.err;
    run = runProgram(BOOTFLASH_PATH, {"version", "--port", port, "--address", "1", "--reset",
                                      "R0|R1|W0.05|R0", "--after", "rts-reset"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "VER=1.0\n");
}

TEST_F(ProductionBench, ALineWithoutModemLinesIsRefusedBeforeAnythingIsSent) {
    const std::string log = path("emulator.log");
    for (const std::vector<std::string>& emulator :
         {std::vector<std::string>{"--verbose"}, {"--verbose", "--listen", "tcp://127.0.0.1:0"}}) {
        BackgroundProgram board(BOOTDEV_SIM_PATH, emulator, log);
        const ProgramRun run =
            runProgram(BOOTFLASH_PATH, {"version", "--port", board.firstLine(), "--after", "D1"});
        EXPECT_EQ(run.exitCode, 3) << run.err;
        EXPECT_NE(run.err.find("no modem lines"), std::string::npos) << run.err;
        board.stop();
        EXPECT_EQ(readText("emulator.log").find("BOOT"), std::string::npos) << readText("emulator.log");
    }
}

TEST_F(ProductionBench, WaitPortTakesAPortThatAppearsLateAndGivesUpOnOneThatDoesNot) {
    const std::string link = path("board");
    WatchedProgram flasher(BOOTFLASH_PATH, {"version", "--port", link, "--address", "1", "--wait-port", "30"});
    ASSERT_TRUE(flasher.waitForError("waiting up to 30 s for " + link));
    startEmulator({"--link", link});
    const ProgramRun run = flasher.finish();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "VER=1.0\n");

    const ProgramRun never =
        runProgram(BOOTFLASH_PATH, {"version", "--port", path("never"), "--wait-port", "0.3"});
    EXPECT_EQ(never.exitCode, 3) << never.err;
    EXPECT_NE(never.err.find("cannot open " + path("never")), std::string::npos) << never.err;
}

// A two-wire RS-485 adapter hands every request back before the reply: an echo is no reply.
TEST_F(ProductionBench, AnEchoingAdapterCarriesADownloadAndVerify) {
    const HexImage image = makeHexImage(200, 0x08000000, 0x4000);
    const std::string port = startEmulator({"--echo", "--line-rate", "115200"});
    const ProgramRun run =
        runProgram(BOOTFLASH_PATH, {"download", writeImage(image), "--port", port, "--address", "1"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(flashAtStop() == image.flash) << "flash differs from the image";
}

} // namespace
