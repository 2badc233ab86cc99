#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "HexImage.h"
#include "JsonFields.h"

// A folder of the test's own for its files, and the real emulator on a pseudo-terminal, which
// writes its flash to flash.bin in that folder when it stops.
class EmulatorTest : public ::testing::Test {
  protected:
    // `layout`: the emulator options every start of this fixture adds (flash start and size ...).
    explicit EmulatorTest(std::vector<std::string> layout) : layout(std::move(layout)) {}
    void SetUp() override { ASSERT_TRUE(directory.isValid()); }

    std::string path(const std::string& name) const {
        return directory.filePath(QString::fromStdString(name)).toStdString();
    }

    // Starts the emulator in place of any running one; returns its pseudo-terminal.
    std::string startEmulator(std::vector<std::string> options) {
        options.insert(options.end(), layout.begin(), layout.end());
        options.insert(options.end(), {"--erase-ms", "5", "--dump", path("flash.bin")});
        emulator.reset();
        emulator = std::make_unique<BackgroundProgram>(BOOTDEV_SIM_PATH, options);
        return emulator->firstLine();
    }

    std::string writeImage(const HexImage& image, const std::string& name = "firmware.hex",
                           bool lastLineEnded = true) {
        writeLines(path(name), image.lines, lastLineEnded);
        return path(name);
    }

    // Stops the emulator and reads the flash it left.
    std::vector<std::uint8_t> flashAtStop() {
        EXPECT_EQ(emulator->stop(), 0);
        return readBinary(path("flash.bin"));
    }

    QTemporaryDir directory;
    std::vector<std::string> layout;
    std::unique_ptr<BackgroundProgram> emulator; // stopped first: it leaves its flash dump in the directory
};
