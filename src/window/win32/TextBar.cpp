#include "window/win32/TextBar.h"

#include "window/BarFill.h"
#include "window/ColourContrast.h"
#include "window/win32/DesignColours.h"
#include "window/win32/Drawing.h"

namespace {

constexpr int kEdge = 1;

struct BarState {
    Colour bar = colours::Blue;
    int value = 0;
    int maximum = 100;
    HFONT font = nullptr;
};

BarState& stateOf(HWND bar) {
    return *reinterpret_cast<BarState*>(GetWindowLongPtrW(bar, GWLP_USERDATA));
}

// The bar drawn into `dc`: its frame, the filled part, and the text over both.
void draw(const BarState& state, HWND window, HDC dc, RECT client) {
    fillArea(dc, client, design::Mid);
    RECT inner = client;
    InflateRect(&inner, -kEdge, -kEdge);
    fillArea(dc, inner, design::Base);
    RECT filled = inner;
    filled.right = inner.left + barFilledWidth(inner.right - inner.left, state.value, state.maximum);
    fillArea(dc, filled, toColorRef(state.bar));

    const std::wstring text = windowText(window);
    HGDIOBJ oldFont = SelectObject(dc, state.font);
    SetBkMode(dc, TRANSPARENT);
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    SetTextColor(dc, toColorRef(colours::Black));
    DrawTextW(dc, text.c_str(), int(text.size()), &inner, format);
    // Where the bar lies under the text, the text stays black unless white stands out more (on
    // blue and navy), so that "END" on green and "ERROR" on red read as well as "VERIFY" on navy.
    HRGN clip = CreateRectRgnIndirect(&filled);
    SelectClipRgn(dc, clip);
    SetTextColor(dc, toColorRef(contrast::blackOrWhiteOn(toColorRef(state.bar))));
    DrawTextW(dc, text.c_str(), int(text.size()), &inner, format);
    SelectClipRgn(dc, nullptr);
    DeleteObject(clip);
    SelectObject(dc, oldFont);
}

LRESULT CALLBACK barProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(new BarState));
        break;
    case WM_NCDESTROY:
        delete &stateOf(window);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    case WM_SETFONT:
        stateOf(window).font = reinterpret_cast<HFONT>(wParam);
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return LRESULT(stateOf(window).font);
    case WM_SETTEXT: {
        const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
        InvalidateRect(window, nullptr, FALSE);
        return result;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        paintBuffered(window, [window](HDC dc, RECT client) { draw(stateOf(window), window, dc, client); });
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

template <typename Change> void change(HWND bar, Change apply) {
    apply(stateOf(bar));
    InvalidateRect(bar, nullptr, FALSE);
}

} // namespace

void registerTextBar(HINSTANCE instance) {
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = barProcedure;
    type.hInstance = instance;
    type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    type.lpszClassName = kTextBarClass;
    RegisterClassExW(&type);
}

void setBarColour(HWND bar, Colour colour) {
    change(bar, [&](BarState& s) { s.bar = colour; });
}

void setBarValue(HWND bar, int value) {
    change(bar, [&](BarState& s) { s.value = value; });
}

void setBarMaximum(HWND bar, int maximum) {
    change(bar, [&](BarState& s) { s.maximum = maximum; });
}
