#include <atomic>
#include <fstream>
#include <thread>

#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "console/run/FirmwareInput.h"
#include "support/IntelHexRecord.h"

// The firmware file as the flasher reads it once, before any port is opened.
namespace {

class FirmwareInputFile : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(directory.isValid()); }
    std::string write(const std::string& name, const std::string& text) {
        const std::string path = directory.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    QTemporaryDir directory;
};

} // namespace

// `check` names each range by its first and its last byte.
TEST_F(FirmwareInputFile, CheckNamesEachRangeByItsFirstAndLastByte) {
    const std::string path =
        write("two.hex", textOf({intelHexRecord(4, 0, {0x08, 0x00}), intelHexRecord(0, 0x10, {1, 2, 3, 4}),
                                 intelHexRecord(0, 0x100, {5}), ":00000001FF"}));
    const FirmwareInput input = readFirmwareInput(path, {});
    ASSERT_FALSE(input.failure) << *input.failure;
    const std::string text = summaryText(summarise(input.file));
    EXPECT_EQ(text.substr(0, text.find("records")), "format   Intel HEX\n"
                                                    "range    0x08000010-0x08000013  4 bytes\n"
                                                    "range    0x08000100-0x08000100  1 bytes\n");
}

// A file written while it is read (a build writing the next image beside the flasher) holds
// neither image: it is refused, not flashed. The writer here touches the file's times over and
// over, as each write does, while the file is read until a read has overlapped a write.
TEST_F(FirmwareInputFile, AFileWrittenWhileItIsReadIsRefused) {
    const std::string path =
        write("busy.hex", std::string(2 << 20, '\n') + textOf({intelHexRecord(0, 0, {1}), ":00000001FF"}));
    ASSERT_FALSE(readFirmwareInput(path, {}).failure);
    std::atomic<bool> reading = true;
    std::thread writer([&] {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        for (time_t second = ::time(nullptr) + 10; reading; ++second) {
            const timespec times[2] = {{second, 0}, {second, 0}};
            ::futimens(fd, times);
        }
        ::close(fd);
    });
    std::optional<std::string> failure;
    for (int attempt = 0; attempt < 50 && !failure; ++attempt)
        failure = readFirmwareInput(path, {}).failure;
    reading = false;
    writer.join();
    EXPECT_EQ(failure, path + ": the file changed while it was read; try again once it is written");
}
