#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "link/WideText.h"
#include "window/FormLayout.h"
#include "window/win32/Drawing.h"
#include "window/win32/Win32MainWindow.h"

namespace {

// A port that opens and stays silent: the window's own behaviour is what is tested here.
class SilentPort : public SerialPortService {
  public:
    void setSettings(const std::string&) override {}
    void setCommPort(std::int16_t) override {}
    void setCommPath(const std::string&) override {}
    void setPortOpen(bool open) override { isOpen = open; }
    bool portOpen() const override { return isOpen; }
    int inBufferCount() override { return 0; }
    std::string input() override { return {}; }
    void output(const std::string&) override {}

  private:
    bool isOpen = false;
};

// The window's classes, registered before the first window of the tests.
struct Registered {
    Registered() {
        static const bool once = [] {
            Win32MainWindow::registerClasses(GetModuleHandleW(nullptr), nullptr, nullptr);
            return true;
        }();
        (void)once;
    }
};

struct WindowUnderTest : Registered {
    HWND child(Control control) const {
        return GetDlgItem(window.handle(), Win32Controls::commandId(control));
    }

    SilentPort port;
    Win32MainWindow window{GetModuleHandleW(nullptr), port};
};

} // namespace

TEST(Win32Window, EveryControlAtItsPlaceWithItsCaption) {
    WindowUnderTest t;
    RECT client{};
    GetClientRect(t.window.handle(), &client);
    EXPECT_EQ(std::pair(int(client.right), int(client.bottom)), std::pair(kClientWidth, kClientHeight));
    for (const ControlLayout& layout : kFormLayout) {
        SCOPED_TRACE(layout.name);
        HWND child = t.child(layout.control);
        ASSERT_NE(child, nullptr);
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, t.window.handle(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ((PixelRect{int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)}),
                  windowPixelRect(layout));
        EXPECT_EQ(narrow(windowText(child)), layout.caption);
        EXPECT_EQ(IsWindowEnabled(child) == FALSE, isInitiallyDisabled(layout.control));
        if (layout.kind == ControlKind::CheckBox || layout.kind == ControlKind::Option) {
            EXPECT_EQ(SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED,
                      isInitiallyChecked(layout.control));
        }
    }
}

// The keyboard walks the controls as a dialog does, in the design's order across the frames, and
// a control that is disabled while it has the focus hands it on to the next one.
TEST(Win32Window, TabWalksTheDesignOrder) {
    WindowUnderTest t;
    t.window.show(SW_SHOW);
    std::vector<Control> expected;
    for (const Control control : kTabOrder)
        if (!isNeverFocused(control) && !isInitiallyDisabled(control))
            expected.push_back(control);
    HWND at = t.child(expected.front());
    for (std::size_t i = 1; i <= expected.size(); ++i) {
        at = GetNextDlgTabItem(t.window.handle(), at, FALSE);
        EXPECT_EQ(at, t.child(expected[i % expected.size()])) << "tab stop " << i;
    }

    SetFocus(t.child(Control::BTNOpenCom));
    ASSERT_EQ(GetFocus(), t.child(Control::BTNOpenCom));
    t.window.logic().BTNOpenCom_Click();
    EXPECT_EQ(GetFocus(), t.child(Control::BTNCloseCom));
}

// Enter clicks the focused push button, as Space does; the window has no default button.
TEST(Win32Window, EnterClicksTheFocusedButton) {
    WindowUnderTest t;
    t.window.show(SW_SHOW);
    SetFocus(t.child(Control::BTNOpenCom));
    ASSERT_EQ(GetFocus(), t.child(Control::BTNOpenCom));
    PostMessageW(t.child(Control::BTNOpenCom), WM_KEYDOWN, VK_RETURN, 1);
    PostQuitMessage(0);
    t.window.run();
    EXPECT_TRUE(t.port.portOpen());
    EXPECT_TRUE(IsWindowEnabled(t.child(Control::BTNCloseCom)));
}

TEST(Win32Window, TextsCrossTheBoundaryWhole) {
    WindowUnderTest t;
    FormView& view = t.window.view();
    // The port box and the address boxes take any text the user types, in UTF-8.
    SetWindowTextW(t.child(Control::txt0), widen("COM\xC3\xBC\xE2\x82\xAC").c_str());
    EXPECT_EQ(view.txtText(0), "COM\xC3\xBC\xE2\x82\xAC");
    // The answer box shows each received byte as one character.
    view.setText8Text(std::string("OK\xB5\x01", 4));
    EXPECT_EQ(windowText(t.child(Control::Text8)), std::wstring(L"OK\u00B5\u0001"));
    EXPECT_EQ(Win32FormView::win32FileFilter("HEX files (*.hex)|*.hex"),
              std::wstring(L"HEX files (*.hex)\0*.hex\0\0", 25));
}
