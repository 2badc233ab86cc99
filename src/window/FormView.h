#pragma once

#include <string>

#include "window/Colours.h"
#include "window/Controls.h"

// What the window's logic may do to the controls: exactly the operations of the main window,
// plus the modal message box and the blocking pause. Implemented by the Qt window, by the
// console binding of the command-line flasher, and by a fake in the tests.
class FormView {
  public:
    virtual ~FormView() = default;

    // Label2, the status line.
    virtual void setLabel2Caption(const std::string& caption) = 0;
    // Command1: "Set Addr" or "Next".
    virtual void setCommand1Caption(const std::string& caption) = 0;
    // Text8, the answer box.
    virtual void setText8Text(const std::string& text) = 0;
    // Text1, the device address.
    virtual std::string text1Text() const = 0;
    virtual void setText1Text(const std::string& text) = 0;
    // Text2, the new device address.
    virtual std::string text2Text() const = 0;
    // txt(index), the port box group; only element 0 exists.
    virtual std::string txtText(int index) const = 0;
    virtual void setTxtBackColor(int index, Colour colour) = 0;
    // Check1, the Modbus RTU framing switch.
    virtual bool check1Checked() const = 0;
    // The speed option buttons.
    virtual bool option1Selected() const = 0;
    virtual bool option2Selected() const = 0;
    virtual bool option3Selected() const = 0;
    // Timer3, the connection wait (200 ms).
    virtual void setTimer3Enabled(bool enabled) = 0;
    virtual bool timer3Enabled() const = 0;
    // TMRComm, the receive poll (20 ms). Disabling then enabling restarts its interval.
    virtual void setTMRCommEnabled(bool enabled) = 0;
    virtual bool tmrCommEnabled() const = 0;
    // Pic, the activity indicator.
    virtual void setPicVisible(bool visible) = 0;
    virtual Colour picFillColor() const = 0;
    virtual void setPicFillColor(Colour colour) = 0;
    // Command5, the hidden "Send" button.
    virtual void enableCommand5() = 0;
    // vbalProgressBar1.
    virtual void setBarText(const std::string& text) = 0;
    virtual void setBarColor(Colour colour) = 0;
    virtual void setBarValue(int value) = 0;
    virtual void setBarMax(int maximum) = 0;
    // CommonDialog1. The filter comes as "description|pattern".
    virtual void setDialogFilter(const std::string& filter) = 0;
    virtual void showOpenDialog() = 0;
    virtual std::string dialogFileName() const = 0;
    virtual bool dialogCancelError() const = 0;
    // Tags and enabled states, for every control in kControlOrder.
    virtual std::string tag(Control control) const = 0;
    virtual bool isEnabled(Control control) const = 0;
    virtual void setEnabled(Control control, bool enabled) = 0;

    enum class Icon { None, Critical };
    // A modal box with one OK button. An empty title means the application's title.
    // `detail`, when not empty, is shown as the box's secondary text (for example the reason
    // a port could not be opened); the main text is always `text` exactly.
    virtual void msgBox(const std::string& text, Icon icon = Icon::None, const std::string& title = {},
                        const std::string& detail = {}) = 0;
    // Blocks the user-interface thread for `ms` milliseconds: no event is handled meanwhile.
    virtual void pause(int ms) = 0;
};
