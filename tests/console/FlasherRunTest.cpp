#include <filesystem>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "HexImage.h"
#include "JsonFields.h"

// The real flasher against the real device emulator, each on its side of a pseudo-terminal.
namespace {

constexpr std::uint32_t kFlashStart = 0x0800F800; // close below a 64 KiB boundary
constexpr std::size_t kFlashSize = 0x4000;
const std::string kFlashStartText = "0x0800F800";
const std::string kFlashSizeText = "16K";

class FlasherRun : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "bootflash-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory = pattern;
    }
    void TearDown() override {
        emulator.reset();
        std::filesystem::remove_all(directory);
    }

    std::string path(const std::string& name) const { return (directory / name).string(); }

    // Starts the emulator with its flash at kFlashStart; returns its pseudo-terminal.
    std::string startEmulator(std::vector<std::string> options) {
        options.insert(options.end(), {"--flash-start", kFlashStartText, "--flash-size", kFlashSizeText,
                                       "--erase-ms", "5", "--dump", path("flash.bin")});
        emulator = std::make_unique<BackgroundProgram>(BOOTDEV_SIM_PATH, options);
        return emulator->firstLine();
    }

    ProgramRun flash(std::vector<std::string> arguments) { return runProgram(BOOTFLASH_PATH, arguments); }

    std::string writeImage(const HexImage& image, const std::string& name, bool lastLineEnded = true) {
        writeLines(path(name), image.lines, lastLineEnded);
        return path(name);
    }

    std::filesystem::path directory;
    std::unique_ptr<BackgroundProgram> emulator;
};

JsonObject jsonOf(const ProgramRun& run) {
    try {
        return parseJsonObject(run.out);
    } catch (const std::exception& error) {
        ADD_FAILURE() << error.what() << " in: " << run.out << "\nstderr: " << run.err;
        return {};
    }
}

TEST_F(FlasherRun, DownloadAndVerifyLeaveTheImageInFlash) {
    const HexImage image = makeHexImage(300, kFlashStart, kFlashSize);
    const std::string file = writeImage(image, "firmware.hex", false);
    const std::string port = startEmulator({"--address", "1"});

    const ProgramRun run =
        flash({"download", file, "--port", port, "--address", "1", "--poll-ms", "1", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const JsonObject json = jsonOf(run);
    EXPECT_EQ(json.values.at("operation"), "download");
    EXPECT_EQ(json.values.at("port"), port);
    EXPECT_EQ(json.values.at("address"), "1");
    EXPECT_EQ(json.values.at("records"), std::to_string(2 * image.lines.size()));
    EXPECT_EQ(json.values.at("passes"), "2");
    EXPECT_EQ(json.values.at("outcome"), "success");
    EXPECT_EQ(json.values.at("exit_code"), "0");
    // Standard error is a pipe here: progress comes as plain lines, one at least per stage.
    EXPECT_NE(run.err.find("\nVERIFY "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\nEND "), std::string::npos) << run.err;

    EXPECT_EQ(emulator->stop(), 0);
    EXPECT_TRUE(readBinary(path("flash.bin")) == image.flash) << "flash differs from the image";
}

TEST_F(FlasherRun, VerifyAloneRunsOnePassAndADownloadWithoutAddressScansFirst) {
    const HexImage image = makeHexImage(40, kFlashStart, kFlashSize);
    const std::string file = writeImage(image, "firmware.hex");
    const std::string port = startEmulator({"--address", "4"});

    const ProgramRun download = flash({"download", file, "--port", port, "--poll-ms", "2", "--json"});
    ASSERT_EQ(download.exitCode, 0) << download.err;
    EXPECT_EQ(jsonOf(download).values.at("address"), "4");

    const ProgramRun verify = flash({"verify", file, "--port", port, "--address", "4", "--json"});
    ASSERT_EQ(verify.exitCode, 0) << verify.err;
    const JsonObject json = jsonOf(verify);
    EXPECT_EQ(json.values.at("passes"), "1");
    EXPECT_EQ(json.values.at("records"), std::to_string(image.lines.size()));

    const HexImage other = makeHexImage(40, kFlashStart, kFlashSize, 2);
    const ProgramRun mismatch =
        flash({"verify", writeImage(other, "other.hex"), "--port", port, "--address", "4"});
    EXPECT_EQ(mismatch.exitCode, 6) << mismatch.err;
    EXPECT_NE(mismatch.err.find("record 2 of 42 (verify pass)"), std::string::npos) << mismatch.err;
}

TEST_F(FlasherRun, CorruptedRecordIsDeviceErrorNamingTheRecord) {
    HexImage image = makeHexImage(20, kFlashStart, kFlashSize);
    std::string& bad = image.lines[7];
    bad.back() = bad.back() == '0' ? '1' : '0'; // checksum no longer fits
    const std::string file = writeImage(image, "corrupt.hex");
    const std::string port = startEmulator({"--address", "1"});

    const ProgramRun run =
        flash({"download", file, "--port", port, "--address", "1", "--poll-ms", "2", "--json"});
    EXPECT_EQ(run.exitCode, 6) << run.err;
    EXPECT_NE(run.err.find("record 8 of 22 (download pass): " + bad), std::string::npos) << run.err;
    const JsonObject json = jsonOf(run);
    EXPECT_EQ(json.values.at("outcome"), "device-error");
    EXPECT_EQ(json.values.at("exit_code"), "6");
}

TEST_F(FlasherRun, SilentDeviceIsAStallNamingTheLastRecord) {
    const std::string file = writeImage(makeHexImage(40, kFlashStart, kFlashSize), "firmware.hex");
    const std::string port = startEmulator({"--address", "1", "--drop-every", "12"});

    const ProgramRun run = flash({"download", file, "--port", port, "--address", "1", "--poll-ms", "2",
                                  "--stall-timeout", "1", "--json"});
    EXPECT_EQ(run.exitCode, 7) << run.err;
    EXPECT_NE(run.err.find("stall: no reply from the device for 1 s after record "), std::string::npos)
        << run.err;
    EXPECT_EQ(jsonOf(run).values.at("outcome"), "stall");
}

TEST_F(FlasherRun, StallAfterTheLastRecordOfAPassNamesThatRecord) {
    // Replies: the probe's, then one per record; the third, to the end-of-file record, is dropped.
    const std::vector<std::string> lines = {hexRecord(4, 0, {0x08, 0x00}), hexRecord(1, 0, {})};
    writeLines(path("no-data.hex"), lines);
    const std::string port = startEmulator({"--address", "1", "--drop-every", "3"});

    const ProgramRun run =
        flash({"verify", path("no-data.hex"), "--port", port, "--address", "1", "--stall-timeout", "1"});
    EXPECT_EQ(run.exitCode, 7) << run.err;
    EXPECT_NE(run.err.find("after record 2 of 2 (verify pass): :00000001FF"), std::string::npos) << run.err;
}

TEST_F(FlasherRun, FilesThatCannotBeSentAreFileErrors) {
    const std::string port = startEmulator({"--address", "1"});
    writeLines(path("long.hex"), std::vector<std::string>(9001, ":00000001FF"));
    writeLines(path("empty.hex"), {});

    for (const std::string& file : {path("long.hex"), path("empty.hex"), path("missing.hex")}) {
        const ProgramRun run = flash({"download", file, "--port", port, "--address", "1", "--json"});
        EXPECT_EQ(run.exitCode, 5) << file << ": " << run.err;
        EXPECT_NE(run.err.find("Error#"), std::string::npos) << run.err;
        EXPECT_EQ(jsonOf(run).values.at("records"), "0") << file;
    }
}

TEST_F(FlasherRun, MissingPortIsPortNotAvailable) {
    const ProgramRun run = flash({"version", "--port", path("no-such-port"), "--address", "1", "--json"});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_NE(run.err.find(path("no-such-port") + " Not available! Use Serial settings to setup your ports."),
              std::string::npos)
        << run.err;
    EXPECT_EQ(jsonOf(run).values.at("outcome"), "port-not-available");
}

TEST_F(FlasherRun, BadUsageIsRefusedBeforeAnythingIsOpened) {
    EXPECT_EQ(flash({"download"}).exitCode, 2);
    EXPECT_EQ(flash({"version", "--baud", "57600"}).exitCode, 2);
    const ProgramRun json = flash({"erase", "--json"});
    EXPECT_EQ(json.exitCode, 2);
    EXPECT_EQ(jsonOf(json).values.at("outcome"), "bad-usage");
    const ProgramRun help = flash({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Exit codes"), std::string::npos);
}

TEST_F(FlasherRun, VersionSetAddressAndInstallReportTheReply) {
    const std::string port = startEmulator({"--address", "1", "--version", "7.3"});

    const ProgramRun version = flash({"version", "--port", port, "--address", "1", "--trace"});
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, "VER=7.3\n");
    // The probe "BOOTi" to address 1 and its checksum, as the trace shows it.
    EXPECT_NE(version.err.find("TX 10 bytes: 01 42 4F 4F 54 69 0D 0A FC 89  |.BOOTi....|"), std::string::npos)
        << version.err;
    EXPECT_NE(version.err.find("RX "), std::string::npos);

    const ProgramRun moved = flash({"set-address", "12", "--port", port, "--address", "1", "--json"});
    EXPECT_EQ(moved.exitCode, 0) << moved.err;
    EXPECT_EQ(jsonOf(moved).values.at("address"), "12");
    EXPECT_EQ(flash({"version", "--port", port, "--address", "12"}).out, "VER=7.3\n");

    const ProgramRun install = flash({"install", "--port", port, "--address", "12"});
    EXPECT_EQ(install.exitCode, 0) << install.err;
}

TEST_F(FlasherRun, SilentAddressIsNoDevice) {
    const std::string port = startEmulator({"--address", "1"});
    const ProgramRun run = flash({"version", "--port", port, "--address", "7", "--json"});
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_NE(run.err.find(port + " Not connect !"), std::string::npos) << run.err;
    EXPECT_EQ(jsonOf(run).values.at("outcome"), "no-device");
}

TEST_F(FlasherRun, ScanFindsEveryDeviceOnTheBus) {
    const std::string port = startEmulator({"--address", "3,5,9"});
    const ProgramRun run = flash({"scan", "--port", port, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const JsonObject json = jsonOf(run);
    EXPECT_EQ(json.values.at("address"), "null");
    const auto& devices = json.arrays.at("devices");
    ASSERT_EQ(devices.size(), 3u) << run.out;
    EXPECT_EQ(devices[0].values.at("address"), "3");
    EXPECT_EQ(devices[1].values.at("address"), "5");
    EXPECT_EQ(devices[2].values.at("address"), "9");
    for (const auto& device : devices)
        EXPECT_EQ(device.values.at("reply"), "VER=1.0");
}

} // namespace
