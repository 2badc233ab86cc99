#include <algorithm>
#include <chrono>
#include <csignal>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "EmulatorTest.h"

// What the flasher makes of the answers a bus gives: a second board at an address, a noisy line,
// a board that ignores its address or answers from the one it has just taken, and a flasher
// that was suspended while the board's answer waited for it.
namespace {

constexpr std::uint32_t kFlashStart = 0x08000000;
constexpr std::size_t kFlashSize = 0x4000;

class BusAnswers : public EmulatorTest {
  protected:
    BusAnswers() : EmulatorTest({"--flash-start", "0x08000000", "--flash-size", "16K"}) {}

    static ProgramRun flash(const std::vector<std::string>& arguments) {
        return runProgram(BOOTFLASH_PATH, arguments);
    }

    static std::size_t count(const std::string& text, const std::string& part) {
        std::size_t found = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++found;
        return found;
    }
};

// Two boards at address 1: every operation stops at its probes, with the conflict named, and
// neither board gets anything else: their flash stays blank, the trace shows only probes.
TEST_F(BusAnswers, TwoBoardsAtOneAddressGetNothingButTheProbe) {
    const std::string file = writeImage(makeHexImage(20, kFlashStart, kFlashSize));
    const std::string port = startEmulator({"--address", "1,1"});
    const std::vector<std::vector<std::string>> operations = {
        {"download", file}, {"verify", file}, {"install"}, {"version"}, {"set-address", "9"}};
    for (std::vector<std::string> arguments : operations) {
        arguments.insert(arguments.end(), {"--port", port, "--address", "1", "--trace"});
        SCOPED_TRACE(arguments.front());
        const ProgramRun run = flash(arguments);
        EXPECT_EQ(run.exitCode, 9) << run.err;
        EXPECT_NE(run.err.find("bootflash: address 1: more than one board answers; "), std::string::npos)
            << run.err;
        EXPECT_EQ(count(run.err, " TX "), count(run.err, "TX 10 bytes: 01 42 4F 4F 54 69 0D 0A")) << run.err;
        EXPECT_EQ(run.out, "");
    }
    const std::vector<std::uint8_t> blank(kFlashSize, 0xFF);
    EXPECT_TRUE(flashAtStop("flash.bin.1") == blank);
    EXPECT_TRUE(readBinary(path("flash.bin.1.2")) == blank);
}

// A board slower than the connection wait's 200 ms between probes answers the probe before with
// the next one out, then that one: one board, which takes its new address.
TEST_F(BusAnswers, ASlowBoardAnsweringAnEarlierProbeIsOneBoard) {
    const std::string port = startEmulator({"--address", "1", "--reply-delay-ms", "250"});
    const ProgramRun run = flash(
        {"set-address", "9", "--port", port, "--address", "1", "--probe-ms", "300", "--stall-timeout", "2"});
    EXPECT_EQ(std::tuple(run.exitCode, run.out), std::tuple(0, std::string("VER=1.0\n"))) << run.err;
}

// Bursts of noise between replies, several in each probe's window: a lone board all the same,
// found by the scan, given its new address, and flashed by --all.
TEST_F(BusAnswers, NoiseBetweenRepliesIsNoSecondBoard) {
    const std::string file = writeImage(makeHexImage(20, kFlashStart, kFlashSize));
    const std::string port = startEmulator({"--address", "5", "--noise-every-ms", "3"});

    const ProgramRun scan = flash({"scan", "--port", port, "--scan-range", "4-6"});
    EXPECT_EQ(std::tuple(scan.exitCode, scan.out), std::tuple(0, std::string("5\tVER=1.0\n"))) << scan.err;
    const ProgramRun moved = flash({"set-address", "9", "--port", port, "--address", "5"});
    EXPECT_EQ(std::tuple(moved.exitCode, moved.out), std::tuple(0, std::string("VER=1.0\n"))) << moved.err;
    const ProgramRun all = flash({"download", file, "--port", port, "--all", "--scan-range", "8-10"});
    EXPECT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(count(all.err, "END: "), 1u) << all.err;
}

// The board takes its new address and says "OK" from there: it has moved, and answers there.
TEST_F(BusAnswers, ABoardAnsweringFromItsNewAddressHasMoved) {
    const std::string port = startEmulator({"--address", "1", "--reply-from-new-address"});
    const ProgramRun moved = flash({"set-address", "12", "--port", port, "--address", "1", "--json"});
    EXPECT_EQ(moved.exitCode, 0) << moved.err;
    EXPECT_NE(moved.err.find("bootflash: the device answers at its new address 12"), std::string::npos)
        << moved.err;
    expectFields(parseJsonObject(moved.out), {"address=12", "message=VER=1.0"});
    EXPECT_EQ(flash({"version", "--port", port, "--address", "12"}).out, "VER=1.0\n");
}

// A board that ignores its address answers the broadcast address too, where boards at every
// address of the range do not: it is named, listed once, and flashed once.
TEST_F(BusAnswers, OneBoardAtEveryAddressIsListedAndFlashedOnce) {
    const std::string file = writeImage(makeHexImage(20, kFlashStart, kFlashSize));
    const std::string everywhere = startEmulator({"--address", "1", "--any-address"});
    const ProgramRun scan = flash({"scan", "--port", everywhere, "--scan-range", "1-20"});
    EXPECT_EQ(std::tuple(scan.exitCode, scan.out), std::tuple(0, std::string("1\tVER=1.0\n"))) << scan.err;
    EXPECT_EQ(count(scan.err, "one board answers at every address (1 to 20"), 1u) << scan.err;
    const ProgramRun all = flash({"download", file, "--port", everywhere, "--all", "--scan-range", "1-20"});
    EXPECT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(count(all.err, "END: "), 1u) << all.err;

    const std::string three = startEmulator({"--address", "1,2,3"});
    const ProgramRun boards = flash({"scan", "--port", three, "--scan-range", "1-3"});
    EXPECT_EQ(std::tuple(boards.exitCode, boards.out),
              std::tuple(0, std::string("1\tVER=1.0\n2\tVER=1.0\n3\tVER=1.0\n")))
        << boards.err;
}

// Stopped during a download for longer than its stall timeout, as a laptop's sleep stops it: once
// continued, the flasher reads the board's answer that waited for it before it judges the time.
TEST_F(BusAnswers, ASuspendedFlasherTakesTheAnswerThatWaitedForIt) {
    const HexImage image = makeHexImage(100, kFlashStart, kFlashSize);
    const std::string file = writeImage(image);
    const std::string port = startEmulator({"--address", "1", "--reply-delay-ms", "10"});
    WatchedProgram flasher(BOOTFLASH_PATH,
                           {"download", file, "--port", port, "--address", "1", "--stall-timeout", "0.5"});
    ASSERT_TRUE(flasher.waitForError("DOWNLOAD"));
    flasher.signal(SIGSTOP);
    // The suspension itself is what is tried here: it must outlast the stall timeout.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    flasher.signal(SIGCONT);
    const ProgramRun run = flasher.finish();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("END: "), std::string::npos) << run.err;
    EXPECT_TRUE(flashAtStop() == image.flash) << "flash differs from the image";
}

} // namespace
