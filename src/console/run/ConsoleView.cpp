#include "console/run/ConsoleView.h"

#include "window/FormLayout.h"

#include <chrono>
#include <thread>

ConsoleView::ConsoleView() {
    // The window's start values of the switchable controls.
    enabledStates[Control::txt0] = true;
    enabledStates[Control::BTNOpenCom] = true;
    enabledStates[Control::BTNCloseCom] = false;
}

void ConsoleView::selectSpeed(int baud) {
    selectedOption = baud == 9600 ? 1 : baud == 19200 ? 2 : 3;
}

void ConsoleView::setLabel2Caption(const std::string& caption) {
    label2Caption = caption;
    if (caption == "READY")
        ++readyTimes;
}

void ConsoleView::setText8Text(const std::string& text) {
    answer = text;
    ++text8Times;
}

void ConsoleView::setBarValue(int value) {
    bar.value = value;
    if (value > 0)
        ++barAdvanceTimes;
}

void ConsoleView::setTxtBackColor(int index, Colour colour) {
    if (index == 0)
        portBackColour = colour;
}

void ConsoleView::setTimer3Enabled(bool enabled) {
    timer3On = enabled;
    if (onTimer3Switched)
        onTimer3Switched(enabled);
}

void ConsoleView::setTMRCommEnabled(bool enabled) {
    tmrCommOn = enabled;
    if (onTMRCommSwitched)
        onTMRCommSwitched(enabled);
}

std::string ConsoleView::tag(Control control) const {
    // The flasher's controls keep the tags the window's start with.
    return initialTag(control);
}

bool ConsoleView::isEnabled(Control control) const {
    const auto found = enabledStates.find(control);
    return found == enabledStates.end() || found->second;
}

void ConsoleView::msgBox(const std::string& text, Icon icon, const std::string& title,
                         const std::string& detail) {
    shownMessages.push_back({text, icon, title, detail});
}

std::string ConsoleView::messageLine(const Message& message) {
    std::string line;
    if (!message.title.empty())
        line += message.title + ": ";
    line += message.text;
    if (!message.detail.empty())
        line += " (" + message.detail + ")";
    return line;
}

void ConsoleView::pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
