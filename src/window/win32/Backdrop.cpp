#include "window/win32/Backdrop.h"

#include <string>

#include "link/WideText.h"
#include "window/FormLayout.h"
#include "window/win32/DesignColours.h"
#include "window/win32/Drawing.h"

namespace {
// The frame's line runs this far below its top, through the middle of the caption.
constexpr int kLineOffset = 5;
// The line stops this far from the frame's left edge for the caption, which begins two pixels on.
constexpr int kCaptionIndent = 6;

void paintFrame(HDC dc, const ControlLayout& frame) {
    const PixelRect r = windowPixelRect(frame);
    HGDIOBJ oldPen = SelectObject(dc, CreatePen(PS_SOLID, 1, design::Mid));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, r.left, r.top + kLineOffset, r.left + r.width, r.top + r.height, 4, 4);
    DeleteObject(SelectObject(dc, oldPen));
    SelectObject(dc, oldBrush);

    const std::wstring caption = widen(frame.caption);
    SIZE extent{};
    GetTextExtentPoint32W(dc, caption.c_str(), int(caption.size()), &extent);
    const RECT clear{r.left + kCaptionIndent, r.top, r.left + kCaptionIndent + extent.cx + 2,
                     r.top + extent.cy};
    fillArea(dc, clear, design::Window);
    SetTextColor(dc, toColorRef(frame.captionColour));
    TextOutW(dc, clear.left + 2, r.top, caption.c_str(), int(caption.size()));
}
} // namespace

void paintBackdrop(HDC dc, const RECT& area, POINT origin, HFONT font) {
    POINT oldOrigin{};
    SetViewportOrgEx(dc, -origin.x, -origin.y, &oldOrigin);
    fillArea(dc, area, design::Window);
    HGDIOBJ oldFont = SelectObject(dc, font);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    for (const ControlLayout& layout : kFormLayout)
        if (layout.kind == ControlKind::Frame)
            paintFrame(dc, layout);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
    SetViewportOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
}

POINT originInParent(HWND child) {
    POINT origin{0, 0};
    MapWindowPoints(child, GetParent(child), &origin, 1);
    return origin;
}
