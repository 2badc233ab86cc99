#include "EndToEnd.h"

// At 9600 baud a reply takes about 8 ms to cross the line, so the 20 ms poll often finds only part
// of it: the receiver must put the pieces together.
TEST_F(EndToEnd, APaced9600BaudDownloadAndVerifyEndGreenWithTheFlashHoldingExactlyTheImage) {
    ui.Option1->setChecked(true);
    ASSERT_TRUE(connect({"--line-rate", "9600"}));
    ASSERT_TRUE(download());
    EXPECT_EQ(bar.text(), "END");
    EXPECT_EQ(bar.barColour(), 65280u);
    EXPECT_EQ(bar.value(), static_cast<int>(image.lines.size()));
    EXPECT_EQ(messages, "");
    EXPECT_TRUE(flashAtExit() == image.flash);
}

TEST_F(EndToEnd, ARecordWithABadChecksumStopsTheDownloadOnARedErrorBar) {
    ASSERT_TRUE(connect());
    std::vector<std::string> lines = image.lines;
    constexpr int kBadRecord = 6;
    // Its checksum no longer fits.
    char& lastDigit = lines[kBadRecord - 1].back();
    lastDigit = lastDigit == '0' ? '1' : '0';
    writeHexFile(lines);
    ASSERT_TRUE(download());
    EXPECT_EQ(bar.text(), "ERROR");
    EXPECT_EQ(bar.barColour(), 255u);
    EXPECT_EQ(bar.value(), kBadRecord);

    // Nothing went out after the refused record: a record sent behind it would be answered before
    // the reply to this probe, and would have moved the bar on.
    ui.Command4->click();
    ASSERT_TRUE(waitUntil([&] { return ui.Text8->text().contains("VER="); }))
        << ui.Text8->text().toStdString();
    EXPECT_EQ(bar.text(), "ERROR");
    EXPECT_EQ(bar.value(), kBadRecord);
}
