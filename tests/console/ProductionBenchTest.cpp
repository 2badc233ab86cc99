#include <chrono>
#include <csignal>
#include <thread>

#include <QDeadlineTimer>

#include "EmulatorTest.h"

// The flasher on a production bench, against the emulator playing the bench's hardware: a board
// that enters its bootloader only after a reset pulse, a line without modem lines, a port that
// appears late.
namespace {

class ProductionBench : public EmulatorTest {
  protected:
    ProductionBench() : EmulatorTest({"--flash-size", "16K"}) {}
};

TEST_F(ProductionBench, AResetPulseOnTheWiredLineReachesABoardThatNeedsIt) {
    const std::string port = startEmulator({"--listen", "rfc2217://127.0.0.1:0", "--enter-on", "rts"});

    ProgramRun run =
        runProgram(BOOTFLASH_PATH, {"version", "--port", port, "--address", "1", "--connect-timeout", "1"});
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

// A signal while --after plays cuts the sequence short, not the operation: its reply is printed, its
// outcome stands, and a line says that --after was cut short.
TEST_F(ProductionBench, ASignalDuringAfterKeepsTheOperationsOutcome) {
    const std::string log = path("emulator.log");
    BackgroundProgram board(BOOTDEV_SIM_PATH, {"--verbose", "--listen", "rfc2217://127.0.0.1:0"}, log);
    WatchedProgram flasher(BOOTFLASH_PATH,
                           {"version", "--port", board.firstLine(), "--address", "1", "--after", "D0|W30"});
    // The server sees DTR drop (a port opens with it on) once the version has come: --after then
    // waits its 30 s.
    const QDeadlineTimer bound(20000);
    while (fileText(log).find("DTR off") == std::string::npos && !bound.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    flasher.signal(SIGINT);
    const ProgramRun run = flasher.finish();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "VER=1.0\n");
    EXPECT_NE(run.err.find("bootflash: --after was cut short by a signal"), std::string::npos) << run.err;
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
        EXPECT_EQ(fileText(log).find("BOOT"), std::string::npos) << fileText(log);
    }
}

TEST_F(ProductionBench, WaitPortTakesAPortThatAppearsLateAndGivesUpOnOneThatDoesNot) {
    const std::string link = path("board");
    WatchedProgram flasher(BOOTFLASH_PATH,
                           {"version", "--port", link, "--address", "1", "--wait-port", "30"});
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

} // namespace
