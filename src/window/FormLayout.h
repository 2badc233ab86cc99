#pragma once

#include <array>
#include <optional>
#include <string>

#include "window/Colours.h"
#include "window/Controls.h"

// The main window as it is laid out: every control that shows, where and with what text. Each
// binding builds its window from this table, so that the windows of all platforms stay alike.

inline constexpr const char* kWindowCaption = "BOOT DEVICE Ventrik V 1.6";
// The client area in pixels; the window is not resizable.
inline constexpr int kClientWidth = 397;
inline constexpr int kClientHeight = 123;

// Design positions are in twips; the window runs at 15 twips a pixel, a half pixel rounding up.
constexpr int twipsToPixels(int twips) {
    return (twips * 2 + 15) / 30;
}

// The window's text face: the design sizes are small, and a wider face cuts captions.
inline constexpr const char* kFontFace = "DejaVu Sans";
inline constexpr int kWindowFontPixels = 9;
// The bar's text has a face of its own, larger than the window's: sans-serif at 8.25 points.
inline constexpr double kBarFontPoints = 8.25;

inline constexpr int kTimer3IntervalMs = 200; // the connection wait
inline constexpr int kTMRCommIntervalMs = 20; // the receive poll and the indicator's blink

enum class ControlKind { Frame, Button, TextBox, CheckBox, Label, Option, Bar, Shape };

struct TwipsRect {
    int left, top, width, height;
};

struct PixelRect {
    int left, top, width, height;
    bool operator==(const PixelRect&) const = default;
};

struct ControlLayout {
    Control control;
    ControlKind kind;
    const char* name;             // the design name, "txt(0)" for the port box
    std::optional<Control> frame; // the frame holding it; none: the window itself
    TwipsRect twips;              // counted from the holder's corner
    const char* caption;          // a frame's title, a box's text, the bar's text
    Colour captionColour = colours::Black;
};

// In creation order: a frame before what it holds, a later control drawn over an earlier one.
inline constexpr std::array<ControlLayout, 28> kFormLayout{{
    {Control::Frame4, ControlKind::Frame, "Frame4", {}, {4440, 0, 1515, 855}, "Modbus RTU"},
    {Control::Command1, ControlKind::Button, "Command1", Control::Frame4, {600, 520, 795, 255}, "Set Addr"},
    {Control::Text2, ControlKind::TextBox, "Text2", Control::Frame4, {120, 480, 435, 285}, "10"},
    {Control::Text1, ControlKind::TextBox, "Text1", Control::Frame4, {1020, 240, 435, 285}, ""},
    // Only the box shows: the caption lies outside the control's narrow rectangle.
    {Control::Check1, ControlKind::CheckBox, "Check1", Control::Frame4, {1200, 0, 255, 255}, "Check1"},
    {Control::Label5, ControlKind::Label, "Label5", Control::Frame4, {60, 240, 915, 255}, "Addr Device"},
    // Lies over the status frame, in front of it (kInFront).
    {Control::Text8, ControlKind::TextBox, "Text8", {}, {720, 1410, 5115, 285}, ""},
    // Lies below the client area: never seen, and the keyboard never reaches it.
    {Control::Command5, ControlKind::Button, "Command5", {}, {1800, 2760, 855, 255}, "Send"},
    {Control::Frame3, ControlKind::Frame, "Frame3", {}, {0, 840, 5955, 975}, "Status"},
    {Control::vbalProgressBar1,
     ControlKind::Bar,
     "vbalProgressBar1",
     Control::Frame3,
     {120, 240, 5715, 255},
     "NO FILE"},
    {Control::Label3, ControlKind::Label, "Label3", Control::Frame3, {120, 600, 735, 255}, "Answer:"},
    {Control::Frame2, ControlKind::Frame, "Frame2", {}, {0, 0, 4395, 855}, "Comm's", colours::DarkBlue},
    // Narrower than their captions on purpose: only the round button shows; the label beside it speaks.
    {Control::Option3, ControlKind::Option, "Option3", Control::Frame2, {3300, 0, 195, 195}, "Option3"},
    {Control::Option2, ControlKind::Option, "Option2", Control::Frame2, {2520, 0, 195, 195}, "Option2"},
    {Control::Option1, ControlKind::Option, "Option1", Control::Frame2, {1860, 0, 195, 195}, "Option1"},
    {Control::Command2, ControlKind::Button, "Command2", Control::Frame2, {3720, 480, 615, 255}, "Verify"},
    {Control::Command6, ControlKind::Button, "Command6", Control::Frame2, {3420, 170, 615, 255}, "Install "},
    {Control::Command4, ControlKind::Button, "Command4", Control::Frame2, {4080, 170, 255, 255}, "?"},
    {Control::Command3,
     ControlKind::Button,
     "Command3",
     Control::Frame2,
     {1620, 480, 2055, 255},
     "Open File and  Download"},
    {Control::BTNCloseCom,
     ControlKind::Button,
     "BTNCloseCom",
     Control::Frame2,
     {960, 480, 615, 255},
     "Close"},
    {Control::BTNOpenCom, ControlKind::Button, "BTNOpenCom", Control::Frame2, {960, 200, 615, 255}, "Open"},
    {Control::txt0, ControlKind::TextBox, "txt(0)", Control::Frame2, {60, 480, 855, 315}, "COM3"},
    {Control::Label7, ControlKind::Label, "Label7", Control::Frame2, {2700, 0, 615, 255}, "115200"},
    {Control::Label6, ControlKind::Label, "Label6", Control::Frame2, {2040, 0, 495, 255}, "19200"},
    {Control::Label4, ControlKind::Label, "Label4", Control::Frame2, {960, 0, 975, 255}, "Speed 9600"},
    {Control::Label2, ControlKind::Label, "Label2", Control::Frame2, {1620, 240, 1755, 255}, "No info"},
    {Control::Pic, ControlKind::Shape, "Pic", Control::Frame2, {720, 0, 195, 255}, ""},
    {Control::Label1_0,
     ControlKind::Label,
     "Label1(0)",
     Control::Frame2,
     {120, 240, 795, 255},
     "Port: (1-9)"},
}};

// The controls that take the focus, in the design's tab order (frames and labels hold places
// too but never take it). The hidden "Send" keeps its place and is skipped.
inline constexpr std::array kTabOrder = {
    Control::txt0,     Control::BTNOpenCom, Control::BTNCloseCom, Control::Command3,
    Control::Command4, Control::Command5,   Control::Command6,    Control::Text8,
    Control::Check1,   Control::Text1,      Control::Text2,       Control::Command1,
    Control::Command2, Control::Option1,    Control::Option2,     Control::Option3};
inline constexpr Control kFirstFocus = Control::txt0;
// Keeps its tab place but never takes the focus: the logic alone presses it.
inline constexpr std::array kNeverFocused = {Control::Command5};

// Drawn in front of the frame it overlaps, which was created after it.
inline constexpr std::array kInFront = {Control::Text8};

// As the window opens.
inline constexpr std::array kInitiallyChecked = {Control::Check1, Control::Option3};
// "Close" waits for an open port; "Send" for the first successful load.
inline constexpr std::array kInitiallyDisabled = {Control::BTNCloseCom, Control::Command5};
// The speed buttons, one group: choosing one clears the others.
inline constexpr std::array kSpeedOptions = {Control::Option3, Control::Option2, Control::Option1};

// The row of a control; nullptr for the port, the timers and the file dialog, which do not show.
const ControlLayout* layoutOf(Control control);
// Its rectangle in pixels from its holder's corner: each twips value rounded on its own.
PixelRect pixelRect(const ControlLayout& layout);
// Its rectangle in pixels from the client area's corner, through the frame holding it.
PixelRect windowPixelRect(const ControlLayout& layout);
// The tag a control carries as the window opens ("NO" open, "NC" closed); empty for most.
std::string initialTag(Control control);
bool isInitiallyChecked(Control control);
bool isInitiallyDisabled(Control control);
bool isNeverFocused(Control control);
