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

TEST_F(EndToEnd, AScanFromAnEmptyAddressBoxStopsAtTheDevice) {
    startDevice({"--device-version", "2.7"});
    open("");
    ASSERT_TRUE(ready());
    EXPECT_EQ(ui.Text1->text(), "5");
    EXPECT_TRUE(ui.Text8->text().contains("VER=2.7")) << ui.Text8->text().toStdString();
    EXPECT_EQ(ui.Command1->text(), "Next");
    EXPECT_FALSE(ui.Timer3->isActive());
    EXPECT_EQ(messages, "");
}
