#include <windows.h>

#include <commctrl.h>

#include "ports/win32/Win32SerialPortService.h"
#include "win32/WindowResources.h"
#include "window/win32/Win32MainWindow.h"

namespace {
HICON windowIcon(HINSTANCE instance, int metricX, int metricY) {
    return HICON(LoadImageW(instance, MAKEINTRESOURCEW(kWindowIconResource), IMAGE_ICON,
                            GetSystemMetrics(metricX), GetSystemMetrics(metricY), LR_DEFAULTCOLOR));
}
} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    const INITCOMMONCONTROLSEX commonControls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&commonControls);
    Win32MainWindow::registerClasses(instance, windowIcon(instance, SM_CXICON, SM_CYICON),
                                     windowIcon(instance, SM_CXSMICON, SM_CYSMICON));
    Win32SerialPortService port;
    Win32MainWindow window(instance, port);
    // Bytes are read as they arrive; the poll timer stays as the design's fallback.
    port.setOnArrival(window.arrivalNotice());
    window.show(show);
    return window.run();
}
