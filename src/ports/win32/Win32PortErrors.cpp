#include "ports/win32/Win32PortErrors.h"

#include "link/SerialPortService.h"
#include "link/WideText.h"

std::string systemErrorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text, length);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.'))
        message.pop_back();
    if (message.empty())
        return "system error " + std::to_string(error);
    return narrow(message);
}

std::string openRefusal(const std::string& port, DWORD error) {
    // Windows opens a serial port for one program at a time and refuses the next one as access
    // denied; Wine says sharing violation.
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
        return port + ": " + kInUseReason + " (" + systemErrorText(error) + ")";
    return port + ": " + systemErrorText(error);
}
