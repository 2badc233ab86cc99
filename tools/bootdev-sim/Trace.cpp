#include "Trace.h"

#include <cstdio>

void Trace::line(std::string_view text) const {
    if (out_)
        *out_ << "bootdev-sim: " << (line_.empty() ? "" : line_ + ": ") << text << '\n' << std::flush;
}

std::string printableBytes(std::string_view bytes) {
    std::string text;
    for (unsigned char byte : bytes) {
        if (byte >= 0x20 && byte < 0x7F && byte != '<') {
            text.push_back(static_cast<char>(byte));
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "<%02X>", byte);
            text.append(hex);
        }
    }
    return text;
}
