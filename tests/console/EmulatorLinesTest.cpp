#include <map>

#include "EmulatorTest.h"

// One emulator serving several lines at once, each flashed by one flasher run: every line has its
// own board and flash, and a fault given to one line stays on that line.
namespace {

class EmulatorLines : public EmulatorTest {
  protected:
    EmulatorLines()
        : EmulatorTest({"--flash-start", "0x08000000", "--flash-size", "16K", "--line-rate", "115200"}) {}

    const HexImage image = makeHexImage(24, 0x08000000, 0x4000);
};

TEST_F(EmulatorLines, EachLineIsFlashedAndTheFaultyLineAloneFails) {
    const std::string link = path("line");
    addEmulator("lines.bin", {"--lines", "3", "--link", link, "--address", "1", "--faulty-line", "2",
                              "--drop-every", "10"});
    const std::string ports = link + ".1," + link + ".2," + link + ".3";
    const ProgramRun run = runProgram(BOOTFLASH_PATH, {"download", writeImage(image), "--port", ports,
                                                       "--address", "1", "--stall-timeout", "0.5", "--json"});
    EXPECT_NE(run.exitCode, 0) << run.err;

    std::map<std::string, std::string> outcomes;
    for (std::size_t from = 0, end; (end = run.out.find('\n', from)) != std::string::npos; from = end + 1) {
        const QJsonObject object = parseJsonObject(run.out.substr(from, end - from));
        if (field(object, "type") == "board")
            outcomes[field(object, "port")] = field(object, "outcome");
    }
    EXPECT_EQ(outcomes, (std::map<std::string, std::string>{
                            {link + ".1", "success"}, {link + ".2", "stall"}, {link + ".3", "success"}}))
        << run.out;
    for (const char* dump : {"lines.bin.1", "lines.bin.3"})
        EXPECT_TRUE(flashAtStop(dump) == image.flash) << dump << " differs from the image";
    EXPECT_FALSE(readBinary(path("lines.bin.2")) == image.flash) << "the faulty line's flash is whole";
}

} // namespace
