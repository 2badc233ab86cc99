#pragma once

#include <string>

#include <windows.h>

// The system's text for `error` (FormatMessageW), in UTF-8 without the trailing line break.
std::string systemErrorText(DWORD error);

// Why `port` did not open: another program holds it (the same words as on Linux), or the system's text.
std::string openRefusal(const std::string& port, DWORD error);
