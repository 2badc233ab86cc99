#include "window/win32/PaintedControls.h"

#include <string>

#include "window/win32/Backdrop.h"
#include "window/win32/DesignColours.h"
#include "window/win32/Drawing.h"

namespace {

// Each class keeps its font in the window's extra bytes; the indicator keeps its colour beside it.
constexpr int kFontSlot = 0;
constexpr int kColourSlot = int(sizeof(LONG_PTR));

HFONT fontOf(HWND window) {
    return reinterpret_cast<HFONT>(GetWindowLongPtrW(window, kFontSlot));
}

// Draws the backdrop the control lies on, then the control: a transparent control shows the frame
// lines behind it.
template <typename Draw> void paintOnBackdrop(HWND window, Draw draw) {
    paintBuffered(window, [&](HDC dc, RECT client) {
        const POINT origin = originInParent(window);
        const RECT area{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
        paintBackdrop(dc, area, origin, fontOf(window));
        draw(dc, client);
    });
}

void drawLabel(HWND window, HDC dc, RECT client) {
    HGDIOBJ oldFont = SelectObject(dc, fontOf(window));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, IsWindowEnabled(window) ? design::Text : design::DisabledText);
    const std::wstring text = windowText(window);
    DrawTextW(dc, text.c_str(), int(text.size()), &client,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

void drawShape(HWND window, HDC dc, RECT client) {
    fillArea(dc, client, toColorRef(fillColour(window)));
    HBRUSH edge = CreateSolidBrush(design::Text);
    FrameRect(dc, &client, edge);
    DeleteObject(edge);
}

LRESULT CALLBACK paintedProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETFONT:
        SetWindowLongPtrW(window, kFontSlot, LONG_PTR(wParam));
        if (LOWORD(lParam))
            InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return LRESULT(fontOf(window));
    case WM_SETTEXT:
    case WM_ENABLE: {
        const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
        InvalidateRect(window, nullptr, FALSE);
        return result;
    }
    case WM_ERASEBKGND:
        return 1; // the paint covers every pixel
    case WM_NCHITTEST:
        return HTTRANSPARENT; // clicks go to the window, as on a label
    case WM_PAINT: {
        wchar_t className[32];
        GetClassNameW(window, className, 32);
        const std::wstring_view kind = className;
        paintOnBackdrop(window, [&](HDC dc, RECT client) {
            if (kind == kLabelClass)
                drawLabel(window, dc, client);
            else if (kind == kFillShapeClass)
                drawShape(window, dc, client);
        });
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

void registerPaintedControls(HINSTANCE instance) {
    for (const wchar_t* name : {kFrameClass, kLabelClass, kFillShapeClass}) {
        WNDCLASSEXW type{};
        type.cbSize = sizeof type;
        type.lpfnWndProc = paintedProcedure;
        type.cbWndExtra = 2 * int(sizeof(LONG_PTR));
        type.hInstance = instance;
        type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        type.lpszClassName = name;
        RegisterClassExW(&type);
    }
}

Colour fillColour(HWND shape) {
    return Colour(GetWindowLongPtrW(shape, kColourSlot));
}

void setFillColour(HWND shape, Colour colour) {
    SetWindowLongPtrW(shape, kColourSlot, LONG_PTR(colour));
    InvalidateRect(shape, nullptr, FALSE);
}
