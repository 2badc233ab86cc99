#pragma once

#include <windows.h>

#include <string>

#include "window/Colours.h"

// The progress bar with its own text over it: a free bar colour, a value and a maximum, which the
// logic sets independently, as the Qt window's TextProgressBar. Its text is the window's text
// (WM_SETTEXT), drawn centred in its font (WM_SETFONT).
inline constexpr const wchar_t* kTextBarClass = L"BootDeviceTextBar";

void registerTextBar(HINSTANCE instance);

void setBarColour(HWND bar, Colour colour);
void setBarValue(HWND bar, int value);
void setBarMaximum(HWND bar, int maximum);
