#include <gtest/gtest.h>

#include "EmulatorProcess.h"
#include "WindowUnderTest.h"

TEST(EndToEndConnection, AScanFromAnEmptyAddressBoxStopsAtTheDevice) {
    EmulatorProcess device({"--address", "5", "--version", "2.7"});
    WindowUnderTest window;
    auto& ui = window.ui();

    window.open(device.portPath(), "");

    ASSERT_TRUE(window.waitForReady())
        << "status: " << ui.Label2->text().toStdString() << ", messages: " << window.messageTexts();
    EXPECT_EQ(ui.Text1->text(), "5");
    EXPECT_TRUE(ui.Text8->text().contains("VER=2.7")) << ui.Text8->text().toStdString();
    EXPECT_EQ(ui.Command1->text(), "Next");
    EXPECT_FALSE(ui.Timer3->isActive());
    EXPECT_TRUE(window.messages.empty()) << window.messageTexts();
}

// The new address goes out as two hexadecimal digits (12 as 0C); the device answers there only
// once it has really taken them.
TEST(EndToEndConnection, SetAddrMovesTheDeviceAndTheNextOpeningFindsItThere) {
    EmulatorProcess device({"--address", "5"});
    WindowUnderTest window;
    auto& ui = window.ui();
    window.open(device.portPath(), "5");
    ASSERT_TRUE(window.waitForReady()) << window.messageTexts();

    ui.Text2->setText("12");
    ui.Command1->click();
    ASSERT_TRUE(waitUntil([&] { return ui.Text8->text().contains("OK"); })) << ui.Text8->text().toStdString();

    ui.BTNCloseCom->click();
    ASSERT_EQ(ui.Label2->text(), "Closed");
    window.open(device.portPath(), "12");

    ASSERT_TRUE(window.waitForReady())
        << "status: " << ui.Label2->text().toStdString() << ", messages: " << window.messageTexts();
    EXPECT_TRUE(ui.Text8->text().contains("VER=")) << ui.Text8->text().toStdString();
    EXPECT_EQ(ui.Command1->text(), "Set Addr");
    EXPECT_TRUE(window.messages.empty()) << window.messageTexts();
}
