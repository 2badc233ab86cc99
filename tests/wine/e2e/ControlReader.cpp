// Reads another program's windows the way a desktop automation tool does: it finds the visible
// top-level windows, walks their controls and asks each one for its text and place. It never
// calls into the program it reads, so what it reports is what a user would see.
//
// Usage: control-reader [--class NAME] [--title TEXT]
// Prints, in UTF-8, for each visible top-level window that matches (all of them without options):
//   window <TAB> pid <TAB> class <TAB> title <TAB> left top width height     (screen, client area)
// and after it one line per control inside it, at any depth:
//   control <TAB> id <TAB> class <TAB> visible <TAB> enabled <TAB> left top width height <TAB> text
// with the control's place in the top-level window's client coordinates. Backslashes, tabs and
// line ends in texts are written as \\, \t, \n and \r.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

// GetWindowText returns only the caption the system keeps for another process's window, not an
// edit box's contents: WM_GETTEXT asks the control itself. The time bound keeps a hung program
// from hanging the control reader.
std::wstring textOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 2000, &copied))
        return {};
    text.resize(copied);
    return text;
}

std::wstring classOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

struct Selection {
    std::wstring className;
    std::wstring title;
    std::vector<HWND> windows;
};

BOOL CALLBACK selectTopLevel(HWND window, LPARAM data) {
    auto& selection = *reinterpret_cast<Selection*>(data);
    if (!IsWindowVisible(window))
        return TRUE;
    if (!selection.className.empty() && classOf(window) != selection.className)
        return TRUE;
    if (!selection.title.empty() && textOf(window) != selection.title)
        return TRUE;
    selection.windows.push_back(window);
    return TRUE;
}

BOOL CALLBACK collectChild(HWND window, LPARAM data) {
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
    return TRUE;
}

void print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

std::string place(const RECT& r) {
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
           " " + std::to_string(r.bottom - r.top);
}

void describe(HWND top) {
    DWORD pid = 0;
    GetWindowThreadProcessId(top, &pid);
    RECT client{};
    GetClientRect(top, &client);
    MapWindowPoints(top, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    print("window\t" + std::to_string(pid) + "\t" + utf8(classOf(top)) + "\t" + escaped(utf8(textOf(top))) +
          "\t" + place(client));

    std::vector<HWND> children;
    EnumChildWindows(top, collectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&r), 2);
        print("control\t" + std::to_string(GetDlgCtrlID(child)) + "\t" + utf8(classOf(child)) + "\t" +
              (IsWindowVisible(child) ? "1" : "0") + "\t" + (IsWindowEnabled(child) ? "1" : "0") + "\t" +
              place(r) + "\t" + escaped(utf8(textOf(child))));
    }
}

} // namespace

int main() {
    // The wide command line: a title may hold any character, the narrow one only the code page's.
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Selection selection;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring option = argv[i];
        if (option == L"--class")
            selection.className = argv[i + 1];
        else if (option == L"--title")
            selection.title = argv[i + 1];
        else {
            std::fprintf(stderr, "control-reader: unknown option %s\n", utf8(option).c_str());
            return 2;
        }
    }
    if (argc % 2 == 0) {
        std::fprintf(stderr, "usage: control-reader [--class NAME] [--title TEXT]\n");
        return 2;
    }
    EnumWindows(selectTopLevel, reinterpret_cast<LPARAM>(&selection));
    for (HWND top : selection.windows)
        describe(top);
    std::fflush(stdout);
    return 0;
}
