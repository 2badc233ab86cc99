#include "window/win32/Win32Controls.h"

#include <commctrl.h>

#include <cmath>

#include "link/WideText.h"
#include "window/ColourContrast.h"
#include "window/FormLayout.h"
#include "window/win32/DesignColours.h"
#include "window/win32/Drawing.h"
#include "window/win32/PaintedControls.h"
#include "window/win32/TextBar.h"

namespace {

struct ChildClass {
    const wchar_t* name;
    DWORD style;
    DWORD extendedStyle;
};

ChildClass childClass(const ControlLayout& layout) {
    // Every control that takes the focus opens a group of its own, but for the speed buttons,
    // which are one: the arrow keys move between them as they do in a dialog.
    const DWORD stop = isNeverFocused(layout.control) ? 0 : WS_TABSTOP;
    const DWORD group =
        layout.control == kSpeedOptions.back() || layout.kind != ControlKind::Option ? WS_GROUP : 0;
    switch (layout.kind) {
    case ControlKind::Frame:
        return {kFrameClass, 0, 0};
    case ControlKind::Button:
        return {L"BUTTON", BS_PUSHBUTTON | stop | group, 0};
    case ControlKind::TextBox:
        return {L"EDIT", ES_AUTOHSCROLL | stop | group, WS_EX_CLIENTEDGE};
    case ControlKind::CheckBox:
        return {L"BUTTON", BS_AUTOCHECKBOX | stop | group, 0};
    case ControlKind::Label:
        return {kLabelClass, group, 0};
    case ControlKind::Option:
        return {L"BUTTON", BS_AUTORADIOBUTTON | stop | group, 0};
    case ControlKind::Bar:
        return {kTextBarClass, group, 0};
    case ControlKind::Shape:
        return {kFillShapeClass, group, 0};
    }
    return {};
}

HFONT windowFontOfSize(int pixels) {
    return CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH | FF_SWISS,
                       widen(kFontFace).c_str());
}

// A disabled text box draws its text in the desktop's grey whatever the window asks; the port box,
// disabled on its green while the port is open, draws its own so that its port name still reads.
LRESULT CALLBACK portBoxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR colourSlot) {
    if (message != WM_PAINT || IsWindowEnabled(box))
        return DefSubclassProc(box, message, wParam, lParam);
    const Colour back = *reinterpret_cast<const Colour*>(colourSlot);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(box, &paint);
    RECT client;
    GetClientRect(box, &client);
    fillArea(dc, client, toColorRef(back));
    RECT textArea = client;
    SendMessageW(box, EM_GETRECT, 0, LPARAM(&textArea));
    const std::wstring text = windowText(box);
    HGDIOBJ oldFont = SelectObject(dc, HFONT(SendMessageW(box, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colours::isSystemColour(back)
                         ? design::DisabledText
                         : toColorRef(contrast::readableOn(toColorRef(back), design::DisabledText,
                                                           contrast::kSmallTextContrast)));
    DrawTextW(dc, text.c_str(), int(text.size()), &textArea, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    EndPaint(box, &paint);
    return 0;
}

} // namespace

Win32Controls::Win32Controls(HWND window) : window(window) {
    windowFont = windowFontOfSize(kWindowFontPixels);
    barFont = windowFontOfSize(int(std::lround(kBarFontPoints * 96 / 72)));
    windowBrush = CreateSolidBrush(design::Window);
    baseBrush = CreateSolidBrush(design::Base);
    disabledBaseBrush = CreateSolidBrush(design::DisabledBase);
    txtBrush = CreateSolidBrush(toColorRef(txtColour));
    create(window);
    stackInTabOrder();
    for (const Control control : kControlOrder)
        tags[index(control)] = initialTag(control);
}

Win32Controls::~Win32Controls() {
    for (HWND child : windows)
        if (child)
            DestroyWindow(child);
    for (HGDIOBJ object : {HGDIOBJ(windowFont), HGDIOBJ(barFont), HGDIOBJ(windowBrush), HGDIOBJ(baseBrush),
                           HGDIOBJ(disabledBaseBrush), HGDIOBJ(txtBrush)})
        DeleteObject(object);
}

void Win32Controls::create(HWND window) {
    const HINSTANCE instance = HINSTANCE(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    for (const ControlLayout& layout : kFormLayout) {
        const ChildClass type = childClass(layout);
        const PixelRect r = windowPixelRect(layout);
        const DWORD state = isInitiallyDisabled(layout.control) ? WS_DISABLED : 0;
        HWND child = CreateWindowExW(type.extendedStyle, type.name, widen(layout.caption).c_str(),
                                     WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | type.style | state, r.left,
                                     r.top, r.width, r.height, window,
                                     HMENU(INT_PTR(commandId(layout.control))), instance, nullptr);
        SendMessageW(child, WM_SETFONT, WPARAM(layout.kind == ControlKind::Bar ? barFont : windowFont),
                     FALSE);
        if (isInitiallyChecked(layout.control))
            SendMessageW(child, BM_SETCHECK, BST_CHECKED, 0);
        windows[index(layout.control)] = child;
    }
    setFillColour(handle(Control::Pic), colours::Yellow);
    SetWindowSubclass(handle(Control::txt0), portBoxProcedure, 1, DWORD_PTR(&txtColour));
}

void Win32Controls::stackInTabOrder() {
    // The keyboard walks the children in their stacking order: the controls that take the focus go
    // on top in the design's tab order, the frames to the bottom, below all that lies over them
    // (kInFront included).
    HWND above = HWND_TOP;
    for (const Control control : kTabOrder) {
        SetWindowPos(handle(control), above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        above = handle(control);
    }
    for (const ControlLayout& layout : kFormLayout)
        if (layout.kind == ControlKind::Frame)
            SetWindowPos(handle(layout.control), HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

std::optional<Control> Win32Controls::controlOfCommand(int identifier) {
    const int i = identifier - kFirstCommand;
    if (i < 0 || i >= int(kControlOrder.size()))
        return std::nullopt;
    return static_cast<Control>(i);
}

bool Win32Controls::isEnabled(Control control) const {
    switch (control) {
    case Control::MSComm1:
        return portEnabled;
    case Control::CommonDialog1:
        return dialogEnabled;
    case Control::Timer3:
        return timer3Running;
    case Control::TMRComm:
        return tmrCommRunning;
    default:
        return IsWindowEnabled(handle(control)) != FALSE;
    }
}

void Win32Controls::setEnabled(Control control, bool enabled) {
    switch (control) {
    case Control::MSComm1:
        portEnabled = enabled;
        return;
    case Control::CommonDialog1:
        dialogEnabled = enabled;
        return;
    case Control::Timer3:
    case Control::TMRComm: {
        const bool poll = control == Control::TMRComm;
        // Setting a running timer again restarts its interval.
        if (enabled)
            SetTimer(window, poll ? kTMRCommId : kTimer3Id, poll ? kTMRCommIntervalMs : kTimer3IntervalMs,
                     nullptr);
        else
            KillTimer(window, poll ? kTMRCommId : kTimer3Id);
        (poll ? tmrCommRunning : timer3Running) = enabled;
        return;
    }
    default:
        break;
    }
    HWND child = handle(control);
    const bool hadFocus = GetFocus() == child;
    EnableWindow(child, enabled);
    // A disabled control cannot keep the focus: it goes on to the next control, as in the Qt window.
    if (!enabled && hadFocus)
        SetFocus(GetNextDlgTabItem(window, child, FALSE));
}

void Win32Controls::setTxtBackColour(Colour colour) {
    txtColour = colour;
    DeleteObject(txtBrush);
    txtBrush = CreateSolidBrush(toColorRef(colour));
    InvalidateRect(handle(Control::txt0), nullptr, TRUE);
}

HBRUSH Win32Controls::colourChild(HDC dc, HWND child) {
    SetTextColor(dc, IsWindowEnabled(child) ? design::Text : design::DisabledText);
    const std::optional<Control> control = controlOfCommand(GetDlgCtrlID(child));
    if (control == Control::txt0) {
        SetBkColor(dc, toColorRef(txtColour));
        return txtBrush;
    }
    if (control && layoutOf(*control) && layoutOf(*control)->kind == ControlKind::TextBox) {
        const bool enabled = IsWindowEnabled(child);
        SetBkColor(dc, enabled ? design::Base : design::DisabledBase);
        return enabled ? baseBrush : disabledBaseBrush;
    }
    SetBkColor(dc, design::Window);
    return windowBrush;
}
