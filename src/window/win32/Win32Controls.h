#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "window/Colours.h"
#include "window/Controls.h"

// Every control of the main window as the layout table (window/FormLayout.h) has it, as child
// windows of `window` at the Qt window's pixel rectangles, with the window's fonts and colours.
// All are children of the window itself, frames included, so that the keyboard walks them in the
// design's tab order across the frames; the frames lie beneath the rest.
class Win32Controls {
  public:
    explicit Win32Controls(HWND window);
    ~Win32Controls();
    Win32Controls(const Win32Controls&) = delete;
    Win32Controls& operator=(const Win32Controls&) = delete;

    // The child window of a control; nullptr for the port, the timers and the file dialog.
    HWND handle(Control control) const { return windows[index(control)]; }
    // A child's identifier (GetDlgItem, WM_COMMAND), and the control one names.
    static int commandId(Control control) { return kFirstCommand + int(index(control)); }
    static std::optional<Control> controlOfCommand(int identifier);

    const std::string& tag(Control control) const { return tags[index(control)]; }
    bool isEnabled(Control control) const;
    void setEnabled(Control control, bool enabled);

    // The port box's background; its text stays readable on it while the box is disabled.
    void setTxtBackColour(Colour colour);
    // WM_CTLCOLOR*: the window's own colours for the text boxes, check box and round buttons.
    HBRUSH colourChild(HDC dc, HWND child);

    static constexpr UINT_PTR kTimer3Id = 3;
    static constexpr UINT_PTR kTMRCommId = 20;

  private:
    static constexpr int kFirstCommand = 100;
    static std::size_t index(Control control) { return static_cast<std::size_t>(control); }
    void create(HWND window);
    void stackInTabOrder();

    HWND window;
    std::array<HWND, kControlOrder.size()> windows{};
    std::array<std::string, kControlOrder.size()> tags{};
    HFONT windowFont = nullptr;
    HFONT barFont = nullptr;
    HBRUSH windowBrush = nullptr;
    HBRUSH baseBrush = nullptr;
    HBRUSH disabledBaseBrush = nullptr;
    Colour txtColour = colours::WindowBackground;
    HBRUSH txtBrush = nullptr;
    // The port component, the file dialog and the timers have an Enabled flag and nothing shows it.
    bool portEnabled = true;
    bool dialogEnabled = true;
    bool timer3Running = false;
    bool tmrCommRunning = false;
};
