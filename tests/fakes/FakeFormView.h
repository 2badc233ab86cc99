#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "window/FormView.h"

// The window's controls as plain state, with the values the window starts with. Records what
// only leaves a trace on screen: message boxes, pauses and poll timer restarts.
class FakeFormView : public FormView {
  public:
    struct MessageBox {
        std::string text;
        Icon icon = Icon::None;
        std::string title = {}, detail = {};
        bool operator==(const MessageBox&) const = default;
        friend void PrintTo(const MessageBox& box, std::ostream* out) {
            *out << '"' << box.text << "\" icon " << static_cast<int>(box.icon) << " \"" << box.title
                 << "\" \"" << box.detail << '"';
        }
    };

    std::string label2 = "No info";
    std::string command1Caption = "Set Addr";
    std::string text8, text1;
    // Called with every text the answer box is given, for tests that follow a sequence of replies.
    std::function<void(const std::string&)> onText8;
    std::string text2 = "10";
    std::string txt0 = "COM3";
    Colour txt0BackColor = colours::WindowBackground;
    bool check1 = true;
    bool option1 = false, option2 = false, option3 = true;
    bool timer3 = false;
    bool tmrComm = false;
    int tmrCommRestarts = 0; // off then on again while running
    bool picVisible = true;
    Colour picColor = colours::Yellow;
    bool command5Enabled = false;
    std::string barText = "NO FILE";
    Colour barColor = colours::Blue;
    int barValue = 0, barMax = 0;
    std::string dialogFilter;
    std::string dialogFile; // what the next showing of the dialog "chooses"; empty means cancelled
    bool cancelError = false;
    std::map<Control, std::string> tags = {
        {Control::txt0, "NO"}, {Control::BTNOpenCom, "NO"}, {Control::BTNCloseCom, "NC"}};
    std::set<Control> disabled = {Control::BTNCloseCom};
    std::vector<MessageBox> boxes;
    std::vector<int> pauses;
    // Called inside pause(), standing in for what happens on the wire meanwhile.
    std::function<void()> duringPause = [] {};
    // Called inside msgBox(), while the modal box is open.
    std::function<void()> whileBoxOpen = [] {};
    // Called inside showOpenDialog(), while the modal dialog is open.
    std::function<void()> whileDialogOpen = [] {};

    void setLabel2Caption(const std::string& caption) override { label2 = caption; }
    void setCommand1Caption(const std::string& caption) override { command1Caption = caption; }
    void setText8Text(const std::string& text) override {
        text8 = text;
        if (onText8)
            onText8(text);
    }
    std::string text1Text() const override { return text1; }
    void setText1Text(const std::string& text) override { text1 = text; }
    std::string text2Text() const override { return text2; }
    std::string txtText(int) const override { return txt0; }
    void setTxtBackColor(int, Colour colour) override { txt0BackColor = colour; }
    bool check1Checked() const override { return check1; }
    bool option1Selected() const override { return option1; }
    bool option2Selected() const override { return option2; }
    bool option3Selected() const override { return option3; }
    void setTimer3Enabled(bool enabled) override { timer3 = enabled; }
    bool timer3Enabled() const override { return timer3; }
    void setTMRCommEnabled(bool enabled) override {
        if (enabled && pendingRestart)
            ++tmrCommRestarts;
        pendingRestart = tmrComm && !enabled;
        tmrComm = enabled;
    }
    bool tmrCommEnabled() const override { return tmrComm; }
    void setPicVisible(bool visible) override { picVisible = visible; }
    Colour picFillColor() const override { return picColor; }
    void setPicFillColor(Colour colour) override { picColor = colour; }
    void enableCommand5() override { command5Enabled = true; }
    void setBarText(const std::string& text) override { barText = text; }
    void setBarColor(Colour colour) override { barColor = colour; }
    void setBarValue(int value) override { barValue = value; }
    void setBarMax(int maximum) override { barMax = maximum; }
    void setDialogFilter(const std::string& filter) override { dialogFilter = filter; }
    void showOpenDialog() override { whileDialogOpen(); }
    std::string dialogFileName() const override { return dialogFile; }
    bool dialogCancelError() const override { return cancelError; }
    std::string tag(Control control) const override { return tags.contains(control) ? tags.at(control) : ""; }
    bool isEnabled(Control control) const override { return !disabled.contains(control); }
    void setEnabled(Control control, bool enabled) override {
        if (enabled)
            disabled.erase(control);
        else
            disabled.insert(control);
    }
    void msgBox(const std::string& text, Icon icon, const std::string& title,
                const std::string& detail) override {
        boxes.push_back({text, icon, title, detail});
        whileBoxOpen();
    }
    void pause(int ms) override {
        pauses.push_back(ms);
        duringPause();
    }

  private:
    bool pendingRestart = false;
};
