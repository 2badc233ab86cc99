#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "EmulatorTest.h"
#include "transfer/FirmwareImage.h"

// The flasher against the emulator with files a cross toolchain made: one program as ELF and in
// the three forms its objcopy writes.
namespace {

constexpr std::size_t kFlashSize = 0x10000;

std::string firmware(const std::string& name) {
    return std::string(FIRMWARE_DIR) + "/" + name;
}

// The flash a device holds after the program went in: the binary form at the flash's start.
std::vector<std::uint8_t> expectedFlash() {
    std::vector<std::uint8_t> flash(kFlashSize, 0xFF);
    const std::vector<std::uint8_t> program = readBinary(firmware("program.bin"));
    std::copy(program.begin(), program.end(), flash.begin());
    return flash;
}

class FirmwareFormats : public EmulatorTest {
  protected:
    FirmwareFormats()
        : EmulatorTest({"--address", "1", "--flash-start", "0x08000000", "--flash-size", "64K"}) {}

    ProgramRun download(std::vector<std::string> arguments, const std::string& port) {
        arguments.insert(arguments.begin(), "download");
        arguments.insert(arguments.end(), {"--port", port, "--address", "1", "--poll-ms", "1", "--json"});
        return runProgram(BOOTFLASH_PATH, arguments);
    }

    // What "check" says of the program's bytes, without the format and the record count.
    static std::string bytesOf(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "check");
        const ProgramRun run = runProgram(BOOTFLASH_PATH, arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        std::string summary;
        for (const char* line : {"\nrange ", "\nbytes ", "\ncrc32 "})
            for (auto at = run.out.find(line); at != std::string::npos; at = run.out.find(line, at + 1))
                summary += run.out.substr(at, run.out.find('\n', at + 1) - at);
        return summary;
    }
};

TEST_F(FirmwareFormats, EveryFormOfTheProgramLeavesTheSameFlash) {
    const std::vector<std::uint8_t> expected = expectedFlash();
    const std::vector<std::vector<std::string>> forms = {
        {firmware("program.elf")},
        {firmware("program.hex")},
        {firmware("program.srec")},
        {firmware("program.bin"), "--base", "0x08000000"},
    };
    std::vector<std::string> summaries;
    for (const auto& form : forms) {
        SCOPED_TRACE(form[0]);
        const std::string port = startEmulator({});
        const ProgramRun run = download(form, port);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        expectFields(parseJsonObject(run.out), {"outcome=success", "passes=2"});
        EXPECT_TRUE(flashAtStop() == expected) << "flash differs from the program";
        summaries.push_back(bytesOf(form));
    }
    // The program's bytes are the same in every form.
    EXPECT_EQ(std::count(summaries.begin(), summaries.end(), summaries[0]), 4)
        << summaries[0] << summaries[3];
    EXPECT_NE(summaries[0].find("range    0x08000000-0x"), std::string::npos) << summaries[0];
}

// A 64-bit ELF, host-built, gives the bytes its converter's HEX form gives, as the 32-bit
// cross-built one does above.
TEST_F(FirmwareFormats, A64BitElfHoldsTheBytesOfItsHexForm) {
    const std::string fromElf = bytesOf({firmware("host64.elf")});
    EXPECT_EQ(fromElf, bytesOf({firmware("host64.hex")}));
    EXPECT_NE(fromElf.find("range    0x08000000-"), std::string::npos) << fromElf;
}

// A bad file ends with the file-error code before the port is opened: nothing goes out and the
// program already in flash stays.
TEST_F(FirmwareFormats, BadFileEndsBeforeAnythingIsSent) {
    std::ifstream file(firmware("program.hex"));
    std::vector<std::string> good;
    for (std::string line; std::getline(file, line);)
        good.push_back(line.substr(0, line.find('\r')));
    ASSERT_GT(good.size(), 10u);
    // Line 3 gives the first data byte of line 2 another value: a fault found only once the whole
    // file is read, still named by its line.
    const auto offset = static_cast<std::uint16_t>(std::stoul(good[1].substr(3, 4), nullptr, 16));
    const auto value = static_cast<std::uint8_t>(std::stoul(good[1].substr(9, 2), nullptr, 16));
    std::vector<std::string> twice = good;
    twice.insert(twice.begin() + 2, intelHexRecord(0, offset, {static_cast<std::uint8_t>(value ^ 0xFF)}));
    writeLines(path("twice.hex"), twice);
    // Addresses, a header or an end, and nothing else: every format refuses a file with no byte to write.
    writeLines(path("end.hex"), {":020000040800F2", ":00000001FF"});
    writeLines(path("header.srec"), {"S00600004844521B", "S9030000FC"});
    writeLines(path("empty.bin"), {});
    // Sparse: it takes no room on the disk.
    writeLines(path("huge.bin"), {});
    std::filesystem::resize_file(path("huge.bin"), 8ull << 30);

    const std::string port = startEmulator({});
    ASSERT_EQ(download({firmware("program.hex")}, port).exitCode, 0);
    const struct {
        std::vector<std::string> arguments;
        std::string says;
        std::string line;
    } table[] = {
        {{path("twice.hex")},
         "twice.hex: line 3: gives " + addressText(0x08000000u + offset) + " the value " +
             hexByteText(value ^ 0xFF) + ", line 2 gave it " + hexByteText(value),
         "3"},
        {{path("huge.bin")},
         "huge.bin: the file holds 8589934592 bytes, more than the 64 MiB any firmware file needs",
         "null"},
        {{firmware("program.bin")},
         "program.bin: not Intel HEX, S-record or ELF: a raw binary file needs --base",
         "null"},
        {{path("end.hex")}, "end.hex: the file holds no data record", "null"},
        {{path("header.srec")}, "header.srec: the file holds no data record", "null"},
        {{path("empty.bin"), "--base", "0x08000000"}, "empty.bin: the file is empty", "null"},
        {{firmware("program.elf"), "--flash-range", "0x08000000-0x080003FF"},
         "program.elf: data at 0x08000000 to 0x0800051F lies outside the flash 0x08000000 to 0x080003FF",
         "null"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.arguments[0]);
        std::vector<std::string> arguments = row.arguments;
        arguments.push_back("--trace");
        const ProgramRun run = download(arguments, port);
        EXPECT_EQ(run.exitCode, 5);
        EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("TX "), std::string::npos) << "sent: " << run.err;
        expectFields(parseJsonObject(run.out), {"outcome=file-error", "records=0", "line=" + row.line});
        // Files are refused the same way without a port.
        arguments[arguments.size() - 1] = arguments[0];
        arguments[0] = "check";
        EXPECT_EQ(runProgram(BOOTFLASH_PATH, arguments).exitCode, 5);
    }
    EXPECT_TRUE(flashAtStop() == expectedFlash()) << "the flash was touched";
}

} // namespace
