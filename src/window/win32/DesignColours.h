#pragma once

#include <windows.h>

#include "window/Colours.h"

// The window's own colours, whatever the desktop's: the light palette the window was laid out and
// coloured in (the Qt window's window/qt/DesignPalette.cpp has the same values).
namespace design {
inline constexpr COLORREF Window = RGB(0xef, 0xef, 0xef);
inline constexpr COLORREF Text = RGB(0x00, 0x00, 0x00);
inline constexpr COLORREF DisabledText = RGB(0xbe, 0xbe, 0xbe);
inline constexpr COLORREF Base = RGB(0xff, 0xff, 0xff); // a text box, the bar's empty part
inline constexpr COLORREF DisabledBase = RGB(0xef, 0xef, 0xef);
inline constexpr COLORREF Mid = RGB(0xb8, 0xb8, 0xb8); // frame lines, the bar's edge
} // namespace design

// A colour of the logic as Win32 draws it: both keep red in the lowest byte. The one system colour
// the logic names is a text box's background.
constexpr COLORREF toColorRef(Colour colour) {
    return colours::isSystemColour(colour) ? design::Base : COLORREF(colour & 0xFFFFFF);
}
