#include "link/FrameGap.h"
#include "link/NumberRule.h"
#include "link/RequestFrame.h"
#include "window/frmSerial.h"

// The only path to the port. Failures after the open check end the call silently with 0;
// the indicator and the poll timer keep what was already done to them.
std::int16_t frmSerial::WriteCOM32(const std::string& COMString) {
    if (!MSComm1.portOpen())
        return 0;
    try {
        view.setPicFillColor(colours::MediumGreen);
        if (view.tmrCommEnabled()) {
            // The first look for the reply comes one full poll interval after the send.
            view.setTMRCommEnabled(false);
            view.setTMRCommEnabled(true);
        }
        std::string frame = COMString;
        if (view.check1Checked())
            frame = modbusRequestFrame(static_cast<std::uint8_t>(WholeNumber(view.text1Text(), 0, 255)),
                                       COMString);
        // Bytes that came before this frame cannot answer it: taken in now, they keep the stamp of
        // the frames before, and the next tick hands them over first.
        if (MSComm1.inBufferCount() > 0)
            EarlyBytes.push_back(ReadWaiting());
        KeepFrameGap();
        // Timed before the write: a program held up between the write and a look at the clock
        // would otherwise take the board's prompt answer for one that came too soon.
        const Clock::time_point sentAt = Now();
        MSComm1.output(frame);
        ++FramesSent;
        Written.written(FramesSent, frame.size(), MSComm1.wireBaud(), sentAt);
        return static_cast<std::int16_t>(frame.size());
    } catch (const PortLostError& lost) {
        // Closed with its one box once the event that wrote has run to its end.
        LostOnWrite = lost.what();
        return 0;
    } catch (const std::exception&) {
        return 0;
    }
}

void frmSerial::KeepFrameGap() {
    if (!LastReceived)
        return;
    const Clock::duration left = *LastReceived + FrameGap.value_or(frameGap(LineBaud)) - Now();
    if (left > Clock::duration::zero())
        MSComm1.keepQuiet(std::chrono::ceil<std::chrono::microseconds>(left));
}
