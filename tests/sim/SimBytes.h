#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

// Byte strings for expected frames, spelled out one field per line at the call site.
inline std::string bytesOf(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values)
        bytes.push_back(static_cast<char>(value));
    return bytes;
}

inline std::string hexOf(std::string_view bytes) {
    std::string text;
    for (unsigned char byte : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X ", byte);
        text += hex;
    }
    return text;
}
