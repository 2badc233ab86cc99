// Text escaped for a terminal: no control byte and no invalid UTF-8 is left, and the escapes read
// back to the bytes that went in.
#include <string>

#include "fuzz/FuzzRequire.h"
#include "link/VisibleText.h"

namespace {

int hexDigit(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The bytes behind an escaped text: \\ is a backslash, \xNN a byte, the rest as it stands.
std::string unescaped(const std::string& text) {
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '\\') {
            bytes += text[at];
            continue;
        }
        require(at + 1 < text.size());
        if (text[at + 1] == '\\') {
            bytes += '\\';
            ++at;
            continue;
        }
        require(text[at + 1] == 'x' && at + 3 < text.size());
        const int high = hexDigit(text[at + 2]), low = hexDigit(text[at + 3]);
        require(high >= 0 && low >= 0);
        bytes += static_cast<char>(high * 16 + low);
        at += 3;
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string shown = visibleText(bytes);
    for (std::size_t at = 0; at < shown.size();) {
        const std::size_t length = utf8SequenceLength(shown, at);
        require(length > 0);
        const auto lead = static_cast<unsigned char>(shown[at]);
        require(!(length == 1 && ((lead < 0x20 && lead != '\t') || lead == 0x7F)));
        require(!(length == 2 && lead == 0xC2 && static_cast<unsigned char>(shown[at + 1]) <= 0x9F));
        at += length;
    }
    require(unescaped(shown) == bytes);
    return 0;
}
