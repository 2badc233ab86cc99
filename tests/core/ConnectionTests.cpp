#include <string>

#include "WindowTestSupport.h"

namespace {
const std::string kProbe = "BOOTi\r\n";
const std::string kNotAvailable = " Not available! Use Serial settings to setup your ports.";
} // namespace

using Connection = WindowTest;

TEST_F(Connection, OpeningTakesEveryStep) {
    view.text1 = "1";
    view.barValue = 7;
    form.TransferRequested = 1;
    form.TransferActive = 1;
    view.picVisible = false;

    form.BTNOpenCom_Click();

    EXPECT_EQ(port.settings, std::vector<std::string>{"115200,n,8,1"});
    EXPECT_EQ(port.commPorts, std::vector<std::int16_t>{3});
    EXPECT_EQ(form.PortNumber, 3);
    EXPECT_TRUE(port.isOpen);
    EXPECT_TRUE(view.picVisible);
    EXPECT_EQ(view.txt0BackColor, colours::PureGreen);
    EXPECT_EQ(form.TransferRequested, 0);
    EXPECT_EQ(form.TransferActive, 0);
    EXPECT_EQ(form.ConnectCount, 1);
    EXPECT_EQ(form.ScanMode, 0);
    EXPECT_TRUE(view.timer3);
    EXPECT_EQ(view.command1Caption, "Set Addr");
    EXPECT_EQ(view.label2, "Ready");
    EXPECT_EQ(view.barValue, 0);
    EXPECT_EQ(view.barColor, colours::Navy);
    EXPECT_FALSE(view.isEnabled(Control::BTNOpenCom));
    EXPECT_FALSE(view.isEnabled(Control::txt0));
    EXPECT_TRUE(view.isEnabled(Control::BTNCloseCom));
    EXPECT_TRUE(view.tmrComm);
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(Connection, SpeedFollowsTheSelectedOption) {
    view.option3 = false;
    view.option1 = true;
    form.BTNOpenCom_Click();
    EXPECT_EQ(port.settings, std::vector<std::string>{"9600,n,8,1"});
}

TEST_F(Connection, PortNumberIsTheTextFromItsFourthCharacterOn) {
    for (const auto& [text, number] : {std::pair{"COM12", 12}, std::pair{"ABC3", 3}}) {
        view.txt0 = text;
        form.BTNOpenCom_Click();
        EXPECT_EQ(port.commPorts.back(), number) << text;
        form.BTNCloseCom_Click();
    }
}

TEST_F(Connection, TextBeginningWithSlashIsADevicePath) {
    form.PortNumber = 4;
    view.txt0 = "/dev/ttyUSB0";
    form.BTNOpenCom_Click();
    EXPECT_EQ(port.commPaths, std::vector<std::string>{"/dev/ttyUSB0"});
    EXPECT_TRUE(port.commPorts.empty());
    EXPECT_EQ(form.PortNumber, 4);
    EXPECT_TRUE(port.isOpen);
}

TEST_F(Connection, RefusedPortTakesTheFailurePath) {
    port.refuseOpen("Permission denied");
    view.timer3 = true;
    form.BTNOpenCom_Click();

    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "COM3" + kNotAvailable);
    EXPECT_EQ(view.boxes[0].icon, FormView::Icon::None);
    EXPECT_EQ(view.boxes[0].title, "");
    EXPECT_EQ(view.boxes[0].detail, "Permission denied");
    EXPECT_EQ(view.label2, "Not present board");
    EXPECT_FALSE(view.timer3);
    // Nothing of the open look.
    EXPECT_TRUE(view.isEnabled(Control::BTNOpenCom));
    EXPECT_FALSE(view.isEnabled(Control::BTNCloseCom));
    EXPECT_EQ(view.txt0BackColor, colours::WindowBackground);
    EXPECT_FALSE(view.tmrComm);
    EXPECT_EQ(form.PortNumber, 3);
}

TEST_F(Connection, PortTextWithoutANumberFailsBeforeThePortIsTouched) {
    for (const char* text : {"COM", "COMx", "CO", "COM3x"}) {
        view.txt0 = text;
        form.BTNOpenCom_Click();
        ASSERT_FALSE(view.boxes.empty());
        EXPECT_EQ(view.boxes.back().text, text + kNotAvailable);
    }
    EXPECT_TRUE(port.commPorts.empty());
    EXPECT_EQ(port.opens, 0);
}

TEST_F(Connection, AddressZeroOpensWithoutAWait) {
    view.text1 = "0";
    form.BTNOpenCom_Click();
    EXPECT_FALSE(view.timer3);
    EXPECT_EQ(view.label2, "Ready");
    EXPECT_EQ(view.command1Caption, "Set Addr");
}

TEST_F(Connection, EmptyAddressScansOneAddressPerTick) {
    form.BTNOpenCom_Click();
    EXPECT_EQ(form.ScanMode, 1);
    EXPECT_EQ(view.command1Caption, "Next");
    for (int address = 1; address <= 3; ++address) {
        port.expectWrite(request(address, kProbe));
        form.Timer3_Timer();
        EXPECT_EQ(view.text1, std::to_string(address));
        EXPECT_EQ(view.label2, "WAIT Connect:  " + std::to_string(address));
    }
    EXPECT_EQ(form.ConnectCount, 4);
}

TEST_F(Connection, GivesUpAtTheTickThatFinds128) {
    form.BTNOpenCom_Click();
    for (int address = 1; address <= 127; ++address) {
        port.expectWrite(request(address, kProbe));
        form.Timer3_Timer();
    }
    std::string labelWhileOpen;
    bool timerWhileOpen = true;
    view.whileBoxOpen = [&] {
        labelWhileOpen = view.label2;
        timerWhileOpen = view.timer3;
    };
    form.Timer3_Timer();

    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "COM3 Not connect !");
    EXPECT_EQ(view.boxes[0].icon, FormView::Icon::None);
    EXPECT_EQ(labelWhileOpen, "WAIT Connect:  128");
    EXPECT_FALSE(timerWhileOpen);
    EXPECT_EQ(view.label2, "Not present board");
    EXPECT_EQ(form.ConnectCount, 1);
    EXPECT_EQ(view.text1, "127");
}

TEST_F(Connection, DeviceFoundByTheScanThenNextGoesPastIt) {
    form.BTNOpenCom_Click();
    port.expectWrite(request(1, kProbe));
    form.Timer3_Timer();
    port.expectWrite(request(2, kProbe));
    port.reply(reply(2, "VER=1.2"));
    form.Timer3_Timer();
    pollAll();

    EXPECT_FALSE(view.timer3);
    EXPECT_EQ(view.label2, "READY");
    EXPECT_EQ(view.text1, "2");
    EXPECT_EQ(form.ConnectCount, 3);

    view.text8 = "VER=1.2";
    form.Command1_Click();
    EXPECT_TRUE(view.timer3);
    EXPECT_EQ(view.text8, "");
    port.expectWrite(request(3, kProbe));
    form.Timer3_Timer();
}

TEST_F(Connection, ClosingResetsTheWindowAndReopeningProbesTheFoundAddress) {
    form.BTNOpenCom_Click();
    port.expectWrite(request(1, kProbe));
    form.Timer3_Timer();
    view.timer3 = true;
    form.TransferRequested = 1;
    form.TransferActive = 1;
    form.VerifyMode = 1;
    view.text8 = "VER=1.2";

    form.BTNCloseCom_Click();
    EXPECT_FALSE(view.timer3);
    EXPECT_FALSE(view.tmrComm);
    EXPECT_EQ(view.barText, "NO FILE");
    EXPECT_EQ(view.label2, "Closed");
    EXPECT_EQ(view.text8, "");
    EXPECT_EQ(form.VerifyMode, 0);
    EXPECT_EQ(form.TransferActive, 0);
    EXPECT_EQ(form.TransferRequested, 1);
    EXPECT_FALSE(port.isOpen);
    EXPECT_EQ(view.txt0BackColor, colours::WindowBackground);
    EXPECT_FALSE(view.picVisible);
    EXPECT_TRUE(view.isEnabled(Control::BTNOpenCom));
    EXPECT_TRUE(view.isEnabled(Control::txt0));
    EXPECT_FALSE(view.isEnabled(Control::BTNCloseCom));

    form.BTNOpenCom_Click();
    EXPECT_EQ(form.ScanMode, 0);
    EXPECT_EQ(view.command1Caption, "Set Addr");
    port.expectWrite(request(1, kProbe));
    form.Timer3_Timer();
    port.expectWrite(request(1, kProbe));
    form.Timer3_Timer();
    EXPECT_EQ(view.text1, "1");
}

TEST_F(Connection, NextWithThePortClosedCountsWithoutSending) {
    form.ScanMode = 1;
    form.ConnectCount = 127;
    form.Command1_Click();
    form.Timer3_Timer();
    form.Timer3_Timer();
    EXPECT_TRUE(port.written.empty());
    EXPECT_EQ(view.boxes.size(), 1u);
    EXPECT_FALSE(view.timer3);
}

TEST_F(Connection, ClosingTheWindowClosesAnOpenPortOnly) {
    std::int16_t cancel = 0;
    form.Form_Unload(cancel);
    EXPECT_EQ(port.closes, 0);
    form.BTNOpenCom_Click();
    form.Form_Unload(cancel);
    EXPECT_EQ(port.closes, 1);
    EXPECT_FALSE(port.isOpen);
    EXPECT_EQ(cancel, 0);
}
