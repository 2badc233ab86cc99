#include <csignal>

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ChildProcess.h"
#include "HexImage.h"
#include "JsonFields.h"
#include "link/Crc16.h"
#include "qt/PseudoTerminal.h"

// The real flasher when the line fails it: the port vanishes, another program holds it, the user
// stops the run, replies come in pieces or glued together.
namespace {

constexpr std::uint32_t kFlashStart = 0x08000000;
constexpr std::size_t kFlashSize = 0x8000;
// A stall time-out no run here reaches: a run that ends did so for its own reason, not for silence.
const std::vector<std::string> kPatient = {"--stall-timeout", "120"};

class LineFault : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(directory.isValid()); }

    std::string path(const std::string& name) const {
        return directory.filePath(QString::fromStdString(name)).toStdString();
    }
    // The emulator at address 1, paced as a 9600 baud line so that a transfer lasts long enough to
    // be interrupted and every reply is read in pieces; returns its pseudo-terminal.
    std::string startEmulator(std::vector<std::string> options) {
        options.insert(options.end(),
                       {"--address", "1", "--line-rate", "9600", "--flash-start", "0x08000000",
                        "--flash-size", "32K", "--erase-ms", "5", "--dump", path("flash.bin")});
        emulator = std::make_unique<BackgroundProgram>(BOOTDEV_SIM_PATH, options);
        return emulator->firstLine();
    }
    std::string writeImage(const HexImage& image) {
        writeLines(path("firmware.hex"), image.lines);
        return path("firmware.hex");
    }
    static std::vector<std::string> with(std::vector<std::string> words,
                                         const std::vector<std::string>& more) {
        words.insert(words.end(), more.begin(), more.end());
        return words;
    }

    QTemporaryDir directory;
    std::unique_ptr<BackgroundProgram> emulator;
    const HexImage image = makeHexImage(200, kFlashStart, kFlashSize);
};

// The emulator killed in the middle of a download, as when an adapter is pulled: the flasher ends
// for the lost port, naming the record, and does not wait out a stall.
TEST_F(LineFault, APortLostMidDownloadEndsTheRunAsAPortFailure) {
    const std::string port = startEmulator({});
    WatchedProgram flasher(
        BOOTFLASH_PATH,
        with({"download", writeImage(image), "--port", port, "--address", "1", "--json"}, kPatient));
    ASSERT_TRUE(flasher.waitForError("DOWNLOAD ", 2));
    emulator->kill();

    const ProgramRun run = flasher.finish();
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_NE(run.err.find("port lost after record "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("(download pass): :10"), std::string::npos) << run.err;
    expectFields(parseJsonObject(run.out), {"outcome=port-not-available", "exit_code=3"});
}

// A second flasher reaching the same terminal by another name is refused, and the first one's
// download is not disturbed.
TEST_F(LineFault, ASecondFlasherOnTheSamePortByAnotherNameIsRefused) {
    const std::string link = path("board-link");
    const std::string port = startEmulator({"--link", link});
    const HexImage small = makeHexImage(60, kFlashStart, kFlashSize);
    WatchedProgram first(BOOTFLASH_PATH,
                         with({"download", writeImage(small), "--port", port, "--address", "1"}, kPatient));
    ASSERT_TRUE(first.waitForError("DOWNLOAD "));

    const ProgramRun second = runProgram(BOOTFLASH_PATH, {"version", "--port", link, "--address", "1"});
    EXPECT_EQ(second.exitCode, 3) << second.err;
    EXPECT_NE(second.err.find(link + ": in use by another program"), std::string::npos) << second.err;

    const ProgramRun firstRun = first.finish();
    EXPECT_EQ(firstRun.exitCode, 0) << firstRun.err;
    EXPECT_EQ(emulator->stop(), 0);
    EXPECT_TRUE(readBinary(path("flash.bin")) == small.flash) << "flash differs from the image";
}

// SIGINT and SIGTERM end the run as any failure does: the port closed, the position on standard
// error, the JSON object, and the exit code shells give a program ended by that signal.
TEST_F(LineFault, ASignalEndsTheRunWithItsExitCodeAndTheRecordReached) {
    const std::string file = writeImage(image);
    const std::string port = startEmulator({});
    for (const auto& [signal, exitCode] : {std::pair{SIGINT, 130}, {SIGTERM, 143}}) {
        SCOPED_TRACE(signal);
        WatchedProgram flasher(
            BOOTFLASH_PATH, with({"download", file, "--port", port, "--address", "1", "--json"}, kPatient));
        ASSERT_TRUE(flasher.waitForError("DOWNLOAD "));
        flasher.signal(signal);
        const ProgramRun run = flasher.finish();
        EXPECT_EQ(run.exitCode, exitCode) << run.err;
        EXPECT_NE(run.err.find("interrupted at record "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(" of 202 (download pass)"), std::string::npos) << run.err;
        expectFields(parseJsonObject(run.out),
                     {"outcome=interrupted", "exit_code=" + std::to_string(exitCode)});
    }
    // The port was let go: the next run has it.
    EXPECT_EQ(runProgram(BOOTFLASH_PATH, {"version", "--port", port, "--address", "1"}).out, "VER=1.0\n");
}

// Plain replies are cut at their line ends: read a few bytes at a time at the shortest poll, two
// glued into one write, or several gathered by the longest poll the flasher allows.
TEST_F(LineFault, PlainRepliesInPiecesOrGluedTogetherCarryADownload) {
    const HexImage small = makeHexImage(30, kFlashStart, kFlashSize);
    const std::string file = writeImage(small);
    const struct {
        const char* name;
        std::vector<std::string> emulatorOptions;
        std::string pollMs;
    } cases[] = {
        {"in pieces", {}, "1"},
        {"glued", {"--glue-every", "2"}, "20"},
        {"longest poll", {}, "100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string port = startEmulator(with({"--plain"}, c.emulatorOptions));
        const ProgramRun run = runProgram(BOOTFLASH_PATH, with({"download", file, "--plain", "--port", port,
                                                                "--address", "1", "--poll-ms", c.pollMs},
                                                               kPatient));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(emulator->stop(), 0);
        EXPECT_TRUE(readBinary(path("flash.bin")) == small.flash) << "flash differs from the image";
    }
}

// A device whose replies lack the line end: the flasher holds such a reply back a few byte times in
// case more of it comes, then takes it as it is, though nothing more arrives to wake it.
TEST_F(LineFault, AReplyWithoutLineEndIsTakenOnceTheLineIsQuiet) {
    PseudoTerminal line;
    WatchedProgram run(BOOTFLASH_PATH, {"version", "--port", line.slavePath(), "--address", "1",
                                        "--connect-timeout", "10", "--trace"});
    const std::string reply = std::string("\x01") + "BVER=3.1";
    // The connection wait's probe, then the version query.
    for (const int probe : {1, 2}) {
        ASSERT_TRUE(run.waitForError("TX 10 bytes", probe));
        line.writeToPort(reply + CRC16(reply));
    }
    const ProgramRun end = run.finish();
    EXPECT_EQ(end.exitCode, 0) << end.err;
    EXPECT_EQ(end.out, "VER=3.1\n");
}

// A FIFO as the file would block the open until a writer came: it is refused before.
TEST_F(LineFault, AFileThatIsNotARegularFileIsRefused) {
    ASSERT_EQ(mkfifo(path("pipe.hex").c_str(), 0600), 0);
    const std::string port = startEmulator({});
    const ProgramRun run =
        runProgram(BOOTFLASH_PATH, {"download", path("pipe.hex"), "--port", port, "--address", "1"});
    EXPECT_EQ(run.exitCode, 5) << run.err;
    EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
}

} // namespace
