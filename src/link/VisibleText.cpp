#include "link/VisibleText.h"

#include <cstdint>

namespace {

bool continuation(std::string_view bytes, std::size_t at, std::uint8_t low = 0x80, std::uint8_t high = 0xBF) {
    if (at >= bytes.size())
        return false;
    const auto b = static_cast<std::uint8_t>(bytes[at]);
    return b >= low && b <= high;
}

void appendEscape(std::string& text, std::uint8_t byte) {
    constexpr char kDigits[] = "0123456789abcdef";
    text += "\\x";
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
}

} // namespace

std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<std::uint8_t>(bytes[at]);
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return continuation(bytes, at + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        // E0 needs A0 and up (no overlong form), ED at most 9F (no surrogate).
        const std::uint8_t low = lead == 0xE0 ? 0xA0 : 0x80;
        const std::uint8_t high = lead == 0xED ? 0x9F : 0xBF;
        return continuation(bytes, at + 1, low, high) && continuation(bytes, at + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        // F0 needs 90 and up (no overlong form), F4 at most 8F (nothing past U+10FFFF).
        const std::uint8_t low = lead == 0xF0 ? 0x90 : 0x80;
        const std::uint8_t high = lead == 0xF4 ? 0x8F : 0xBF;
        return continuation(bytes, at + 1, low, high) && continuation(bytes, at + 2) &&
                       continuation(bytes, at + 3)
                   ? 4
                   : 0;
    }
    return 0;
}

std::string visibleText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = utf8SequenceLength(bytes, at);
        const auto lead = static_cast<std::uint8_t>(bytes[at]);
        if (length == 0) {
            appendEscape(text, lead);
            ++at;
            continue;
        }
        const bool c0OrDel = length == 1 && ((lead < 0x20 && lead != '\t') || lead == 0x7F);
        // C1 controls, U+0080 to U+009F, are C2 80 to C2 9F.
        const bool c1 = length == 2 && lead == 0xC2 && static_cast<std::uint8_t>(bytes[at + 1]) <= 0x9F;
        if (c0OrDel || c1) {
            for (std::size_t i = 0; i < length; ++i)
                appendEscape(text, static_cast<std::uint8_t>(bytes[at + i]));
        } else if (lead == '\\') {
            text += "\\\\";
        } else {
            text.append(bytes.substr(at, length));
        }
        at += length;
    }
    return text;
}
