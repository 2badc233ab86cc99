#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "window/FormView.h"

// The window's controls kept in memory, as the headless flasher's view. Message boxes are
// remembered, for the run to print and to tell how an operation ended; the file
// dialog "chooses" the file named on the command line; the two timers are switched through the
// callbacks that the run controller installs.
class ConsoleView final : public FormView {
  public:
    struct Message {
        std::string text;
        Icon icon;
        std::string title;
        std::string detail;
    };

    ConsoleView();

    // Set-up before "Open", as a user would type and click.
    void setPortText(const std::string& text) { portText = text; }
    void setText2Text(const std::string& text) { text2 = text; }
    void setModbusRtu(bool on) { check1 = on; }
    void selectSpeed(int baud);
    void setChosenFile(const std::string& path) { chosenFile = path; }
    std::function<void(bool)> onTimer3Switched;
    std::function<void(bool)> onTMRCommSwitched;

    // What the run controller reads back.
    const std::string& label2() const { return label2Caption; }
    const std::string& text8() const { return answer; }
    const std::string& text1() const { return text1Value; }
    const std::string& barText() const { return bar.text; }
    int barValue() const { return bar.value; }
    int barMax() const { return bar.maximum; }
    Colour barColour() const { return bar.colour; }
    bool timer3Enabled() const override { return timer3On; }
    // Raised each time the status line is set to "READY", i.e. each version reply.
    int readyCount() const { return readyTimes; }
    // Raised each time the answer box is written.
    int text8Count() const { return text8Times; }
    // Raised each time the bar's value is set above 0: once for every record sent.
    int barAdvances() const { return barAdvanceTimes; }
    const std::vector<Message>& messages() const { return shownMessages; }

    void setLabel2Caption(const std::string& caption) override;
    void setCommand1Caption(const std::string& caption) override { command1Caption = caption; }
    void setText8Text(const std::string& text) override;
    std::string text1Text() const override { return text1Value; }
    void setText1Text(const std::string& text) override { text1Value = text; }
    std::string text2Text() const override { return text2; }
    std::string txtText(int index) const override { return index == 0 ? portText : std::string(); }
    void setTxtBackColor(int index, Colour colour) override;
    bool check1Checked() const override { return check1; }
    bool option1Selected() const override { return selectedOption == 1; }
    bool option2Selected() const override { return selectedOption == 2; }
    bool option3Selected() const override { return selectedOption == 3; }
    void setTimer3Enabled(bool enabled) override;
    void setTMRCommEnabled(bool enabled) override;
    bool tmrCommEnabled() const override { return tmrCommOn; }
    void setPicVisible(bool visible) override { picVisible = visible; }
    Colour picFillColor() const override { return picColour; }
    void setPicFillColor(Colour colour) override { picColour = colour; }
    void enableCommand5() override { command5Enabled = true; }
    void setBarText(const std::string& text) override { bar.text = text; }
    void setBarColor(Colour colour) override { bar.colour = colour; }
    void setBarValue(int value) override;
    void setBarMax(int maximum) override { bar.maximum = maximum; }
    void setDialogFilter(const std::string& filter) override { dialogFilter = filter; }
    void showOpenDialog() override { dialogFile = chosenFile; }
    std::string dialogFileName() const override { return dialogFile; }
    bool dialogCancelError() const override { return false; }
    std::string tag(Control control) const override;
    bool isEnabled(Control control) const override;
    void setEnabled(Control control, bool enabled) override { enabledStates[control] = enabled; }
    void msgBox(const std::string& text, Icon icon, const std::string& title,
                const std::string& detail) override;
    void pause(int ms) override;

    // A message box as one line: the title, when it has one, then the text and the detail.
    static std::string messageLine(const Message& message);

  private:
    struct Bar {
        std::string text = "NO FILE";
        Colour colour = colours::Blue;
        int value = 0;
        int maximum = 0;
    };

    std::string portText = "COM3";
    Colour portBackColour = colours::WindowBackground;
    std::string text1Value;
    std::string text2 = "10";
    std::string answer;
    std::string label2Caption = "No info";
    std::string command1Caption = "Set Addr";
    bool check1 = true;
    int selectedOption = 3;
    bool timer3On = false;
    bool tmrCommOn = false;
    bool picVisible = true;
    Colour picColour = colours::Yellow;
    bool command5Enabled = false;
    Bar bar;
    std::string dialogFilter;
    std::string chosenFile;
    std::string dialogFile;
    std::map<Control, bool> enabledStates;
    std::vector<Message> shownMessages;
    int readyTimes = 0;
    int text8Times = 0;
    int barAdvanceTimes = 0;
};
