#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "HexImage.h"
#include "JsonFields.h"

// A folder of the test's own for its files, and real emulators on pseudo-terminals, which write
// their flash to that folder when they stop.
class EmulatorTest : public ::testing::Test {
  protected:
    // `layout`: the emulator options every start of this fixture adds (flash start and size ...);
    // options given to a start come after them and so win.
    explicit EmulatorTest(std::vector<std::string> layout) : layout(std::move(layout)) {}
    void SetUp() override { ASSERT_TRUE(directory.isValid()); }

    std::string path(const std::string& name) const {
        return directory.filePath(QString::fromStdString(name)).toStdString();
    }

    // Starts the emulator in place of any running ones, its flash dumped to flash.bin; returns its
    // pseudo-terminal.
    std::string startEmulator(const std::vector<std::string>& options) {
        emulators.clear();
        return addEmulator("flash.bin", options);
    }

    // Starts one more emulator beside those running, its flash dumped to `dump`, or to
    // `dump`.<address> for each board of a bus; returns its pseudo-terminal.
    std::string addEmulator(const std::string& dump, const std::vector<std::string>& options) {
        std::vector<std::string> words = layout;
        words.insert(words.end(), {"--erase-ms", "5", "--dump", path(dump)});
        words.insert(words.end(), options.begin(), options.end());
        return emulators.emplace_back(std::make_unique<BackgroundProgram>(BOOTDEV_SIM_PATH, words))
            ->firstLine();
    }

    std::string writeImage(const HexImage& image, const std::string& name = "firmware.hex",
                           bool lastLineEnded = true) {
        writeLines(path(name), image.lines, lastLineEnded);
        return path(name);
    }

    // Stops the emulators and reads the flash one of them left.
    std::vector<std::uint8_t> flashAtStop(const std::string& dump = "flash.bin") {
        for (const auto& emulator : emulators)
            EXPECT_EQ(emulator->stop(), 0);
        emulators.clear();
        return readBinary(path(dump));
    }

    QTemporaryDir directory;
    std::vector<std::string> layout;
    std::vector<std::unique_ptr<BackgroundProgram>>
        emulators; // stopped first: they leave their dumps in the directory
};
