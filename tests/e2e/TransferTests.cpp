#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "EmulatorProcess.h"
#include "FirmwareImage.h"
#include "WindowUnderTest.h"

namespace {

// Offset and values of the first byte where two flash contents differ, for a readable failure.
std::string firstDifference(const std::vector<std::uint8_t>& actual,
                            const std::vector<std::uint8_t>& expected) {
    if (actual.size() != expected.size())
        return "sizes " + std::to_string(actual.size()) + " and " + std::to_string(expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        if (actual[i] != expected[i])
            return "offset " + std::to_string(i) + ": " + std::to_string(actual[i]) + " instead of " +
                   std::to_string(expected[i]);
    return "none";
}

} // namespace

TEST(EndToEndTransfer, DownloadAndVerifyEndGreenWithTheFlashHoldingExactlyTheImage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const FirmwareImage image = sampleFirmware();
    const std::string hexPath = dir.filePath("firmware.hex").toStdString();
    writeWithoutFinalLineEnd(hexPath, image.lines);
    const QString dumpPath = dir.filePath("flash.bin");

    EmulatorProcess device(QStringList{"--address", "5", "--dump", dumpPath} + flashOptions(image.layout));
    WindowUnderTest window;
    auto& ui = window.ui();
    window.fileToChoose = hexPath;
    window.open(device.portPath(), "5");
    ASSERT_TRUE(window.waitForReady()) << window.messageTexts();

    ui.Command3->click();

    ASSERT_TRUE(window.waitForTransferEnd())
        << "bar: " << ui.vbalProgressBar1->text().toStdString() << " at " << ui.vbalProgressBar1->value();
    EXPECT_EQ(ui.vbalProgressBar1->text(), "END");
    EXPECT_EQ(ui.vbalProgressBar1->barColour(), 65280u);
    EXPECT_EQ(ui.vbalProgressBar1->value(), static_cast<int>(image.lines.size()));
    EXPECT_TRUE(window.messages.empty()) << window.messageTexts();

    ASSERT_TRUE(device.stop());
    const std::vector<std::uint8_t> flash = readWholeFile(dumpPath.toStdString());
    EXPECT_TRUE(flash == image.flash) << "first difference: " << firstDifference(flash, image.flash);
}

TEST(EndToEndTransfer, ARecordWithABadChecksumStopsTheDownloadOnARedErrorBar) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::vector<std::string> lines = sampleFirmware().lines;
    constexpr int kBadRecord = 6;
    lines[kBadRecord - 1] = withBadChecksum(lines[kBadRecord - 1]);
    const std::string hexPath = dir.filePath("damaged.hex").toStdString();
    writeWithoutFinalLineEnd(hexPath, lines);

    EmulatorProcess device(QStringList{"--address", "5"} + flashOptions(sampleFirmware().layout));
    WindowUnderTest window;
    auto& ui = window.ui();
    window.fileToChoose = hexPath;
    window.open(device.portPath(), "5");
    ASSERT_TRUE(window.waitForReady()) << window.messageTexts();

    ui.Command3->click();

    ASSERT_TRUE(window.waitForTransferEnd())
        << "bar: " << ui.vbalProgressBar1->text().toStdString() << " at " << ui.vbalProgressBar1->value();
    EXPECT_EQ(ui.vbalProgressBar1->text(), "ERROR");
    EXPECT_EQ(ui.vbalProgressBar1->barColour(), 255u);
    EXPECT_EQ(ui.vbalProgressBar1->value(), kBadRecord);

    // Nothing went out after the refused record: a record sent behind it would be answered before
    // the reply to this probe, and would have moved the bar on.
    ui.Command4->click();
    ASSERT_TRUE(waitUntil([&] { return ui.Text8->text().contains("VER="); }))
        << ui.Text8->text().toStdString();
    EXPECT_EQ(ui.vbalProgressBar1->text(), "ERROR");
    EXPECT_EQ(ui.vbalProgressBar1->value(), kBadRecord);
}

// At 9600 baud a reply takes about 8 ms to cross the line, so the 20 ms poll often finds only part
// of it: the receiver must put the pieces together.
TEST(EndToEndTransfer, OnAPaced9600BaudLineRepliesArrivingInPiecesAreAssembled) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const FirmwareImage image = sampleFirmware();
    const std::string hexPath = dir.filePath("firmware.hex").toStdString();
    writeWithoutFinalLineEnd(hexPath, image.lines);
    const QString dumpPath = dir.filePath("flash.bin");

    EmulatorProcess device(QStringList{"--address", "5", "--line-rate", "9600", "--dump", dumpPath} +
                           flashOptions(image.layout));
    WindowUnderTest window;
    auto& ui = window.ui();
    window.fileToChoose = hexPath;
    ui.Option1->setChecked(true);
    window.open(device.portPath(), "5");
    ASSERT_TRUE(window.waitForReady()) << window.messageTexts();

    ui.Command3->click();

    ASSERT_TRUE(window.waitForTransferEnd())
        << "bar: " << ui.vbalProgressBar1->text().toStdString() << " at " << ui.vbalProgressBar1->value();
    EXPECT_EQ(ui.vbalProgressBar1->text(), "END");
    ASSERT_TRUE(device.stop());
    EXPECT_TRUE(readWholeFile(dumpPath.toStdString()) == image.flash);
}
