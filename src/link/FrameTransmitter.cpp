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
            frame = modbusRequestFrame(static_cast<std::uint8_t>(WholeNumber(view.text1Text(), 0, 255)), COMString);
        MSComm1.output(frame);
        return static_cast<std::int16_t>(frame.size());
    } catch (const std::exception&) {
        return 0;
    }
}
