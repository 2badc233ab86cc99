#include "window/frmSerial.h"

#include "protocol/FailureText.h"
#include "protocol/ProbeWait.h"
#include "protocol/TransitionTable.h"

namespace {

// The buttons whose commands would send beside a frame in flight: both transfers, the
// single-shot commands, and "Next", which moves the address being talked to.
constexpr Control kStartingButtons[] = {Control::Command3, Control::Command2, Control::Command6,
                                        Control::Command4, Control::Command1};
// The controls a stray key press reaches beside the disabled buttons while a frame is in flight:
// the framing switch, which ends a transfer, and the address boxes, which say where the next
// frame goes. They are held as the sending buttons are; "Close" stays to end a transfer on purpose.
constexpr Control kSettingsHeldWhileBusy[] = {Control::Check1, Control::Text1, Control::Text2};

} // namespace

frmSerial::frmSerial(FormView& view, SerialPortService& port)
    : view(view), MSComm1(port), machine(*this, kWindowLimits) {
    machine.onStep([this](const ProtocolMachine::Step& step) {
        ShowWhetherBusy();
        if (OnMachineStep)
            OnMachineStep(step);
    });
}

void frmSerial::SwitchTags() {
    for (Control control : kControlOrder)
        if (!view.tag(control).empty())
            view.setEnabled(control, !view.isEnabled(control));
}

void frmSerial::ShowWhetherBusy() {
    // Whatever the table refuses to start is shown disabled: a click could not act.
    const Transition* load = decide(machine.state(), Event::LoadClicked, {});
    const bool busy = load != nullptr && load->action == Action::Refuse;
    if (busy == Busy)
        return;
    Busy = busy;
    for (Control button : kStartingButtons)
        view.setEnabled(button, !busy);
    for (Control setting : kSettingsHeldWhileBusy)
        view.setEnabled(setting, !busy);
}

// A board may answer a probe as late as a scanned board is given to: the design's 200 ms, with the
// probe and the reply on the line at the slowest speed the window offers.
frmSerial::Clock::duration frmSerial::probeAnswerWindow() const {
    return probeWait(MSComm1.wireBaud().value_or(9600), std::chrono::milliseconds(200));
}

void frmSerial::showBar(BarMark mark) {
    switch (mark) {
    case BarMark::Verify:
        view.setBarText("VERIFY");
        break;
    case BarMark::End:
        view.setBarText("END");
        view.setBarColor(colours::PureGreen);
        break;
    case BarMark::Error:
        view.setBarText("ERROR");
        view.setBarColor(colours::Red);
        break;
    case BarMark::Erase:
        view.setBarText("");
        view.setBarValue(0);
        break;
    case BarMark::NoFile:
        view.setBarText("NO FILE");
        break;
    }
}

void frmSerial::showFailure(const Failure& failure) {
    ShowWhetherBusy(); // the buttons come back before the modal box, not after it
    view.msgBox(failureText(failure), FormView::Icon::Critical);
}
