#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/SerialPortService.h"
#include "protocol/ReplyKeyword.h"
#include "transfer/IntelHexReader.h"
#include "window/FormView.h"

struct ReplyScan;

// The main window's logic: every member variable and every handler of the window. It reaches
// the controls through FormView and the port (MSComm1) through SerialPortService, so it runs
// without any toolkit. Handlers are defined beside the subsystem they belong to:
// link/ (WriteCOM32, TMRComm_Timer), protocol/ (connection, Com_Parser, device commands),
// transfer/ (loading, Command5_Click), window/ (SwitchTags).
class frmSerial {
  public:
    static constexpr int kHexRecordSlots = 9001; // slots 0..9000; slot k holds line k
    static constexpr int kMaxRecords = 9000;
    // How long a transfer waits for the answer to a record before it stops: the flasher's
    // default stall timeout.
    static constexpr std::chrono::milliseconds kReplyStallLimit{5000};

    frmSerial(FormView& view, SerialPortService& port);

    // Event handlers.
    void BTNOpenCom_Click();
    void BTNCloseCom_Click();
    void Timer3_Timer();
    void TMRComm_Timer();
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
    std::optional<std::chrono::steady_clock::time_point> HeldFrameDue() const;

    // The window's state. Public so that the tests and the headless binding can read it;
    // only the handlers above change it.
    std::int16_t PortNumber = 0;
    std::int16_t ConnectCount = 0;
    std::int16_t ScanMode = 0;
    std::int16_t TransferRequested = 0;
    std::int16_t TransferActive = 0;
    std::string RxString;
    std::string RxBuffer;
    // Plain mode: the bytes of a reply whose line end has not come yet.
    std::string RxLine;
    // When bytes last arrived, in either mode.
    std::chrono::steady_clock::time_point RxTime;
    // Modbus RTU mode: the frame at the front of RxBuffer is held back until the line has been
    // quiet for HeldFrameWait, as its end is not yet certain. With a wait of zero (the window's:
    // its poll already gathers a reply between ticks) only a frame with bytes behind it is held,
    // until a tick finds no more.
    std::int16_t RxFrameHeld = 0;
    std::chrono::steady_clock::duration HeldFrameWait{};
    std::string RxCRC;
    std::string CRCCalc;
    std::int16_t BlinkCount = 0;
    std::vector<std::string> HexRecords = std::vector<std::string>(kHexRecordSlots);
    std::string HexLine;
    std::int16_t RecordCount = 0;
    std::int16_t RecordIndex = 0;
    std::int16_t VerifyMode = 0;
    // 1 once the open port failed and was closed for it; cleared by opening.
    std::int16_t LostPort = 0;
    // 1 from the moment a record has gone out until the device answers it (or the transfer stalls
    // or the port closes). Meanwhile no other command or transfer starts, so that one chain of
    // records at most runs and no second record is ever in flight.
    std::int16_t RecordAwaited = 0;
    // When the wait for the answer to the record began; the device's "FORMAT" restarts it.
    std::chrono::steady_clock::time_point RecordSentTime;
    // Zero: the wait for an answer never ends (the flasher watches stalls itself).
    std::chrono::milliseconds ReplyStallLimit = kReplyStallLimit;
    // 1 when the device ended a pass before its last record was sent; cleared by a load and by opening.
    std::int16_t PassEndedEarly = 0;
    // Every reply handed to Com_Parser, by the keyword that decided it.
    ReplyTally Replies;
    // The records of the chosen file. Empty: the loader opens and reads the named file, as the
    // window does; the flasher hands back the one image it read and checked before the port opened.
    std::function<IntelHexFile(const std::string& fileName)> ReadFirmware;

  private:
    // Command3_Click and Command2_Click: one operation in two modes (0 download, 1 verify).
    void LoadHexFileAndSend(std::int16_t verifyMode);
    // The receive tick's two ways of cutting the received bytes into replies.
    void TakeModbusReplies(const std::string& chunk);
    void TakePlainReplies(const std::string& chunk);
    void TakeHeldFrame();
    void HandOverFrame(const ReplyScan& scan);
    // Sets RecordAwaited and shows it: the buttons that would start a second chain are disabled
    // while it is 1.
    void SetRecordAwaited(bool awaited);
    // Records flow only in a transfer and never while the connection wait still probes addresses.
    bool RecordsMayFlow() const;
    // The transfer is over for the device's reason: bar "ERROR" in red, nothing more is sent.
    void StopTransfer();
    // Ends a transfer whose record has had no answer for ReplyStallLimit, with one box.
    void CheckTransferStall();
    // The number of the record last sent (the sender wraps its index to 0 after the last one).
    int LastRecordNumber() const { return RecordIndex == 0 ? RecordCount : RecordIndex; }
    const char* PassName() const { return VerifyMode == 1 ? "VERIFY" : "DOWNLOAD"; }

    FormView& view;
    SerialPortService& MSComm1;
};
