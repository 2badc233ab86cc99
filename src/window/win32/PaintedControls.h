#pragma once

#include <windows.h>

#include "window/Colours.h"

// The window's own control classes, drawn on the window's backdrop (Backdrop.h): a frame (its line
// and caption), a label (plain text, left and vertically centred) and the indicator square (one
// solid colour inside a black edge). Each takes WM_SETFONT and WM_SETTEXT as a STATIC does.
inline constexpr const wchar_t* kFrameClass = L"BootDeviceFrame";
inline constexpr const wchar_t* kLabelClass = L"BootDeviceLabel";
inline constexpr const wchar_t* kFillShapeClass = L"BootDeviceFillShape";

// Registers the three classes once for the program.
void registerPaintedControls(HINSTANCE instance);

Colour fillColour(HWND shape);
void setFillColour(HWND shape, Colour colour);
