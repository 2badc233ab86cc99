#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "link/SerialPortService.h"
#include "window/frmSerial.h"
#include "window/win32/Win32Controls.h"
#include "window/win32/Win32FormView.h"

// The program's one window on Win32. It only forwards: every event goes to the logic's handler of
// the same name, and the logic works the controls through Win32FormView.
class Win32MainWindow {
  public:
    // Registers the window's classes; once, before the first window.
    static void registerClasses(HINSTANCE instance, HICON icon, HICON smallIcon);

    Win32MainWindow(HINSTANCE instance, SerialPortService& port);
    ~Win32MainWindow();
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    HWND handle() const { return window; }
    frmSerial& logic() { return form; }
    FormView& view() { return formView; }
    void show(int how);
    // A notice, callable from any thread, that the port has received bytes: the window runs the
    // logic's MSComm1_OnComm for it on its own thread.
    std::function<void()> arrivalNotice() const;
    // Runs the messages until the window is closed; returns the program's exit code. Tab, the arrow
    // keys and Space work as in a dialog, and Enter clicks the focused button.
    int run();

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void clicked(Control control);
    void paint();
    // Enter on a push button clicks it; true when it did.
    bool enterClicksFocusedButton(const MSG& message);
    // A handler's exception cannot cross the window procedure; it is reported to the debugger
    // and the event ends there.
    static void guarded(const std::function<void()>& handler);

    HWND window;
    Win32Controls controls;
    Win32FormView formView;
    frmSerial form;
    HWND lastFocus = nullptr;
};
