#include "ports/win32/Win32PortName.h"

#include <algorithm>
#include <cctype>

#include "link/SerialPortService.h"
#include "link/WideText.h"

namespace {

constexpr std::string_view kDevicePrefix = R"(\\.\)";

bool isComName(std::string_view text) {
    return text.size() > 3 && text.size() <= 6 &&
           std::equal(text.begin(), text.begin() + 3, "COM",
                      [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; }) &&
           std::all_of(text.begin() + 3, text.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) &&
           text[3] != '0';
}

} // namespace

std::string canonicalPortName(const std::string& text) {
    std::string_view name = text;
    if (name.starts_with(kDevicePrefix))
        name.remove_prefix(kDevicePrefix.size());
    if (isComName(name))
        return "COM" + std::string(name.substr(3));
    if (text.starts_with(kDevicePrefix) && name.size() > 0)
        return text;
    throw PortError(text + ": not a serial port name (COM1, COM2, ... or \\\\.\\NAME)");
}

std::wstring devicePath(const std::string& name) {
    return widen(name.starts_with(kDevicePrefix) ? name : std::string(kDevicePrefix) + name);
}
