#include <csignal>
#include <filesystem>

#include <QDeadlineTimer>
#include <QThread>

#include "EmulatorTest.h"

// The emulator program's own ends: what it writes to its flash is checked through its dump by the
// flasher's runs; here, the link it names, the dump on demand and at exit, and options it refuses.
namespace {

class EmulatorProgram : public EmulatorTest {
  protected:
    EmulatorProgram() : EmulatorTest({"--flash-size", "1K"}) {}
};

TEST_F(EmulatorProgram, NamesItsLinkDumpsItsFlashOnSignalAndAtExitAndRemovesTheLink) {
    const std::filesystem::path link = path("line");
    const std::string printed = startEmulator({"--link", link.string()});
    EXPECT_EQ(printed, std::filesystem::read_symlink(link).string());
    const std::vector<std::uint8_t> erased(1024, 0xFF);

    emulators.back()->signal(SIGUSR1);
    const QDeadlineTimer bound(10000);
    while (readBinary(path("flash.bin")).size() < erased.size() && !bound.hasExpired())
        QThread::msleep(10);
    EXPECT_TRUE(readBinary(path("flash.bin")) == erased) << "no dump on SIGUSR1";

    std::filesystem::remove(path("flash.bin"));
    EXPECT_TRUE(flashAtStop() == erased) << "no dump at exit";
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(EmulatorOptions, OptionsThatContradictEachOtherEndItBeforeItNamesALine) {
    const ProgramRun run = runProgram(BOOTDEV_SIM_PATH, {"--plain", "--address", "3,5"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
}

} // namespace
