#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Byte strings for expected frames, spelled out one field per line at the call site.
inline std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

// Bytes as hexadecimal pairs ("01 42 4F"), for comparisons whose failures must be readable.
inline std::string hexBytes(std::string_view bytes) {
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty())
            out += ' ';
        out += {"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 0x0F]};
    }
    return out;
}
