#include <algorithm>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include <gtest/gtest.h>

#include "EmulatorTest.h"

// The real flasher against the real device emulator, each on its side of a pseudo-terminal.
namespace {

constexpr std::uint32_t kFlashStart = 0x0800F800; // close below a 64 KiB boundary
constexpr std::size_t kFlashSize = 0x4000;

class FlasherRun : public EmulatorTest {
  protected:
    FlasherRun() : EmulatorTest({"--flash-start", "0x0800F800", "--flash-size", "16K"}) {}

    ProgramRun flash(const std::vector<std::string>& arguments) {
        return runProgram(BOOTFLASH_PATH, arguments);
    }

    // Runs the flasher to an end that must give `exitCode` and show `says` on standard error;
    // returns the JSON it printed, empty when not asked for.
    QJsonObject expectEnd(const std::vector<std::string>& arguments, int exitCode, const std::string& says) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const ProgramRun run = flash(arguments);
        EXPECT_EQ(run.exitCode, exitCode) << run.err;
        EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
        return std::ranges::count(arguments, "--json") ? parseJsonObject(run.out) : QJsonObject();
    }
};

// Replies are read the moment they arrive; the emulator paces its replies byte by byte as a line
// does, so they come in pieces. The flasher leaves the line unwatched while a reply is still
// crossing it, and looks shortly before the replies so far say it is complete: a reply is then
// read in a piece or two, where watching the line takes a paced reply a byte at a time. Replies
// that come later than the line needs, or with stray bytes in front, are still all taken.
TEST_F(FlasherRun, DownloadAndVerifyLeaveTheImageInFlash) {
    const HexImage image = makeHexImage(300, kFlashStart, kFlashSize);
    const std::string file = writeImage(image, "firmware.hex", false);
    const std::string port = startEmulator(
        {"--address", "1", "--line-rate", "115200", "--reply-delay-ms", "2", "--stray-every", "3"});

    const ProgramRun run = flash({"download", file, "--port", port, "--address", "1", "--trace", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    expectFields(parseJsonObject(run.out), {"operation=download", "port=" + port, "address=1",
                                            "records=" + std::to_string(2 * image.lines.size()), "passes=2",
                                            "outcome=success", "exit_code=0"});
    // Standard error is a pipe here: progress comes as plain lines, one at least per stage, in the
    // stages' order: the erase that "FORMAT" announces first, and no stage again once left. Between
    // them, the trace: an "OK" reply is 8 bytes, and 11 with stray bytes.
    std::vector<std::string> stages;
    std::size_t reads = 0;
    std::istringstream lines(run.err);
    for (std::string line; std::getline(lines, line);) {
        const std::string stage = line.substr(0, line.find(' '));
        if (line.starts_with(' ')) // the trace's lines are indented
            reads += line.find(" RX ") != std::string::npos ? 1 : 0;
        else if (stages.empty() || stages.back() != stage)
            stages.push_back(stage);
    }
    EXPECT_EQ(stages, (std::vector<std::string>{"ERASE", "DOWNLOAD", "VERIFY", "END", "bootflash:"}))
        << run.err;
    EXPECT_LT(reads, 5 * 2 * image.lines.size());
    EXPECT_TRUE(flashAtStop() == image.flash) << "flash differs from the image";
}

TEST_F(FlasherRun, VerifyAloneRunsOnePassAndADownloadWithoutAddressScansFirst) {
    const HexImage image = makeHexImage(40, kFlashStart, kFlashSize);
    const std::string file = writeImage(image, "firmware.hex");
    const std::string port = startEmulator({"--address", "4"});

    expectFields(
        expectEnd({"download", file, "--port", port, "--poll-ms", "2", "--probe-ms", "250", "--json"}, 0, ""),
        {"address=4"});
    expectFields(expectEnd({"verify", file, "--port", port, "--address", "4", "--json"}, 0, ""),
                 {"passes=1", "records=" + std::to_string(image.lines.size())});
    const HexImage other = makeHexImage(40, kFlashStart, kFlashSize, 2);
    expectEnd({"verify", writeImage(other, "other.hex"), "--port", port, "--address", "4"}, 6,
              "record 2 of 42 (verify pass)");
}

TEST_F(FlasherRun, FailuresEndWithTheirExitCodeAndSayWhy) {
    const std::string port = startEmulator({"--address", "1"});
    expectFields(expectEnd({"download", path("missing.hex"), "--port", port, "--address", "1", "--json"}, 5,
                           "missing.hex: Error#53: File not found"),
                 {"records=0"});
    const std::string missing = path("no-such-p\xC3\xB6rt"); // a name in UTF-8 comes back as typed
    expectFields(expectEnd({"version", "--port", missing, "--address", "1", "--json"}, 3,
                           "cannot open " + missing + " (" + missing +
                               ": No such file or directory); 'bootflash ports' lists the serial ports of "
                               "this machine"),
                 {"outcome=port-not-available", "port=" + missing});
    // A terminal program's lock file on the port: refused, naming its process, and left alone.
    std::string lockName = "LCK.." + port.substr(5);
    std::replace(lockName.begin(), lockName.end(), '/', '_');
    const std::string holder = std::to_string(getpid());
    std::ofstream(path(lockName)) << holder << "\n";
    qputenv("BOOTDEVICE_LOCK_DIR", QByteArray::fromStdString(path("")));
    expectFields(expectEnd({"version", "--port", port, "--address", "1", "--json"}, 3,
                           port + ": in use by process " + holder),
                 {"outcome=port-not-available"});
    qunsetenv("BOOTDEVICE_LOCK_DIR");
    EXPECT_EQ(fileText(path(lockName)), holder + "\n");
    // A script that asked for JSON gets its object even when the command line was wrong.
    expectFields(expectEnd({"version", "--port", ",", "--json"}, 2,
                           "--port needs a port name, not \",\"\nTry 'bootflash --help'.\n"),
                 {"outcome=bad-usage"});

    expectFields(
        expectEnd({"version", "--port", port, "--address", "7", "--json"}, 4, port + " Not connect !"),
        {"outcome=no-device"});
    // The deadline, not the window's 127 probes, ends this wait; the port comes from the environment.
    qputenv("BOOTFLASH_PORT", QByteArray::fromStdString(port));
    expectFields(
        expectEnd({"version", "--address", "7", "--connect-timeout", "1", "--poll-ms", "5", "--json"}, 4,
                  "no device answered at address 7 within 1 s\n"), // no bytes came: nothing to check
        {"outcome=no-device", "port=" + port});
    qunsetenv("BOOTFLASH_PORT");
    // Replies that come but form none, as at the wrong speed: said, with what to check.
    const std::string garbled = startEmulator({"--address", "1", "--corrupt-every", "1"});
    expectEnd({"version", "--port", garbled, "--address", "1", "--connect-timeout", "0.5"}, 4,
              "bytes came that formed no reply: check the speed (now 115200 baud)");

    // A machine may have no serial port at all: the list is then empty, but still a list.
    const ProgramRun list = flash({"ports", "--json"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    parseJsonArray(list.out);
    const ProgramRun help = flash({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Exit codes"), std::string::npos);
}

// Replies: the probe's, then one per record; the fourth, to the end-of-file record, is dropped.
TEST_F(FlasherRun, SilentDeviceIsAStallNamingTheRecordLeftWithoutReply) {
    // One byte as a fresh device holds it, erased: the verify takes it.
    writeLines(path("one-byte.hex"), {intelHexRecord(4, 0, {0x08, 0x00}), intelHexRecord(0, 0xF800, {0xFF}),
                                      intelHexRecord(1, 0, {})});
    const std::string port = startEmulator({"--address", "1", "--drop-every", "4"});
    const QJsonObject json = expectEnd({"verify", path("one-byte.hex"), "--port", port, "--address", "1",
                                        "--poll-ms", "2", "--stall-timeout", "1", "--json"},
                                       7,
                                       "stall: no reply from the device for 1 s after record 3 of 3 (verify "
                                       "pass): :00000001FF");
    EXPECT_EQ(field(json, "outcome"), "stall");
}

// Boards that misbehave end each run as they should: a reply sent twice takes one record, an erase
// has an allowance of its own, and an erase that never ends and a restart are named.
TEST_F(FlasherRun, MisbehavingBoardsEndEachRunAsTheyShould) {
    const HexImage image = makeHexImage(30, kFlashStart, kFlashSize);
    const std::string file = writeImage(image);
    const std::string records = std::to_string(image.lines.size());
    const struct {
        std::vector<std::string> board;
        std::vector<std::string> options;
        int exitCode;
        std::string says;
    } rows[] = {
        {{"--twice-every", "4"}, {}, 0, "END: " + records + " records downloaded and verified"},
        {{"--erase-ms", "1500"}, {"--stall-timeout", "0.5"}, 0, "END"},
        {{"--erase-ms", "100000", "--format-every-ms", "100"},
         {"--stall-timeout", "0.5", "--erase-timeout", "1"},
         7,
         "stall: the device began to erase at record 2 of " + records +
             " (download pass): " + image.lines[1] + " and did not answer within 1 s\n"},
        {{"--restart-at", "6"}, {}, 6, "The device restarted during record 6 of " + records + " (VER=1.0)"},
        // A blank board refuses the verify and restarts: nothing more is sent, nothing written.
        {{"--restart-on-error"}, {"verify"}, 6, "the device reported \"ERROR\" at record 2 of " + records},
    };
    for (const auto& row : rows) {
        std::vector<std::string> board = {"--address", "1"};
        board.insert(board.end(), row.board.begin(), row.board.end());
        const std::string port = startEmulator(board);
        const bool verify = !row.options.empty() && row.options.front() == "verify";
        std::vector<std::string> arguments = {
            verify ? "verify" : "download", file, "--port", port, "--address", "1", "--json"};
        arguments.insert(arguments.end(), row.options.begin() + (verify ? 1 : 0), row.options.end());
        const QJsonObject json = expectEnd(arguments, row.exitCode, row.says);
        if (verify) {
            EXPECT_TRUE(flashAtStop() == std::vector<std::uint8_t>(kFlashSize, 0xFF)) << "a verify wrote";
        }
        if (row.exitCode == 0) {
            // Each record went out once in each pass: none for a second answer.
            expectFields(json, {"records=" + std::to_string(2 * image.lines.size())});
            EXPECT_TRUE(flashAtStop() == image.flash) << "flash differs from the image";
        }
    }
}

// The version reply of address 1 holds a shorter part whose CRC matches ("VER=2." and "62"), and
// the line, paced at 9600 baud, hands it over in pieces: it still comes over whole.
TEST_F(FlasherRun, VersionSetAddressAndInstallReportTheReply) {
    const std::string port =
        startEmulator({"--address", "1", "--device-version", "2.62", "--line-rate", "9600"});

    const ProgramRun version =
        flash({"version", "--port", port, "--address", "1", "--baud", "9600", "--trace"});
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, "VER=2.62\n");
    // The probe "BOOTi" to address 1 and its checksum, as the trace shows it.
    EXPECT_NE(version.err.find("TX 10 bytes: 01 42 4F 4F 54 69 0D 0A FC 89  |.BOOTi....|"), std::string::npos)
        << version.err;
    EXPECT_NE(version.err.find("RX "), std::string::npos);

    // Standard output carries the reply alone; what it means goes to standard error.
    // The answer is judged (did a second board answer?) past the connect time-out: the run waits for it.
    const ProgramRun moved = flash({"set-address", "12", "--port", port, "--address", "1", "--probe-ms",
                                    "1000", "--connect-timeout", "0.3"});
    EXPECT_EQ(std::tuple(moved.exitCode, moved.out), std::tuple(0, std::string("VER=2.62\n"))) << moved.err;
    EXPECT_NE(moved.err.find("the device answers at its new address 12"), std::string::npos) << moved.err;
    expectFields(expectEnd({"set-address", "12", "--port", port, "--address", "12", "--json"}, 0, ""),
                 {"address=12", "message=VER=2.62"});
    EXPECT_EQ(flash({"version", "--port", port, "--address", "12"}).out, "VER=2.62\n");
    const ProgramRun install = flash({"install", "--port", port, "--address", "12", "--trace"});
    EXPECT_EQ(install.exitCode, 0) << install.err;
    EXPECT_EQ(install.out, "VER=2.62\n");
    // The board's "OK" to "BOOTg" brings no record: not even the empty one ("BOOT" CR LF).
    EXPECT_EQ(install.err.find("42 4F 4F 54 0D 0A"), std::string::npos) << install.err;
}

// Install succeeds only on the board's "OK"; a pass the board ends before its last record is a
// device error that names the record, with `records` counting what was sent.
TEST_F(FlasherRun, InstallWithoutOkAndAPassEndedEarlyAreDeviceErrors) {
    // Replies: the probe's, then the "OK" to "BOOTg", which is dropped, then the version.
    std::string port = startEmulator({"--address", "1", "--drop-every", "2"});
    expectFields(expectEnd({"install", "--port", port, "--address", "1", "--json"}, 6,
                           "did not confirm the install command with \"OK\" (last answer: VER=1.0)"),
                 {"outcome=device-error"});

    const std::string file = writeImage(makeHexImage(20, kFlashStart, kFlashSize), "firmware.hex");
    for (const char* operation : {"download", "verify"}) {
        port = startEmulator({"--address", "1", "--end-pass-after", "1"});
        expectFields(expectEnd({operation, file, "--port", port, "--address", "1", "--json"}, 6,
                               std::string("the device ended the ") + operation + " pass after record 1 of "),
                     {"outcome=device-error", "records=1", "passes=0"});
    }
}

// A version text that would retitle and clear a terminal, with a C1 control beside a valid
// character: printed as escapes.
TEST_F(FlasherRun, DeviceTextIsShownNeverObeyed) {
    const std::string version = "\x1b]0;owned\x07\x1b[2J\xc2\x9b\xc3\xb6";
    const std::string shown = "VER=\\x1b]0;owned\\x07\\x1b[2J\\xc2\\x9b\xc3\xb6";
    const std::string port = startEmulator({"--address", "1", "--device-version", version});

    EXPECT_EQ(flash({"version", "--port", port, "--address", "1"}).out, shown + "\n");
    EXPECT_EQ(flash({"scan", "--port", port, "--scan-range", "1-1"}).out, "1\t" + shown + "\n");
}

// Two boards at address 5 answer each probe one after the other: the scan lists the address once
// and names the conflict, and set-address sends neither board its new address.
TEST_F(FlasherRun, TwoBoardsAtOneAddressAreNamedAndNeitherIsMoved) {
    {
        const std::string port = startEmulator({"--address", "3,5,5"});
        const ProgramRun scan = flash({"scan", "--port", port, "--scan-range", "1-6", "--json"});
        EXPECT_EQ(scan.exitCode, 9) << scan.err;
        EXPECT_NE(scan.err.find("bootflash: address 5: more than one board answers\n"), std::string::npos)
            << scan.err;
        const QJsonObject shared{{"address", 5}, {"conflict", true}, {"reply", "VER=1.0"}};
        EXPECT_EQ(parseJsonObject(scan.out)["devices"].toArray(),
                  QJsonArray({QJsonObject{{"address", 3}, {"reply", "VER=1.0"}}, shared}))
            << scan.out;

        expectFields(expectEnd({"set-address", "9", "--port", port, "--address", "5", "--json"}, 9,
                               "address 5: more than one board answers; no new address was sent"),
                     {"outcome=address-conflict"});
        EXPECT_EQ(flash({"scan", "--port", port, "--scan-range", "5-9"}).out, "5\tVER=1.0\n");
    }
    // Boards slow to answer, each reply crossing the line in 13.5 ms: the second is waited for after
    // the first, however late that came.
    const std::string slow =
        startEmulator({"--address", "5,5", "--reply-delay-ms", "100", "--line-rate", "9600"});
    expectEnd({"set-address", "9", "--port", slow, "--address", "5", "--baud", "9600"}, 9,
              "address 5: more than one board answers");
}

// At 9600 baud a scan waits 48 ms of line time, the margin and a wake allowance of 5 ms at each
// address.
TEST_F(FlasherRun, ScanWaitsTheMarginAtEachAddressAndNamesADeviceThatAnsweredLater) {
    auto scanWith = [&](const std::string& margin, const std::string& replyDelay, const std::string& range) {
        const std::string port =
            startEmulator({"--address", "3,5,9", "--line-rate", "9600", "--reply-delay-ms", replyDelay});
        const std::vector<std::string> arguments = {"scan",   "--baud", "9600", "--scan-range", range,
                                                    "--json", "--port", port,   "--probe-ms",   margin};
        SCOPED_TRACE(::testing::PrintToString(arguments));
        return flash(arguments);
    };
    auto device = [](int address) { return QJsonObject{{"address", address}, {"reply", "VER=1.0"}}; };

    // Found only with the margin: without it the scan would have moved on 100 ms before the reply.
    // The range's ends are probed both.
    const ProgramRun inTime = scanWith("300", "100", "3-9");
    ASSERT_EQ(inTime.exitCode, 0) << inTime.err;
    const QJsonObject json = parseJsonObject(inTime.out);
    EXPECT_EQ(field(json, "address"), "null");
    EXPECT_EQ(json["devices"].toArray(), QJsonArray({device(3), device(5), device(9)})) << inTime.out;

    // Each reply comes while the scan probes a later address: each device is named, not missed.
    const ProgramRun late = scanWith("5", "60", "1-12");
    EXPECT_EQ(late.exitCode, 4) << late.err;
    EXPECT_NE(late.err.find("address 5 answered after the 58 ms probe wait and was passed over; raise "
                            "--probe-ms (now 5) to find it"),
              std::string::npos)
        << late.err;
    const QJsonObject lateJson = parseJsonObject(late.out);
    EXPECT_EQ(lateJson["devices"].toArray(), QJsonArray());
    EXPECT_EQ(lateJson["late_replies"].toArray(), QJsonArray({3, 5, 9}));
}

} // namespace
