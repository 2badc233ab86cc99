#include <chrono>
#include <exception>
#include <string_view>

#include "link/Crc16.h"
#include "link/NumberRule.h"
#include "link/ReplyFrames.h"
#include "window/frmSerial.h"

namespace {
constexpr std::int16_t kTicksPerBlink = 10;
constexpr std::string_view kLineEnd = "\r\n";
// How long a plain reply without a line end must stay unfinished before it is taken as it is: one
// poll of the window. Counted in time, not ticks: at a poll shorter than a byte's time on the line
// a tick between two bytes of one reply finds nothing new. Longer than the pauses a USB adapter
// leaves inside a reply (its latency timer, often 16 ms).
constexpr auto kPlainReplyQuiet = std::chrono::milliseconds(20);
} // namespace

void frmSerial::TMRComm_Timer() {
    CheckTransferStall();
    RxString.clear();
    CRCCalc.clear();
    RxCRC.clear();

    if (++BlinkCount >= kTicksPerBlink) {
        BlinkCount = 0;
        view.setPicFillColor(view.picFillColor() == colours::White ? colours::Grey : colours::White);
    }

    // A failing read, an address text that names no byte, or a reply whose handling fails ends
    // this tick only: the poll must go on, and nobody waits for a message from it. A port that
    // has failed for good is another matter: it is closed, and the user is told.
    try {
        if (MSComm1.inBufferCount() <= 0) {
            const auto quiet = std::chrono::steady_clock::now() - RxTime;
            // A plain reply without a line end is complete once the line has gone quiet.
            if (!RxLine.empty() && quiet >= kPlainReplyQuiet) {
                RxString = std::move(RxLine);
                RxLine.clear();
                Com_Parser();
            }
            if (RxFrameHeld == 1 && quiet >= HeldFrameWait)
                TakeHeldFrame();
            return;
        }
        RxString = MSComm1.input();
        RxTime = std::chrono::steady_clock::now();
        view.setPicFillColor(colours::Red);
        const std::string chunk = RxString;
        if (view.check1Checked())
            TakeModbusReplies(chunk);
        else
            TakePlainReplies(chunk);
    } catch (const PortLostError& lost) {
        ClosePortLost(lost.what());
    } catch (const std::exception&) {
        // Ends this tick only (see above); what it did so far stays done.
    }
}

// Every reply ends with CR LF; a read may hold two replies, or part of one.
void frmSerial::TakePlainReplies(const std::string& chunk) {
    RxBuffer.clear();
    RxFrameHeld = 0;
    RxLine += chunk;
    boundReplyBuffer(RxLine);
    for (;;) {
        std::size_t end = RxLine.find(kLineEnd);
        if (end != std::string::npos)
            end += kLineEnd.size();
        if (end > kMaxReplyLength && RxLine.size() >= kMaxReplyLength)
            end = kMaxReplyLength; // no reply is this long: hand the bytes on as they are
        else if (end == std::string::npos)
            return;
        // Out of the line before the hand-over, so that a failing handling cannot repeat it.
        RxString = RxLine.substr(0, end);
        RxLine.erase(0, end);
        Com_Parser();
    }
}

void frmSerial::TakeModbusReplies(const std::string& chunk) {
    RxBuffer += chunk;
    boundReplyBuffer(RxBuffer);
    RxFrameHeld = 0;
    for (;;) {
        if (RxBuffer.size() < kMinReplyLength)
            return;
        const auto address = static_cast<std::uint8_t>(WholeNumber(view.text1Text(), 0, 255));
        const ReplyScan scan = scanReplyBuffer(RxBuffer, address);
        switch (scan.outcome) {
        case ReplyScan::Outcome::Waiting:
            RxBuffer.erase(0, scan.discard);
            if (RxBuffer.size() >= kMinReplyLength) {
                // The front holds a frame start; show what the last comparison looked at.
                RxString = RxBuffer.substr(2, RxBuffer.size() - 4);
                RxCRC = RxBuffer.substr(RxBuffer.size() - 2);
                CRCCalc = CRC16(RxBuffer.substr(0, RxBuffer.size() - 2));
            }
            return;
        case ReplyScan::Outcome::WrongAddress:
            view.setText8Text("Error ADDR  >> " + chunk);
            RxBuffer.erase(0, scan.discard);
            break;
        case ReplyScan::Outcome::WrongFunction:
            view.setText8Text("Error CMD  >> " + chunk);
            RxBuffer.erase(0, scan.discard);
            break;
        case ReplyScan::Outcome::Frame: {
            // More bytes may yet show this to be the front of a longer frame. The window hands
            // such a frame over at once when it is all there is; when bytes follow it that may
            // be its rest, it waits a poll for the rest of them too.
            const bool restMayFollow = scan.discard + scan.length < RxBuffer.size();
            if (!scan.settled &&
                (HeldFrameWait > std::chrono::steady_clock::duration::zero() || restMayFollow)) {
                RxBuffer.erase(0, scan.discard);
                RxFrameHeld = 1;
                return;
            }
            HandOverFrame(scan);
            break;
        }
        }
    }
}

// The line has stayed quiet behind a held frame: nothing more belongs to it. What follows it
// waits for the next bytes, as the rest of a read does.
void frmSerial::TakeHeldFrame() {
    RxFrameHeld = 0;
    const auto address = static_cast<std::uint8_t>(WholeNumber(view.text1Text(), 0, 255));
    const ReplyScan scan = scanReplyBuffer(RxBuffer, address);
    if (scan.outcome == ReplyScan::Outcome::Frame)
        HandOverFrame(scan);
}

void frmSerial::HandOverFrame(const ReplyScan& scan) {
    const std::string frame = RxBuffer.substr(scan.discard, scan.length);
    // Out of the buffer before the hand-over: should the handling fail, the frame must not stay
    // at the front and block every later reply.
    RxBuffer.erase(0, scan.discard + scan.length);
    RxString = frame.substr(2, frame.size() - 4);
    RxCRC = frame.substr(frame.size() - 2);
    CRCCalc = CRC16(frame.substr(0, frame.size() - 2));
    Com_Parser();
}

std::optional<std::chrono::steady_clock::time_point> frmSerial::HeldFrameDue() const {
    if (RxFrameHeld != 1)
        return std::nullopt;
    return RxTime + HeldFrameWait;
}
