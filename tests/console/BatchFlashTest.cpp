#include <algorithm>
#include <csignal>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include <QCryptographicHash>
#include <QDateTime>

#include "EmulatorTest.h"

// The real flasher flashing several emulated boards: on one bus, and on several lines at once.
namespace {

constexpr std::uint32_t kFlashStart = 0x08000000;
constexpr std::size_t kFlashSize = 0x4000;

// The JSON lines of a batch: one object a board, then the summary.
std::vector<QJsonObject> jsonLines(const std::string& text) {
    std::vector<QJsonObject> objects;
    std::size_t from = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', from)) {
        objects.push_back(parseJsonObject(text.substr(from, end - from)));
        from = end + 1;
    }
    EXPECT_EQ(from, text.size()) << "unfinished last line in:\n" << text;
    return objects;
}

// The board objects by "port #address", each with its outcome and attempts: "success", "stall,success".
std::map<std::string, std::string> outcomes(const std::vector<QJsonObject>& lines) {
    std::map<std::string, std::string> found;
    for (const QJsonObject& line : lines) {
        if (field(line, "type") != "board")
            continue;
        std::string attempts;
        for (const QJsonValue attempt : line["attempts"].toArray())
            attempts += (attempts.empty() ? "" : ",") + attempt.toString().toStdString();
        found[field(line, "port") + " #" + field(line, "address")] = field(line, "outcome") + " " + attempts;
    }
    return found;
}

// The end table's rows as cells by heading. No cell here holds a space, so each row is read word by
// word: names of any length (/dev/pts/9 beside /dev/pts/10) read the same.
std::vector<std::map<std::string, std::string>> tableRows(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        lines.emplace_back(std::istream_iterator<std::string>(words), std::istream_iterator<std::string>());
    }
    std::vector<std::map<std::string, std::string>> rows;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::map<std::string, std::string>& row = rows.emplace_back();
        for (std::size_t c = 0; c < lines[0].size() && c < lines[i].size(); ++c)
            row[lines[0][c]] = lines[i][c];
    }
    return rows;
}

// Emulators at 0x08000000 with 16 KiB of flash at 115200 baud, and the image they are to hold.
class BatchFlash : public EmulatorTest {
  protected:
    BatchFlash()
        : EmulatorTest({"--flash-start", "0x08000000", "--flash-size", "16K", "--line-rate", "115200"}) {}
    void SetUp() override {
        EmulatorTest::SetUp();
        writeImage(image);
    }

    ProgramRun flash(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"download", path("firmware.hex")});
        return runProgram(BOOTFLASH_PATH, arguments);
    }

    // Stops the emulators, which leaves their dumps, and compares each named one with the image.
    void expectFlashed(const std::vector<std::string>& dumps) {
        for (const std::string& dump : dumps)
            EXPECT_TRUE(flashAtStop(dump) == image.flash) << dump << " differs from the image";
    }

    const HexImage image = makeHexImage(24, kFlashStart, kFlashSize);
};

TEST_F(BatchFlash, AllFlashesEveryBoardTheScanFinds) {
    const std::string port = addEmulator("bus.bin", {"--address", "3,5,9", "--device-version", "BOOT 2.0"});
    const ProgramRun run =
        flash({"--port", port, "--all", "--scan-range", "1-12", "--probe-ms", "250", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const std::vector<QJsonObject> lines = jsonLines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    EXPECT_EQ(outcomes(lines), (std::map<std::string, std::string>{{port + " #3", "success success"},
                                                                   {port + " #5", "success success"},
                                                                   {port + " #9", "success success"}}));
    for (std::size_t i = 0; i < 3; ++i)
        expectFields(lines[i], {"reply=VER=BOOT 2.0", "records=" + std::to_string(2 * image.lines.size())});
    expectFields(lines[3], {"type=summary", "boards=3", "succeeded=3", "failed=0", "exit_code=0"});

    // A scan that finds nothing on one port of two: no board there, and the summary's outcome and
    // the exit code say so, though the other port's board succeeded.
    const std::string other = addEmulator("other.bin", {"--address", "11"});
    const ProgramRun none = flash({"--port", port + "," + other, "--all", "--scan-range", "10-12", "--json"});
    EXPECT_EQ(none.exitCode, 4) << none.err;
    const std::vector<QJsonObject> summary = jsonLines(none.out);
    ASSERT_EQ(summary.size(), 2u) << none.out;
    expectFields(summary[1], {"type=summary", "boards=1", "failed=0", "outcome=no-device", "exit_code=4"});

    // Without --address or --all the one board is found as a single run finds it; its record names it.
    const ProgramRun found = flash({"--port", port, "--retries", "1", "--json"});
    EXPECT_EQ(outcomes(jsonLines(found.out)),
              (std::map<std::string, std::string>{{port + " #3", "success success"}}));

    // With --stop-on-failure a failed board ends the batch: the board after it is not touched, while
    // one that succeeded goes on to the next.
    const ProgramRun stopped = flash(
        {"--port", port, "--address", "5,4,9", "--stop-on-failure", "--connect-timeout", "0.5", "--json"});
    EXPECT_EQ(stopped.exitCode, 4) << stopped.err;
    const std::vector<QJsonObject> stoppedLines = jsonLines(stopped.out);
    EXPECT_EQ(outcomes(stoppedLines),
              (std::map<std::string, std::string>{{port + " #5", "success success"},
                                                  {port + " #4", "no-device no-device"}}));
    ASSERT_FALSE(stoppedLines.empty());
    expectFields(stoppedLines.back(), {"type=summary", "boards=2", "failed=1", "exit_code=4"});
    expectFlashed({"bus.bin.3", "bus.bin.5", "bus.bin.9"});
}

// Two boards at address 5: --all flashes board 3 and neither board at 5, whose record says why.
TEST_F(BatchFlash, AllFlashesNoBoardAtAnAddressWhereTwoAnswer) {
    const std::string port = addEmulator("bus.bin", {"--address", "3,5,5"});
    const ProgramRun run = flash({"--port", port, "--all", "--scan-range", "1-6", "--json"});
    EXPECT_EQ(run.exitCode, 9) << run.err;
    const std::vector<QJsonObject> lines = jsonLines(run.out);
    EXPECT_EQ(outcomes(lines), (std::map<std::string, std::string>{{port + " #3", "success success"},
                                                                   {port + " #5", "address-conflict "}}));
    ASSERT_EQ(lines.size(), 3u) << run.out;
    expectFields(lines[0], {"address=5", "message=address 5: more than one board answers; no board there was "
                                         "flashed"});
    expectFields(lines[2], {"type=summary", "outcome=address-conflict", "exit_code=9"});
    expectFlashed({"bus.bin.3"});
    const std::vector<std::uint8_t> erased(kFlashSize, 0xFF);
    EXPECT_TRUE(readBinary(path("bus.bin.5")) == erased && readBinary(path("bus.bin.5.2")) == erased);
}

// Progress on a terminal of the flasher's own (the one `script` makes, with no size, so COLUMNS
// gives its width): where TERM is dumb or unset several boards' progress comes as plain lines,
// without escape sequences; a single run's line, redrawn after a carriage return, fits the width.
TEST_F(BatchFlash, ProgressSuitsTheTerminal) {
    const std::string port = addEmulator("bus.bin", {"--address", "3,5"});
    const auto onTerminal = [&](const std::string& environment, const std::string& addresses) {
        const std::string flasher = std::string(BOOTFLASH_PATH) + " download " + path("firmware.hex") +
                                    " -p " + port + " -a " + addresses;
        return runProgram("/bin/bash", {"-c", environment + " script -qec \"$0\" /dev/null", flasher});
    };
    for (const char* environment : {"TERM=dumb", "unset TERM;"}) {
        const ProgramRun batch = onTerminal(environment, "3,5");
        EXPECT_EQ(batch.exitCode, 0) << batch.err;
        EXPECT_NE(batch.out.find(" #5] DOWNLOAD "), std::string::npos) << batch.out;
        EXPECT_EQ(batch.out.find('\x1b'), std::string::npos) << environment << ": " << batch.out;
    }
    const ProgramRun single = onTerminal("TERM=xterm COLUMNS=40", "3");
    EXPECT_EQ(single.exitCode, 0) << single.err;
    std::string shown = single.out;
    std::ranges::replace(shown, '\n', '\r');
    std::size_t progressLines = 0;
    std::istringstream pieces(shown);
    for (std::string piece; std::getline(pieces, piece, '\r');)
        if (piece.starts_with("DOWNLOAD") || piece.starts_with("VERIFY")) {
            ++progressLines;
            EXPECT_LT(piece.size(), 40u) << piece;
        }
    EXPECT_GT(progressLines, 0u) << single.out;
}

// A board whose flash is too small for the image answers "ERROR"; the others are flashed all the
// same, and the exit code is the failed board's. The table at the end has a heading and one row a
// board, in the order they ended; the bus on `small` has only board 7, 2 and 4 are missing there.
TEST_F(BatchFlash, ABoardThatRefusesARecordIsNamedWhileTheOthersSucceed) {
    const std::string good = addEmulator("good.bin", {"--address", "2,4"});
    const std::string small = addEmulator("small.bin", {"--address", "7", "--flash-size", "128"});
    const ProgramRun run = flash({"--port", good + "," + small, "--address", "2,4,7", "--stall-timeout", "1",
                                  "--connect-timeout", "1"});
    EXPECT_EQ(run.exitCode, 6) << run.err;
    std::set<std::string> rows;
    for (auto row : tableRows(run.out))
        rows.insert(row["PORT"] + " #" + row["ADDRESS"] + " " + row["VERSION"] + " " + row["OUTCOME"] + " " +
                    row["ATTEMPTS"]);
    EXPECT_EQ(rows,
              (std::set<std::string>{good + " #2 VER=1.0 success 1", good + " #4 VER=1.0 success 1",
                                     good + " #7 - no-device 1", small + " #2 - no-device 1",
                                     small + " #4 - no-device 1", small + " #7 VER=1.0 device-error 1"}))
        << run.out;
    // Progress lines are named by their port and board.
    EXPECT_NE(run.err.find("[" + small + " #7] DOWNLOAD "), std::string::npos) << run.err;
    expectFlashed({"good.bin.2", "good.bin.4"});
}

// The emulator drops every 70th reply, counting over all its boards: board 3 needs fewer than 70,
// so the drop falls in the middle of board 5's first attempt and its second attempt ends before
// the next one. The log, read back, holds the same lines with the file's name and SHA-256.
TEST_F(BatchFlash, ARetryTurnsAFailedFirstAttemptIntoASuccessAndTheLogKeepsBoth) {
    const std::string port = addEmulator("retry.bin", {"--address", "3,5", "--drop-every", "70"});
    const std::string log = path("station.log");
    writeLines(log, {"an earlier line"});
    const ProgramRun run = flash({"--port", port, "--address", "3,5", "--retries", "1", "--stall-timeout",
                                  "0.5", "--json", "--log", log});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<QJsonObject> lines = jsonLines(run.out);
    EXPECT_EQ(outcomes(lines), (std::map<std::string, std::string>{{port + " #3", "success success"},
                                                                   {port + " #5", "success stall,success"}}));
    // A retry starts the count of records again: the failed attempt's are not added to it.
    ASSERT_EQ(lines.size(), 3u);
    for (const QJsonObject& board : {lines[0], lines[1]})
        expectFields(board, {"records=" + std::to_string(2 * image.lines.size())});

    const QByteArray firmware = QByteArray::fromStdString(fileText(path("firmware.hex")));
    const std::string sha256 =
        QCryptographicHash::hash(firmware, QCryptographicHash::Sha256).toHex().toStdString();
    const std::string logged = fileText(log);
    ASSERT_TRUE(logged.starts_with("an earlier line\r\n")) << logged;
    const std::vector<QJsonObject> logLines = jsonLines(logged.substr(17));
    ASSERT_EQ(logLines.size(), 3u) << logged;
    for (const QJsonObject& line : logLines) {
        expectFields(line, {"file=" + path("firmware.hex"), "sha256=" + sha256, "operation=download"});
        // ISO 8601 in UTC: "2026-12-07T01:50:03.125Z".
        EXPECT_TRUE(QDateTime::fromString(line["time"].toString(), Qt::ISODateWithMs).isValid());
        EXPECT_TRUE(line["time"].toString().endsWith('Z'));
    }
    EXPECT_EQ(outcomes(logLines), outcomes(lines));
    expectFlashed({"retry.bin.3", "retry.bin.5"});
}

// A hang-up (the terminal or SSH session closing) ends the boards being flashed on every port, as
// SIGINT and SIGTERM do, and the batch still reports them, the boards it did not start, and its
// summary counting them all, on standard output and in the log.
TEST_F(BatchFlash, AHangUpEndsEveryPortsBoardAndTheSummaryStillComes) {
    writeImage(makeHexImage(600, kFlashStart, kFlashSize), "long.hex");
    const std::string first = addEmulator("first.bin", {"--address", "1,2"});
    const std::string second = addEmulator("second.bin", {"--address", "1,2"});
    WatchedProgram flasher(BOOTFLASH_PATH,
                           {"download", path("long.hex"), "--port", first, "--port", second, "--address",
                            "1,2", "--retries", "2", "--json", "--log", path("station.log")});
    ASSERT_TRUE(flasher.waitForError(first + " #1] DOWNLOAD "));
    ASSERT_TRUE(flasher.waitForError(second + " #1] DOWNLOAD "));
    flasher.signal(SIGHUP);
    const ProgramRun run = flasher.finish();
    EXPECT_EQ(run.exitCode, 129) << run.err;
    EXPECT_EQ(fileText(path("station.log")), run.out);
    const std::vector<QJsonObject> lines = jsonLines(run.out);
    // Interrupted boards are not tried again; boards not started have no attempt.
    EXPECT_EQ(outcomes(lines),
              (std::map<std::string, std::string>{{first + " #1", "interrupted interrupted"},
                                                  {first + " #2", "interrupted "},
                                                  {second + " #1", "interrupted interrupted"},
                                                  {second + " #2", "interrupted "}}));
    ASSERT_FALSE(lines.empty());
    expectFields(lines.back(), {"type=summary", "boards=4", "failed=4", "exit_code=129"});
}

// The file is read once: rewritten while the first board is flashed, with data the flash range
// refuses, it changes nothing for the next board, and the records give the SHA-256 of what was read.
TEST_F(BatchFlash, EveryBoardGetsTheImageReadOnceWhateverBecomesOfTheFile) {
    const std::string port = addEmulator("bus.bin", {"--address", "3,5", "--line-rate", "9600"});
    const std::string sha256 =
        QCryptographicHash::hash(QByteArray::fromStdString(fileText(path("firmware.hex"))),
                                 QCryptographicHash::Sha256)
            .toHex()
            .toStdString();
    WatchedProgram flasher(BOOTFLASH_PATH, {"download", path("firmware.hex"), "--port", port, "--address",
                                            "3,5", "--flash-range", "0x08000000-0x08003FFF", "--json"});
    ASSERT_TRUE(flasher.waitForError(port + " #3] DOWNLOAD "));
    writeImage(makeHexImage(24, 0x20000000, kFlashSize));
    const ProgramRun run = flasher.finish();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::vector<QJsonObject> lines = jsonLines(run.out);
    EXPECT_EQ(outcomes(lines), (std::map<std::string, std::string>{{port + " #3", "success success"},
                                                                   {port + " #5", "success success"}}));
    for (const QJsonObject& line : lines)
        expectFields(line, {"sha256=" + sha256});
    expectFlashed({"bus.bin.3", "bus.bin.5"});
}

} // namespace
