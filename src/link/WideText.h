#pragma once

#include <string>
#include <string_view>

// Text is UTF-8 inside the program and UTF-16 where Win32 takes or gives it. Windows builds only.

// `utf8` as UTF-16; bytes that are not UTF-8 become U+FFFD.
std::wstring widen(std::string_view utf8);

// `utf16` as UTF-8; a lone surrogate becomes U+FFFD.
std::string narrow(std::wstring_view utf16);
