#include <exception>
#include <string>

#include "link/PortAddress.h"
#include "protocol/FailureText.h"
#include "protocol/Vocabulary.h"
#include "window/frmSerial.h"

namespace {

constexpr std::int16_t kGiveUpCount = 128;

} // namespace

void frmSerial::BTNOpenCom_Click() {
    // Every failure, the speed included, ends in the one message box: an exception escaping a
    // click would end the program.
    try {
        if (view.option3Selected()) {
            MSComm1.setSettings("115200,n,8,1");
            LineBaud = 115200;
        }
        if (view.option2Selected()) {
            MSComm1.setSettings("19200,n,8,1");
            LineBaud = 19200;
        }
        if (view.option1Selected()) {
            MSComm1.setSettings("9600,n,8,1");
            LineBaud = 9600;
        }

        ScanMode = 0;
        if (view.text1Text().empty())
            ScanMode = 1;

        const std::string portText = view.txtText(0);
        if (portKindOf(portText) != PortKind::Number) {
            // A device path or a network address: a number cannot name a USB adapter, a
            // pseudo-terminal or a serial device server.
            MSComm1.setCommPath(portText);
        } else {
            PortNumber = portNumberOf(portText);
            MSComm1.setCommPort(PortNumber);
        }
        MSComm1.setPortOpen(true);

        view.setPicVisible(true);
        view.setTxtBackColor(0, colours::PureGreen);
        // Bytes from before belong to nobody's request.
        Receiver.clear();
        EarlyBytes.clear();
        LastReceived.reset();
        LostOnWrite.reset();
        Framed = view.check1Checked();
        ConnectCount = 1;
        if (view.text1Text() == "0")
            machine.handle(Event::OpenNoWait);
        else
            machine.handle(ScanMode == 1 ? Event::OpenScan : Event::OpenProbe);
        view.setCommand1Caption(ScanMode == 1 ? "Next" : "Set Addr");
        view.setLabel2Caption("Ready");
        view.setBarValue(0);
        view.setBarColor(colours::Navy);
        SwitchTags();
        view.setTMRCommEnabled(true);
    } catch (const std::exception& failure) {
        view.msgBox(view.txtText(0) + " Not available! Use Serial settings to setup your ports.",
                    FormView::Icon::None, {}, failure.what());
        view.setLabel2Caption("Not present board");
        view.setTimer3Enabled(false);
    }
}

void frmSerial::Timer3_Timer() {
    NoteFramingSwitch();
    machine.handle(ConnectCount >= kGiveUpCount ? Event::GiveUpTick : Event::ProbeTick);
    CloseIfLostOnWrite();
}

void frmSerial::probe() {
    view.setLabel2Caption("WAIT Connect: " + std::string(" ") + std::to_string(ConnectCount));
    if (ScanMode == 1)
        view.setText1Text(std::to_string(ConnectCount));
    WriteCOM32(vocabulary::kProbe);
    ++ConnectCount;
}

void frmSerial::giveUp() {
    view.setLabel2Caption("WAIT Connect: " + std::string(" ") + std::to_string(ConnectCount));
    // Off before the modal box, so that no second give-up starts while it is open.
    view.setTimer3Enabled(false);
    view.msgBox(view.txtText(0) + " Not connect !");
    view.setLabel2Caption("Not present board");
    ConnectCount = 1;
}

void frmSerial::BTNCloseCom_Click() {
    machine.handle(Event::Close);
    ClosePort();
}

// The machine has switched the connection wait off.
void frmSerial::ClosePort() {
    view.setTMRCommEnabled(false);
    view.setBarText("NO FILE");
    view.setLabel2Caption("Closed");
    view.setText8Text("");
    try {
        MSComm1.setPortOpen(false);
    } catch (const std::exception&) {
        // Closing reports nothing; the window still takes its port-closed look so "Open" works again.
    }
    view.setTxtBackColor(0, colours::WindowBackground);
    view.setPicVisible(false);
    SwitchTags();
    // Every file is read through a scoped stream that closes itself, so no file is open here.
}

void frmSerial::Form_Unload(std::int16_t& Cancel) {
    (void)Cancel; // closing the window is never refused
    try {
        if (MSComm1.portOpen())
            MSComm1.setPortOpen(false);
    } catch (const std::exception&) {
        // The program ends with the window either way; there is nobody left to tell.
    }
}

// A port that fails while open (an unplugged adapter, a read or write error) will not come back by
// itself: polling on would only burn time and leave the user with a frozen bar. So it is closed as
// "Close" closes it, and one box says where the run stood, as the machine had it before closing.
void frmSerial::CloseIfLostOnWrite() {
    if (!LostOnWrite)
        return;
    const std::string reason = *LostOnWrite;
    ClosePortLost(reason);
}

void frmSerial::ClosePortLost(const std::string& reason) {
    LostOnWrite.reset();
    std::string text = view.txtText(0) + " lost! The port failed or was removed";
    const TransferPosition& at = machine.transfer();
    if (inSet(machine.state(), kTransferRunning)) {
        text += std::string(" during ") + passCaption(at.pass) + ", after record " +
                std::to_string(at.record) + " of " + std::to_string(at.count) + ".";
    } else {
        text += "; no transfer was running.";
    }
    machine.handle(Event::PortLost);
    ClosePort();
    view.msgBox(text, FormView::Icon::Critical, {}, reason);
}
