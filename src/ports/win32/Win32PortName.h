#pragma once

#include <string>

// A port text as the window takes it ("COM12", "com12", "\\.\COM12") in its canonical form
// ("COM12"); other device names ("\\.\CNCA0") are kept as given. Throws PortError for a text that
// names no device.
std::string canonicalPortName(const std::string& text);

// The device path that CreateFileW opens for a canonical name: "\\.\COM12", which reaches COM10 and
// above as well (a bare "COM12" does not).
std::wstring devicePath(const std::string& name);
