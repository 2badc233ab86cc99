#include "EndToEnd.h"

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

// The new address goes out as two hexadecimal digits (12 as 0C); the device answers there only
// once it has really taken them.
TEST_F(EndToEnd, SetAddrMovesTheDeviceAndTheNextOpeningFindsItThere) {
    startDevice({});
    open("5");
    ASSERT_TRUE(ready());
    ui.Text2->setText("12");
    ui.Command1->click();
    ASSERT_TRUE(waitUntil([&] { return ui.Text8->text().contains("OK"); })) << ui.Text8->text().toStdString();

    ui.BTNCloseCom->click();
    ASSERT_EQ(ui.Label2->text(), "Closed");
    open("12");
    ASSERT_TRUE(ready());
    EXPECT_TRUE(ui.Text8->text().contains("VER=")) << ui.Text8->text().toStdString();
    EXPECT_EQ(ui.Command1->text(), "Set Addr");
    EXPECT_EQ(messages, "");
}
