#include <string>
#include <tuple>

#include "WindowTestSupport.h"

namespace {
const std::string kProbe = "BOOTi\r\n";
const std::string kNotAvailable = " Not available! Use Serial settings to setup your ports.";
} // namespace

class Connection : public WindowTest {
  protected:
    // One tick of the connection wait, which probes `address`.
    void probe(int address) {
        port.expectWrite(request(address, kProbe));
        form.Timer3_Timer();
    }
    // The controls that tell an open port from a closed one.
    void expectPortLook(bool open) {
        EXPECT_EQ(view.isEnabled(Control::BTNOpenCom), !open);
        EXPECT_EQ(view.isEnabled(Control::txt0), !open);
        EXPECT_EQ(view.isEnabled(Control::BTNCloseCom), open);
        EXPECT_EQ(view.txt0BackColor, open ? colours::PureGreen : colours::WindowBackground);
        EXPECT_EQ(view.tmrComm, open);
    }
};

TEST_F(Connection, OpeningTakesEveryStep) {
    view.text1 = "1";
    view.barValue = 7;
    view.command1Caption = "Next";
    view.picVisible = false;

    form.BTNOpenCom_Click();

    EXPECT_EQ(port.settings, std::vector<std::string>{"115200,n,8,1"});
    EXPECT_EQ(port.commPorts, std::vector<std::int16_t>{3});
    EXPECT_EQ(form.PortNumber, 3);
    EXPECT_TRUE(port.isOpen);
    EXPECT_TRUE(view.picVisible);
    expectPortLook(true);
    // the wait's count at 1, no scan
    EXPECT_EQ(std::tie(form.ConnectCount, form.ScanMode), std::tuple(1, 0));
    EXPECT_EQ(form.Machine().state(), State::Probing);
    EXPECT_TRUE(view.timer3);
    EXPECT_EQ(view.command1Caption, "Set Addr");
    EXPECT_EQ(view.label2, "Ready");
    EXPECT_EQ(view.barValue, 0);
    EXPECT_EQ(view.barColor, colours::Navy);
    EXPECT_TRUE(view.boxes.empty());

    form.BTNCloseCom_Click();
    view.text1 = "0"; // a device at 0 is talked to without a wait
    form.BTNOpenCom_Click();
    EXPECT_FALSE(view.timer3);
    EXPECT_EQ(form.Machine().state(), State::Idle);
}

TEST_F(Connection, PortFromTheTextAndSpeedFromTheOption) {
    for (const auto& [text, number] :
         {std::pair{"COM12", 12}, std::pair{"ABC3", 3}, std::pair{"COM 3 ", 3}}) {
        view.txt0 = text; // the number starts at the fourth character
        form.BTNOpenCom_Click();
        EXPECT_EQ(port.commPorts.back(), number) << text;
        form.BTNCloseCom_Click();
    }
    view.option3 = false;
    view.option1 = true;
    // A device path or a serial device server's address goes to the port as it is typed.
    const std::vector<std::string> paths{"/dev/ttyUSB0", "tcp://10.0.0.7:4001", "rfc2217://gateway:2217"};
    for (const std::string& path : paths) {
        view.txt0 = path;
        form.BTNOpenCom_Click();
        EXPECT_EQ(port.settings.back(), "9600,n,8,1");
        EXPECT_TRUE(port.isOpen) << path;
        form.BTNCloseCom_Click();
    }
    EXPECT_EQ(port.commPaths, paths);
    EXPECT_EQ(port.commPorts.size(), 3u); // a path is no number
    EXPECT_EQ(form.PortNumber, 3);
}

TEST_F(Connection, FailureToOpenShowsTheOneMessage) {
    // A port text without a number, or with a scheme of no line, fails before the port is touched.
    for (const char* text : {"COM", "COMx", "CO", "COM3x", "COM40000", "ftp://gw:1"}) {
        view.txt0 = text;
        form.BTNOpenCom_Click();
        ASSERT_FALSE(view.boxes.empty());
        EXPECT_EQ(view.boxes.back().text, text + kNotAvailable);
    }
    EXPECT_TRUE(port.commPorts.empty());
    EXPECT_EQ(port.opens, 0);

    view.boxes.clear();
    view.txt0 = "COM3";
    view.timer3 = true;
    port.refuseOpen("Permission denied");
    form.BTNOpenCom_Click();
    EXPECT_EQ(view.boxes, (Boxes{{"COM3" + kNotAvailable, Icon::None, "", "Permission denied"}}));
    EXPECT_EQ(view.label2, "Not present board");
    EXPECT_FALSE(view.timer3);
    expectPortLook(false);
    EXPECT_EQ(form.PortNumber, 3);
}

TEST_F(Connection, ScanProbesOneAddressPerTickAndNextGoesOnUntilTheWaitGivesUpAt128) {
    form.BTNOpenCom_Click();
    EXPECT_EQ(form.ScanMode, 1);
    EXPECT_EQ(view.command1Caption, "Next");
    for (int address = 1; address <= 3; ++address) {
        probe(address);
        EXPECT_EQ(view.text1, std::to_string(address));
        EXPECT_EQ(view.label2, "WAIT Connect:  " + std::to_string(address));
    }
    port.arrive(reply(3, "VER=1.2"));
    pollAll();
    EXPECT_FALSE(view.timer3);
    EXPECT_EQ(view.label2, "READY");
    EXPECT_EQ(form.ConnectCount, 4);

    form.Command1_Click(); // "Next" sends nothing itself
    EXPECT_TRUE(view.timer3);
    EXPECT_EQ(view.text8, "");
    for (int address = 4; address <= 127; ++address)
        probe(address);

    // The tick that finds 128 gives up.
    std::string labelWhileOpen;
    bool timerWhileOpen = true;
    view.whileBoxOpen = [&] {
        labelWhileOpen = view.label2;
        timerWhileOpen = view.timer3;
    };
    form.Timer3_Timer();

    EXPECT_EQ(view.boxes, (Boxes{{"COM3 Not connect !"}}));
    EXPECT_EQ(labelWhileOpen, "WAIT Connect:  128");
    EXPECT_FALSE(timerWhileOpen);
    EXPECT_EQ(view.label2, "Not present board");
    EXPECT_EQ(form.ConnectCount, 1);
    EXPECT_EQ(view.text1, "127");
}

TEST_F(Connection, ClosingResetsTheWindowAndReopeningProbesTheFoundAddress) {
    form.BTNOpenCom_Click();
    probe(1);
    view.text8 = "VER=1.2";

    form.BTNCloseCom_Click();
    EXPECT_FALSE(view.timer3);
    EXPECT_EQ(view.barText, "NO FILE");
    EXPECT_EQ(view.label2, "Closed");
    EXPECT_EQ(view.text8, "");
    EXPECT_EQ(form.Machine().state(), State::Closed);
    EXPECT_FALSE(view.picVisible);
    expectPortLook(false);

    form.BTNOpenCom_Click();
    EXPECT_EQ(form.ScanMode, 0);
    EXPECT_EQ(view.command1Caption, "Set Addr");
    probe(1);
    probe(1);
    EXPECT_EQ(view.text1, "1");

    std::int16_t cancel = 0;
    form.Form_Unload(cancel); // closing the window closes an open port only
    form.Form_Unload(cancel);
    EXPECT_EQ(port.closes, 2);
    EXPECT_EQ(cancel, 0);

    form.ConnectCount = 127; // wait ticks still queued after the close count on without sending
    form.Timer3_Timer();
    form.Timer3_Timer();
    EXPECT_EQ(view.boxes, (Boxes{{"COM3 Not connect !"}}));
}

// A transfer asked for during the address scan waits for a board's version reply and starts at
// that board's address; nothing goes to an address being probed.
TEST_F(Connection, TransferRequestedDuringTheScanStartsAtTheBoardThatAnswered) {
    form.BTNOpenCom_Click();
    probe(1);
    probe(2);
    chooseFile("one.hex", ":0400100010111213A6\n:00000001FF\n");
    form.Command3_Click();
    EXPECT_EQ(view.barText, "READY");
    port.arrive(reply(2, "OK"));
    form.TMRComm_Timer();
    probe(3);
    port.arrive(reply(3, "VER=1.0"));
    form.TMRComm_Timer();
    EXPECT_EQ(form.Machine().state(), State::Confirming); // a second board at address 3 would answer now
    port.expectWrite(request(3, "BOOT:0400100010111213A6\r\n"));
    wait(std::chrono::milliseconds(300)); // the probe's answer window
    EXPECT_EQ(view.barText, "DOWNLOAD");
    EXPECT_FALSE(view.timer3);
}
