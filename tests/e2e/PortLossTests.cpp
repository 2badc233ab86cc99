#include "EndToEnd.h"

// The emulator killed in the middle of a download, as when a USB adapter is pulled: the window
// closes the port as "Close" does, shows one box naming the stage and record, and stops polling.
TEST_F(EndToEnd, APortLostMidDownloadIsClosedWithOneBox) {
    ASSERT_TRUE(connect({"--line-rate", "9600"}));
    ui.Command3->click();
    ASSERT_TRUE(waitUntil([&] { return bar.value() >= 3; })) << bar.text().toStdString();
    device.kill();
    device.waitForFinished(kBoundMs);

    ASSERT_TRUE(waitUntil([&] { return !messages.empty(); }));
    EXPECT_EQ(messages.find("lost! The port failed or was removed during DOWNLOAD, after record "),
              portPath.size() + 2)
        << messages;
    EXPECT_EQ(messages.find("] ["), std::string::npos) << "more than one box: " << messages;
    EXPECT_FALSE(ui.TMRComm->isActive());
    EXPECT_FALSE(ui.Timer3->isActive());
    EXPECT_FALSE(window.serialPort().portOpen());
    EXPECT_EQ(ui.Label2->text(), "Closed");
    EXPECT_TRUE(ui.BTNOpenCom->isEnabled());
    EXPECT_FALSE(ui.BTNCloseCom->isEnabled());
    // Nothing more is sent: a send now finds the port closed.
    EXPECT_EQ(window.logic().WriteCOM32("BOOTi\r\n"), 0);
}

// "Next" goes on with the scan past the device found, to the next one on the bus.
TEST_F(EndToEnd, NextContinuesTheScanToTheNextDevice) {
    startDevice({"--address", "3,5"});
    open("");
    ASSERT_TRUE(ready());
    EXPECT_EQ(ui.Text1->text(), "3");
    ui.Command1->click();
    ASSERT_TRUE(waitUntil([&] { return ui.Text1->text() == "5" && ui.Label2->text() == "READY"; }))
        << ui.Text1->text().toStdString() << " " << ui.Label2->text().toStdString();
    EXPECT_EQ(messages, "");
}
