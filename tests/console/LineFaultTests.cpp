#include <csignal>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "EmulatorTest.h"
#include "link/Crc16.h"
#include "qt/PseudoTerminal.h"

// The real flasher when the line fails it: the port vanishes, the user stops the run, replies come
// in pieces or glued together.
namespace {

constexpr std::uint32_t kFlashStart = 0x08000000;
constexpr std::size_t kFlashSize = 0x8000;
// A stall time-out no run here reaches: a run that ends did so for its own reason, not for silence.
const std::vector<std::string> kPatient = {"--stall-timeout", "120"};

std::vector<std::string> with(std::vector<std::string> words, const std::vector<std::string>& more) {
    words.insert(words.end(), more.begin(), more.end());
    return words;
}

// The emulator at address 1, paced as a 9600 baud line so that a transfer lasts long enough to be
// interrupted and every reply is read in pieces.
class LineFault : public EmulatorTest {
  protected:
    LineFault()
        : EmulatorTest({"--address", "1", "--line-rate", "9600", "--flash-start", "0x08000000",
                        "--flash-size", "32K"}) {}

    const HexImage image = makeHexImage(200, kFlashStart, kFlashSize);
    const HexImage small = makeHexImage(30, kFlashStart, kFlashSize);
};

// The run ended from outside: the emulator killed, as when an adapter is pulled, or SIGINT and
// SIGTERM from the user. The flasher ends as for any failure, naming the record reached, and waits
// out neither a stall nor the connection wait; a signal gives the exit code shells give a program
// ended by that signal. Each download meets a fresh emulator that leaves record 10 without an
// answer (its 12th reply: the probe's, record 1's, "FORMAT" and record 2's "OK", then one a record),
// so the run is ended at a known record, on a quiet line, whatever the machine's load.
TEST_F(LineFault, APortLostOrASignalEndsTheRunNamingTheRecordReached) {
    const std::string file = writeImage(image);
    const std::vector<std::string> download = {"download", file, "--address", "1"};
    const std::string record10 = " of 202 (download pass)" + std::string(": ") + image.lines[9];
    const struct {
        std::vector<std::string> arguments;
        int signal; // 0: the port is lost instead
        int exitCode;
        std::string outcome;
        std::string says;
    } cases[] = {
        {{"version", "--address", "7"}, 0, 3, "port-not-available", "port lost ("},
        {download, 0, 3, "port-not-available", "port lost after record 10" + record10},
        {download, SIGINT, 130, "interrupted", "interrupted at record 10 of 202 (download pass)"},
        {download, SIGTERM, 143, "interrupted", "interrupted at record 10 of 202 (download pass)"},
    };
    std::string port;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says + " / exit code " + std::to_string(c.exitCode));
        port = startEmulator({"--drop-every", "12"});
        WatchedProgram flasher(BOOTFLASH_PATH,
                               with(c.arguments, with({"--port", port, "--json", "--trace"}, kPatient)));
        // The connection wait's probes go out on the silent address; the download sends record 10.
        ASSERT_TRUE(c.arguments[0] == "version" ? flasher.waitForError("TX ", 2)
                                                : flasher.waitForError(image.lines[9]));
        if (c.signal != 0) {
            flasher.signal(c.signal);
        } else {
            emulators.back()->kill();
            emulators.clear();
        }
        const ProgramRun run = flasher.finish();
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        expectFields(parseJsonObject(run.out),
                     {"outcome=" + c.outcome, "exit_code=" + std::to_string(c.exitCode)});
    }
    // The port was let go after the signal: the next run has it.
    EXPECT_EQ(runProgram(BOOTFLASH_PATH, {"version", "--port", port, "--address", "1"}).out, "VER=1.0\n");
}

// Plain replies are cut at their line ends: read a few bytes at a time at the shortest poll, two
// glued into one write, or several gathered by the longest poll the flasher allows.
TEST_F(LineFault, PlainRepliesInPiecesOrGluedTogetherCarryADownload) {
    const std::string file = writeImage(small);
    // The emulator's options beside --plain, and the flasher's poll.
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "1"}, {{"--glue-every", "2"}, "20"}, {{}, "100"}};
    for (const auto& [emulatorOptions, pollMs] : cases) {
        SCOPED_TRACE(::testing::PrintToString(emulatorOptions) + " poll " + pollMs);
        const std::string port = startEmulator(with({"--plain"}, emulatorOptions));
        const ProgramRun run = runProgram(BOOTFLASH_PATH, with({"download", file, "--plain", "--port", port,
                                                                "--address", "1", "--poll-ms", pollMs},
                                                               kPatient));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(flashAtStop() == small.flash) << "flash differs from the image";
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

// A board that stops answering after record 9 but keeps sending junk, framed or plain: junk is no
// reply, so the stall watch ends the attempt naming record 10, and the retry finds the board gone.
TEST_F(LineFault, ABabblingBoardStallsAtItsLastRecordAndIsRetried) {
    const std::string file = writeImage(image);
    for (const std::vector<std::string>& framing : {std::vector<std::string>{}, {"--plain"}}) {
        SCOPED_TRACE(framing.empty() ? "Modbus RTU" : "plain");
        // Replies: the probe's, one for each of records 1 to 9 and "FORMAT" before the first data.
        const std::string port = startEmulator(with({"--babble-after", "11"}, framing));
        const ProgramRun run = runProgram(
            BOOTFLASH_PATH, with({"download", file, "--port", port, "--address", "1", "--stall-timeout", "1",
                                  "--connect-timeout", "1", "--retries", "1", "--json"},
                                 framing));
        EXPECT_EQ(run.exitCode, 4) << run.err;
        EXPECT_NE(
            run.err.find("stall: no reply from the device for 1 s after record 10 of 202 (download pass)"),
            std::string::npos)
            << run.err;
        const QJsonObject board = parseJsonObject(run.out.substr(0, run.out.find('\n')));
        EXPECT_EQ(board["attempts"].toArray(), QJsonArray({"stall", "no-device"})) << run.out;
    }
}

// Output that cannot be written never stops a transfer: the board is written to the end, the loss
// gets exit code 8 and one line, and the board's outcome stays where it could be written. A log
// that is the firmware file itself, or a FIFO that no process reads (whose open would wait for
// ever), is refused before anything is sent; a FIFO being read takes the lines.
TEST_F(LineFault, LostOutputEndsWithItsOwnCodeAfterAFullTransfer) {
    const std::string file = writeImage(small);
    const std::string log = path("station.log");
    ASSERT_EQ(link(file.c_str(), path("firmware-link.hex").c_str()), 0);
    const std::string unreadFifo = path("unread.fifo");
    const std::string readFifo = path("read.fifo");
    ASSERT_EQ(mkfifo(unreadFifo.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(readFifo.c_str(), 0600), 0);
    // The reader: the pipe holds the few lines of one board.
    const int reader = open(readFifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const struct {
        const char* name;
        const char* shell; // runs the flasher as "$@"
        std::string logFile;
        int exitCode;
        std::string says;
        bool flashed;
    } cases[] = {
        {"reader gone after three lines", R"("$@" 2>&1 | head -3 >/dev/null; exit ${PIPESTATUS[0]})", log, 8,
         "", true},
        {"standard output full", R"("$@" >/dev/full)", "", 8,
         "bootflash: cannot write standard output: No space left on device\n", true},
        {"log on a full device", R"("$@")", "/dev/full", 8,
         "bootflash: cannot write the log /dev/full: No space left on device\n", true},
        {"log on a pipe, which keeps nothing to sync", R"("$@")", "/dev/stderr", 0, "", true},
        {"log is the firmware", R"("$@")", path("firmware-link.hex"), 2,
         "bootflash: --log names the firmware file " + file, false},
        {"log is a FIFO that no process reads", R"("$@")", unreadFifo, 5,
         "bootflash: cannot open the log " + unreadFifo + ": a FIFO that no process reads\n", false},
        {"log is a FIFO being read", R"("$@")", readFifo, 0, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string port = startEmulator({});
        std::vector<std::string> flasher = {"-c",        c.shell, "bash",   BOOTFLASH_PATH,
                                            "download",  file,    "--port", port,
                                            "--address", "1",     "--json"};
        if (!c.logFile.empty())
            flasher.insert(flasher.end(), {"--log", c.logFile});
        const ProgramRun run = runProgram("/bin/bash", with(flasher, kPatient));
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        const std::vector<std::uint8_t> erased(small.flash.size(), 0xFF);
        EXPECT_TRUE(flashAtStop() == (c.flashed ? small.flash : erased)) << "flash";
    }
    char lines[4096];
    const ssize_t got = ::read(reader, lines, sizeof lines);
    close(reader);
    EXPECT_NE(std::string(lines, got > 0 ? std::size_t(got) : 0).find(R"("type":"summary")"),
              std::string::npos);
    EXPECT_EQ(fileText(file), fileText(path("firmware-link.hex")));
    const std::string logged = fileText(log);
    EXPECT_NE(logged.find(R"("outcome":"success")"), std::string::npos) << logged;
    EXPECT_NE(logged.find(R"("type":"summary")"), std::string::npos) << logged;
}

} // namespace
