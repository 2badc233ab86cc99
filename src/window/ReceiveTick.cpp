#include <algorithm>
#include <chrono>
#include <exception>

#include "link/LineTime.h"
#include "window/frmSerial.h"

namespace {
constexpr std::int16_t kTicksPerBlink = 10;
} // namespace

void frmSerial::TMRComm_Timer() {
    RxString.clear();
    CRCCalc.clear();
    RxCRC.clear();

    if (++BlinkCount >= kTicksPerBlink) {
        BlinkCount = 0;
        view.setPicFillColor(view.picFillColor() == colours::White ? colours::Grey : colours::White);
    }
    ReceiveStep();
}

void frmSerial::MSComm1_OnComm() {
    // Bytes that come while the poll is off (the port closing) wait for it, as on a tick.
    if (!view.tmrCommEnabled())
        return;
    RxString.clear();
    CRCCalc.clear();
    RxCRC.clear();
    ReceiveStep();
}

void frmSerial::ReceiveStep() {
    NoteFramingSwitch();
    const bool framed = Framed;

    // A failing read, or a reply whose handling fails, ends this tick only: the poll must go on,
    // and nobody waits for a message from it. A port that has failed for good is another matter:
    // it is closed, and the user is told.
    try {
        std::vector<StampedRead> reads;
        reads.swap(EarlyBytes);
        if (MSComm1.inBufferCount() > 0)
            reads.push_back(ReadWaiting());
        if (reads.empty()) {
            for (const Received& each : Receiver.quiet(framed, DeviceAddress(), Now()))
                TakeReceived(each);
        }
        const std::optional<int> baud = MSComm1.wireBaud();
        Receiver.byteTime = baud ? Clock::duration(lineTime(1, *baud)) : Clock::duration{};
        for (const StampedRead& read : reads) {
            RxString = read.bytes;
            view.setPicFillColor(colours::Red);
            for (const Received& each :
                 Receiver.take(read.bytes, framed, DeviceAddress(), read.stamp, read.arrived))
                TakeReceived(each);
        }
        if (LostOnWrite)
            throw PortLostError(*LostOnWrite);
    } catch (const PortLostError& lost) {
        ClosePortLost(lost.what());
        return;
    } catch (const std::exception&) {
        // Ends this tick's reading only (see above); the deadline is still looked at.
    }
    // After the replies: an answer that came in time is taken before its deadline is looked at.
    machine.checkDeadline(Now());
}

// The framing switch has no event of its own: every handler looks for it first, before it sends
// or receives in the framing of the moment. Bytes gathered under one framing are never taken under
// the other.
void frmSerial::NoteFramingSwitch() {
    if (view.check1Checked() == Framed)
        return;
    Framed = view.check1Checked();
    Receiver.clear();
    EarlyBytes.clear();
    // What waits unread in the port came before the switch as well.
    try {
        if (MSComm1.portOpen() && MSComm1.inBufferCount() > 0)
            MSComm1.input();
    } catch (const std::exception&) {
        // A port that fails is found by the next read, which reports it.
    }
    machine.handle(Event::FramingSwitched);
}

void frmSerial::TakeReceived(const Received& received) {
    switch (received.kind) {
    case Received::Kind::Reply:
        RxString = received.text;
        RxCRC = received.crc;
        CRCCalc = received.crcCalc;
        RxFramed = received.framed;
        RxStamp = received.stamp;
        RxCompleted = received.completedAt;
        Com_Parser();
        return;
    case Received::Kind::AddressError:
        view.setText8Text("Error ADDR  >> " + received.text);
        break;
    case Received::Kind::FunctionError:
        view.setText8Text("Error CMD  >> " + received.text);
        break;
    }
    switch (received.stray) {
    case Received::Stray::OtherAddress:
        machine.stray(Event::ForeignReply, "a reply from address " + std::to_string(received.strayAddress));
        break;
    case Received::Stray::Unframed:
        machine.stray(Event::ForeignReply, "a reply without the Modbus RTU frame");
        break;
    case Received::Stray::Noise:
        machine.stray(Event::Noise, "bytes that formed no reply");
        break;
    }
}

// The device paces everything: each reply is one event of the machine.
void frmSerial::Com_Parser() {
    view.setText8Text(RxString);
    machine.reply({RxString, OriginOf(RxFramed), RxStamp, RxCompleted});
}

// When the bytes arrived, as the port noted it before the tick came round; else now.
frmSerial::StampedRead frmSerial::ReadWaiting() {
    const Clock::time_point arrived = std::min(MSComm1.arrivedAt().value_or(Now()), Now());
    StampedRead read{MSComm1.input(), FramesSent, arrived};
    if (!read.bytes.empty())
        LastReceived = arrived;
    return read;
}
