#include "window/win32/Win32MainWindow.h"

#include <stdexcept>
#include <string>

#include "link/WideText.h"
#include "window/FormLayout.h"
#include "window/win32/Backdrop.h"
#include "window/win32/PaintedControls.h"
#include "window/win32/TextBar.h"

namespace {

constexpr const wchar_t* kWindowClass = L"BootDeviceWindow";
// Fixed size: no sizing border and no maximize box.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// The window walks its controls as a dialog does (IsDialogMessage).
constexpr DWORD kExtendedStyle = WS_EX_CONTROLPARENT;
// The port's notice of bytes received, posted from the port's thread.
constexpr UINT kBytesArrived = WM_APP + 1;

HWND createWindow(HINSTANCE instance) {
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExtendedStyle);
    return CreateWindowExW(kExtendedStyle, kWindowClass, widen(kWindowCaption).c_str(), kStyle, CW_USEDEFAULT,
                           CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                           nullptr, instance, nullptr);
}

} // namespace

void Win32MainWindow::registerClasses(HINSTANCE instance, HICON icon, HICON smallIcon) {
    registerPaintedControls(instance);
    registerTextBar(instance);
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = procedure;
    type.hInstance = instance;
    type.hIcon = icon;
    type.hIconSm = smallIcon;
    type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    type.lpszClassName = kWindowClass;
    RegisterClassExW(&type);
}

Win32MainWindow::Win32MainWindow(HINSTANCE instance, SerialPortService& port)
    : window(createWindow(instance)), controls(window), formView(controls, window), form(formView, port) {
    if (!window)
        throw std::runtime_error("the window could not be created");
    // Messages reach the logic only from here on: the window is complete.
    SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(this));
}

Win32MainWindow::~Win32MainWindow() {
    if (IsWindow(window)) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
}

void Win32MainWindow::show(int how) {
    ShowWindow(window, how);
    UpdateWindow(window);
    SetFocus(controls.handle(kFirstFocus));
}

std::function<void()> Win32MainWindow::arrivalNotice() const {
    return [target = window] { PostMessageW(target, kBytesArrived, 0, 0); };
}

int Win32MainWindow::run() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (enterClicksFocusedButton(message) || IsDialogMessageW(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return int(message.wParam);
}

bool Win32MainWindow::enterClicksFocusedButton(const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_RETURN)
        return false;
    HWND focus = GetFocus();
    if (!focus || GetParent(focus) != window)
        return false;
    const std::optional<Control> control = Win32Controls::controlOfCommand(GetDlgCtrlID(focus));
    const ControlLayout* layout = control ? layoutOf(*control) : nullptr;
    if (!layout || layout->kind != ControlKind::Button || !IsWindowEnabled(focus))
        return false;
    SendMessageW(focus, BM_CLICK, 0, 0);
    return true;
}

LRESULT CALLBACK Win32MainWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT Win32MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam != 0)
            if (const std::optional<Control> control = Win32Controls::controlOfCommand(LOWORD(wParam)))
                clicked(*control);
        return 0;
    case WM_TIMER:
        if (wParam == Win32Controls::kTimer3Id)
            guarded([this] { form.Timer3_Timer(); });
        else if (wParam == Win32Controls::kTMRCommId)
            guarded([this] { form.TMRComm_Timer(); });
        return 0;
    case kBytesArrived:
        guarded([this] { form.MSComm1_OnComm(); });
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return LRESULT(controls.colourChild(HDC(wParam), HWND(lParam)));
    case WM_ERASEBKGND:
        return 1; // the paint covers every pixel
    case WM_PAINT:
        paint();
        return 0;
    case WM_ACTIVATE:
        // The focus comes back to the control that had it, as in a dialog.
        if (LOWORD(wParam) == WA_INACTIVE) {
            lastFocus = GetFocus();
        } else {
            SetFocus(lastFocus && IsWindowEnabled(lastFocus) ? lastFocus : controls.handle(kFirstFocus));
        }
        return 0;
    case WM_CLOSE: {
        std::int16_t cancel = 0;
        guarded([&] { form.Form_Unload(cancel); });
        if (cancel == 0)
            DestroyWindow(window);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void Win32MainWindow::clicked(Control control) {
    switch (control) {
    case Control::BTNOpenCom:
        return guarded([this] { form.BTNOpenCom_Click(); });
    case Control::BTNCloseCom:
        return guarded([this] { form.BTNCloseCom_Click(); });
    case Control::Command1:
        return guarded([this] { form.Command1_Click(); });
    case Control::Command2:
        return guarded([this] { form.Command2_Click(); });
    case Control::Command3:
        return guarded([this] { form.Command3_Click(); });
    case Control::Command4:
        return guarded([this] { form.Command4_Click(); });
    case Control::Command5:
        return guarded([this] {
            try {
                form.Command5_Click();
            } catch (const std::out_of_range&) {
                // The sender refuses to go past the last slot of the record table (no file loaded,
                // or a load that failed); a click on the hidden button then sends nothing.
            }
        });
    case Control::Command6:
        return guarded([this] { form.Command6_Click(); });
    default:
        return; // the check box and the speed buttons keep their own state
    }
}

void Win32MainWindow::paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    paintBackdrop(dc, ps.rcPaint, POINT{0, 0},
                  HFONT(SendMessageW(controls.handle(Control::Label2), WM_GETFONT, 0, 0)));
    EndPaint(window, &ps);
}

void Win32MainWindow::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        OutputDebugStringW(
            widen(std::string("Unhandled error in a window handler: ") + error.what()).c_str());
    }
}
