#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/FrameTimes.h"
#include "link/ReplyReceiver.h"
#include "link/SerialPortService.h"
#include "protocol/ProtocolMachine.h"
#include "transfer/IntelHexReader.h"
#include "window/FormView.h"

// The main window's logic: its members and its handlers. It reaches the controls through FormView
// and the port (MSComm1) through SerialPortService, so it runs without any toolkit. The connection
// and the transfer are the ProtocolMachine's: each handler hands its event to the machine, which
// decides, and acts through this window (the MachineHost side below).
class frmSerial : private MachineHost {
  public:
    using Clock = std::chrono::steady_clock;

    static constexpr int kHexRecordSlots = 9001; // slots 0..9000; slot k holds line k
    static constexpr int kMaxRecords = 9000;
    // The window waits 5 s for the answer to a record or command, and 60 s for an erase to end.
    static constexpr ProtocolMachine::Limits kWindowLimits{std::chrono::seconds(5), std::chrono::seconds(60)};

    frmSerial(FormView& view, SerialPortService& port);

    // Event handlers.
    void BTNOpenCom_Click();
    void BTNCloseCom_Click();
    void Timer3_Timer();
    void TMRComm_Timer();
    // The port has received bytes: the receive step of TMRComm_Timer at once, without the blink,
    // so that the next frame answers a reply as it arrives rather than on the next tick.
    void MSComm1_OnComm();
    void Form_Unload(std::int16_t& Cancel);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();

    // The window's own procedures (CRC16 is the free function of link/Crc16.h).
    void Com_Parser();
    void SwitchTags();
    std::int16_t WriteCOM32(const std::string& COMString);
    // The port failed while open: closed as "Close" does, then one box says where the run stood.
    void ClosePortLost(const std::string& reason);
    // When a held frame is due to be handed over if no byte comes first; empty when none is held.
    std::optional<Clock::time_point> HeldFrameDue() const { return Receiver.heldFrameDue(); }

    // The connection and the transfer. The flasher sets its own limits and follows every step.
    const ProtocolMachine& Machine() const { return machine; }
    void SetLimits(ProtocolMachine::Limits limits) { machine.setLimits(limits); }
    std::function<void(const ProtocolMachine::Step&)> OnMachineStep;
    // Reads the file the dialog chose; empty: the named file is opened and read. The flasher hands
    // back the image it has read and checked once.
    std::function<IntelHexFile(const std::string& fileName)> ReadFirmware;
    // The clock of every deadline and quiet wait.
    std::function<Clock::time_point()> Now = [] { return Clock::now(); };
    // The silence kept between the last byte received and the next frame; empty: the line's own
    // (link/FrameGap.h), zero: none.
    std::optional<Clock::duration> FrameGap;

    // The window's state. Public so that the tests and the headless binding can read it;
    // only the handlers change it.
    std::int16_t PortNumber = 0;
    std::int16_t ConnectCount = 0;
    std::int16_t ScanMode = 0;
    std::string RxString; // the reply handed to Com_Parser
    std::string RxCRC;
    std::string CRCCalc;
    std::int16_t BlinkCount = 0;
    std::vector<std::string> HexRecords = std::vector<std::string>(kHexRecordSlots);
    std::string HexLine;
    std::int16_t RecordCount = 0;
    // RxBuffer (Modbus RTU mode) and the line being gathered (plain mode).
    ReplyReceiver Receiver;

  private:
    // MachineHost: what the machine asks of the window.
    Clock::time_point now() const override { return Now(); }
    std::uint64_t framesSent() const override { return FramesSent; }
    bool scanMode() const override { return ScanMode == 1; }
    Origin origin() const override { return OriginOf(view.check1Checked()); }
    Clock::time_point earliestAnswer(std::uint64_t frame) const override {
        return Written.earliestAnswer(frame);
    }
    Clock::duration probeAnswerWindow() const override;
    bool sendRecord(Pass pass, int record) override;
    bool sendIdentify() override;
    bool sendInstall() override;
    bool sendAddressChange() override;
    void probe() override;
    void giveUp() override;
    void setWaiting(bool on) override { view.setTimer3Enabled(on); }
    void showReady() override { view.setLabel2Caption("READY"); }
    void clearAnswer() override { view.setText8Text(""); }
    void showBar(BarMark mark) override;
    void takeChosenFile(Pass pass) override;
    void showCancelled() override { view.msgBox("Cancel"); }
    void showFailure(const Failure& failure) override;

    // Command3_Click and Command2_Click: one operation in two modes.
    void LoadHexFileAndSend(Pass pass);
    // The port-closed look, after "Close" or a lost port.
    void ClosePort();
    // The buttons that would send beside a frame awaiting its answer are disabled meanwhile.
    void ShowWhetherBusy();
    // Reads and hands over what the port received, then gives the machine the time.
    void ReceiveStep();
    void TakeReceived(const Received& received);
    // Waits, through the port, until the line has been silent for the frame gap since the last
    // byte received.
    void KeepFrameGap();
    void NoteFramingSwitch();
    // A frame the machine sent went out, or the port was lost under it (which the end of the event
    // tells); only a refused write is no send at all.
    bool Sent(std::int16_t written) const { return written > 0 || LostOnWrite.has_value(); }
    void CloseIfLostOnWrite();
    // The device address in the address box; empty when it names no byte.
    std::optional<std::uint8_t> DeviceAddress() const;
    // Where a reply in that framing comes from, or a frame goes: framed, the address in the box.
    Origin OriginOf(bool framed) const;

    FormView& view;
    SerialPortService& MSComm1;
    ProtocolMachine machine;
    // Frames written so far: the stamp of each read, so that a reply tells whether it began
    // before the last frame went out.
    std::uint64_t FramesSent = 0;
    // Bytes read just before a frame went out, with their stamp, for the next tick.
    struct StampedRead {
        std::string bytes;
        std::uint64_t stamp;
        Clock::time_point arrived;
    };
    // The bytes waiting in the port, with their stamp and when they arrived.
    StampedRead ReadWaiting();
    // When the frames written lately can first be answered.
    FrameTimes Written;
    std::vector<StampedRead> EarlyBytes;
    // The speed chosen at opening, and when the last byte was received: the frame gap's measure.
    int LineBaud = 115200;
    std::optional<Clock::time_point> LastReceived;
    // Where the reply in RxString came from.
    bool RxFramed = true;
    std::uint64_t RxStamp = 0;
    Clock::time_point RxCompleted{};
    // The framing of the last tick: a switch is an event of the machine.
    bool Framed = true;
    bool Busy = false;
    // A write found the port gone: it is closed as lost when the event that wrote has ended.
    std::optional<std::string> LostOnWrite;
    std::vector<std::string> ChosenLines; // the file read, until the machine takes it
    std::string AddressDigits;            // the new address of "Set Addr"
};
