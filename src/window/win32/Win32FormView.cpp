#include "window/win32/Win32FormView.h"

#include <commdlg.h>

#include <stdexcept>

#include "link/WideText.h"
#include "window/FormLayout.h"
#include "window/win32/Drawing.h"
#include "window/win32/PaintedControls.h"
#include "window/win32/TextBar.h"

namespace {
void requirePortBox(int index) {
    if (index != 0)
        throw std::out_of_range("the port box group has only element 0");
}

std::wstring fromLatin1(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (const char byte : bytes)
        text.push_back(wchar_t(static_cast<unsigned char>(byte)));
    return text;
}
} // namespace

Win32FormView::Win32FormView(Win32Controls& controls, HWND window) : controls(controls), window(window) {}

std::string Win32FormView::text(Control control) const {
    return narrow(windowText(controls.handle(control)));
}

void Win32FormView::setText(Control control, const std::wstring& text) {
    SetWindowTextW(controls.handle(control), text.c_str());
}

bool Win32FormView::checked(Control control) const {
    return SendMessageW(controls.handle(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32FormView::setLabel2Caption(const std::string& caption) {
    setText(Control::Label2, widen(caption));
}
void Win32FormView::setCommand1Caption(const std::string& caption) {
    setText(Control::Command1, widen(caption));
}
void Win32FormView::setText8Text(const std::string& text) {
    setText(Control::Text8, fromLatin1(text));
}
std::string Win32FormView::text1Text() const {
    return text(Control::Text1);
}
void Win32FormView::setText1Text(const std::string& text) {
    setText(Control::Text1, widen(text));
}
std::string Win32FormView::text2Text() const {
    return text(Control::Text2);
}
std::string Win32FormView::txtText(int index) const {
    requirePortBox(index);
    return text(Control::txt0);
}
void Win32FormView::setTxtBackColor(int index, Colour colour) {
    requirePortBox(index);
    controls.setTxtBackColour(colour);
}

bool Win32FormView::check1Checked() const {
    return checked(Control::Check1);
}
bool Win32FormView::option1Selected() const {
    return checked(Control::Option1);
}
bool Win32FormView::option2Selected() const {
    return checked(Control::Option2);
}
bool Win32FormView::option3Selected() const {
    return checked(Control::Option3);
}

void Win32FormView::setTimer3Enabled(bool enabled) {
    controls.setEnabled(Control::Timer3, enabled);
}
bool Win32FormView::timer3Enabled() const {
    return controls.isEnabled(Control::Timer3);
}
void Win32FormView::setTMRCommEnabled(bool enabled) {
    controls.setEnabled(Control::TMRComm, enabled);
}
bool Win32FormView::tmrCommEnabled() const {
    return controls.isEnabled(Control::TMRComm);
}

void Win32FormView::setPicVisible(bool visible) {
    ShowWindow(controls.handle(Control::Pic), visible ? SW_SHOWNA : SW_HIDE);
}
Colour Win32FormView::picFillColor() const {
    return fillColour(controls.handle(Control::Pic));
}
void Win32FormView::setPicFillColor(Colour colour) {
    setFillColour(controls.handle(Control::Pic), colour);
}

void Win32FormView::enableCommand5() {
    controls.setEnabled(Control::Command5, true);
}

void Win32FormView::setBarText(const std::string& text) {
    setText(Control::vbalProgressBar1, widen(text));
}
void Win32FormView::setBarColor(Colour colour) {
    setBarColour(controls.handle(Control::vbalProgressBar1), colour);
}
void Win32FormView::setBarValue(int value) {
    ::setBarValue(controls.handle(Control::vbalProgressBar1), value);
}
void Win32FormView::setBarMax(int maximum) {
    setBarMaximum(controls.handle(Control::vbalProgressBar1), maximum);
}

void Win32FormView::setDialogFilter(const std::string& filter) {
    dialogFilter = filter;
}

void Win32FormView::showOpenDialog() {
    const std::wstring filter = win32FileFilter(dialogFilter);
    std::wstring path(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = DWORD(path.size());
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    chosenFile.clear();
    cancelled = false;
    if (GetOpenFileNameW(&dialog))
        chosenFile = narrow(path.c_str());
    else
        // A dialog that failed to open is no choice either; only the user's cancel is reported so.
        cancelled = CommDlgExtendedError() == 0;
}

std::string Win32FormView::dialogFileName() const {
    return chosenFile;
}

bool Win32FormView::dialogCancelError() const {
    return cancelled;
}

std::string Win32FormView::tag(Control control) const {
    return controls.tag(control);
}
bool Win32FormView::isEnabled(Control control) const {
    return controls.isEnabled(control);
}
void Win32FormView::setEnabled(Control control, bool enabled) {
    controls.setEnabled(control, enabled);
}

void Win32FormView::msgBox(const std::string& text, Icon icon, const std::string& title,
                           const std::string& detail) {
    // The detail is the box's second paragraph, as the Qt window's informative text.
    const std::string shown = detail.empty() ? text : text + "\n\n" + detail;
    // The program's title is its window's caption.
    const std::string caption = title.empty() ? std::string(kWindowCaption) : title;
    MessageBoxW(window, widen(shown).c_str(), widen(caption).c_str(),
                MB_OK | (icon == Icon::Critical ? MB_ICONERROR : 0));
}

// The logic relies on nothing being handled meanwhile, the poll timer included.
void Win32FormView::pause(int ms) {
    Sleep(DWORD(ms < 0 ? 0 : ms));
}

std::wstring Win32FormView::win32FileFilter(const std::string& filter) {
    std::wstring parts = widen(filter);
    for (wchar_t& c : parts)
        if (c == L'|')
            c = L'\0';
    parts.push_back(L'\0');
    parts.push_back(L'\0');
    return parts;
}
