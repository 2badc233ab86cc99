#include "EndToEnd.h"

// At 9600 baud a reply takes about 8 ms to cross the line, read in pieces as they arrive: the
// receiver must put them together. The board loses what comes before its transceiver has turned
// round, so every record waits for the gap after the reply it follows.
TEST_F(EndToEnd, APaced9600BaudDownloadAndVerifyEndGreenWithTheFlashHoldingExactlyTheImage) {
    ui.Option1->setChecked(true);
    ASSERT_TRUE(connect({"--line-rate", "9600", "--need-gap"}));
    ASSERT_TRUE(download());
    EXPECT_EQ(bar.text(), "END");
    EXPECT_EQ(bar.barColour(), 65280u);
    EXPECT_EQ(bar.value(), static_cast<int>(image.lines.size()));
    EXPECT_EQ(messages, "");

    // After END the board's "OK" to "BOOTg" sends no record: the bar keeps its count and colour
    // through the answer to the version query that follows it.
    ui.Command6->click();
    ASSERT_TRUE(waitUntil([&] { return ui.Text8->text().contains("VER="); }))
        << ui.Text8->text().toStdString();
    EXPECT_EQ(bar.text(), "END");
    EXPECT_EQ(bar.barColour(), 65280u);
    EXPECT_EQ(bar.value(), static_cast<int>(image.lines.size()));
    EXPECT_TRUE(flashAtStop() == image.flash);
}

// A two-wire RS-485 adapter hands every request back before its reply: the echo is no reply.
TEST_F(EndToEnd, ADownloadThroughAnEchoingAdapterEndsGreenWithTheImageInFlash) {
    ASSERT_TRUE(connect({"--echo", "--line-rate", "115200"}));
    ASSERT_TRUE(download());
    EXPECT_EQ(bar.text(), "END");
    EXPECT_EQ(messages, "");
    EXPECT_TRUE(flashAtStop() == image.flash);
}

TEST_F(EndToEnd, AScanFromAnEmptyAddressBoxStopsAtTheDevice) {
    portPath = startEmulator({"--device-version", "2.7"});
    open("");
    ASSERT_TRUE(ready());
    EXPECT_EQ(ui.Text1->text(), "5");
    EXPECT_TRUE(ui.Text8->text().contains("VER=2.7")) << ui.Text8->text().toStdString();
    EXPECT_EQ(ui.Command1->text(), "Next");
    EXPECT_FALSE(ui.Timer3->isActive());
    EXPECT_EQ(messages, "");
}
