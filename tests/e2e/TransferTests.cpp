#include "EndToEnd.h"
#include "support/IntelHexRecord.h"

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

// A two-wire RS-485 adapter hands every request back before its reply: the echo is no reply.
TEST_F(EndToEnd, ADownloadThroughAnEchoingAdapterEndsGreenWithTheImageInFlash) {
    ASSERT_TRUE(connect({"--echo", "--line-rate", "115200"}));
    ASSERT_TRUE(download());
    EXPECT_EQ(bar.text(), "END");
    EXPECT_EQ(messages, "");
    EXPECT_TRUE(flashAtExit() == image.flash);
}

// A file with a bad record is refused on the desk: the board keeps what it held.
TEST_F(EndToEnd, AFileWithABadChecksumIsRefusedBeforeTheBoardIsTouched) {
    ASSERT_TRUE(connect());
    ASSERT_TRUE(download());
    ASSERT_EQ(bar.text(), "END");

    std::vector<std::string> lines = image.lines;
    char& lastDigit = lines[5].back(); // its checksum no longer fits
    lastDigit = lastDigit == '0' ? '1' : '0';
    writeHexFile(lines);
    ui.Command3->click();
    EXPECT_NE(messages.find("[line 6: checksum "), std::string::npos) << messages;
    EXPECT_EQ(bar.text(), "NO FILE");

    // Nothing went out: a record sent would be answered before the reply to this probe.
    ui.Text8->clear();
    ui.Command4->click();
    ASSERT_TRUE(waitUntil([&] { return ui.Text8->text().contains("VER="); }))
        << ui.Text8->text().toStdString();
    EXPECT_EQ(bar.text(), "NO FILE");
    EXPECT_TRUE(flashAtExit() == image.flash);
}

// A good file whose record the device refuses (here: data past the end of its flash) stops the
// transfer on a red bar at that record.
TEST_F(EndToEnd, ARecordTheDeviceRefusesStopsTheDownloadOnARedErrorBar) {
    ASSERT_TRUE(connect());
    std::vector<std::string> lines = image.lines;
    // Record 6 moves the next data record, record 7, to 0x09000000.
    lines.insert(lines.begin() + 5, intelHexRecord(4, 0, {0x09, 0x00}));
    constexpr int kRefusedRecord = 7;
    writeHexFile(lines);
    ASSERT_TRUE(download());
    EXPECT_EQ(bar.text(), "ERROR");
    EXPECT_EQ(bar.barColour(), 255u);
    EXPECT_EQ(bar.value(), kRefusedRecord);

    // Nothing went out after the refused record: a record sent behind it would be answered before
    // the reply to this probe, and would have moved the bar on.
    ui.Command4->click();
    ASSERT_TRUE(waitUntil([&] { return ui.Text8->text().contains("VER="); }))
        << ui.Text8->text().toStdString();
    EXPECT_EQ(bar.text(), "ERROR");
    EXPECT_EQ(bar.value(), kRefusedRecord);
}
