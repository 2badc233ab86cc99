#pragma once

#include <windows.h>

// What lies behind the controls: the window's colour and the frames' lines and captions, drawn from
// the layout table. The window, each frame and each label draw it under what they show, so that a
// label lies on a frame's line as the Qt window's transparent labels do.
// `area` is in the client area's coordinates; `origin` is where the device context's (0, 0) lies
// in them; `font` draws the frames' captions.
void paintBackdrop(HDC dc, const RECT& area, POINT origin, HFONT font);

// Where a child window's (0, 0) lies in its parent's client area.
POINT originInParent(HWND child);
