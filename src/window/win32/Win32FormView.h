#pragma once

#include <windows.h>

#include <string>

#include "window/FormView.h"
#include "window/win32/Win32Controls.h"

// The logic's view of the Win32 window: each operation reads or sets one control. Texts the user
// types travel as UTF-8 and cross to Win32 as UTF-16; the answer box shows received bytes one
// character per byte (Latin-1), so no byte of a reply is lost or merged on the way to the screen.
class Win32FormView : public FormView {
  public:
    Win32FormView(Win32Controls& controls, HWND window);

    void setLabel2Caption(const std::string& caption) override;
    void setCommand1Caption(const std::string& caption) override;
    void setText8Text(const std::string& text) override;
    std::string text1Text() const override;
    void setText1Text(const std::string& text) override;
    std::string text2Text() const override;
    std::string txtText(int index) const override;
    void setTxtBackColor(int index, Colour colour) override;
    bool check1Checked() const override;
    bool option1Selected() const override;
    bool option2Selected() const override;
    bool option3Selected() const override;
    void setTimer3Enabled(bool enabled) override;
    bool timer3Enabled() const override;
    void setTMRCommEnabled(bool enabled) override;
    bool tmrCommEnabled() const override;
    void setPicVisible(bool visible) override;
    Colour picFillColor() const override;
    void setPicFillColor(Colour colour) override;
    void enableCommand5() override;
    void setBarText(const std::string& text) override;
    void setBarColor(Colour colour) override;
    void setBarValue(int value) override;
    void setBarMax(int maximum) override;
    void setDialogFilter(const std::string& filter) override;
    void showOpenDialog() override;
    std::string dialogFileName() const override;
    bool dialogCancelError() const override;
    std::string tag(Control control) const override;
    bool isEnabled(Control control) const override;
    void setEnabled(Control control, bool enabled) override;
    void msgBox(const std::string& text, Icon icon, const std::string& title,
                const std::string& detail) override;
    void pause(int ms) override;

    // "description|pattern" pairs as the logic writes them, in the open dialog's form: each part
    // ended by a NUL, the whole by a second one.
    static std::wstring win32FileFilter(const std::string& filter);

  private:
    std::string text(Control control) const;
    void setText(Control control, const std::wstring& text);
    bool checked(Control control) const;

    Win32Controls& controls;
    HWND window;
    std::string dialogFilter;
    std::string chosenFile;
    bool cancelled = false;
};
