#pragma once

#include <string>

// Seconds as the flasher writes them, in its messages as in its refusals: without trailing zeros.
inline std::string secondsText(double seconds) {
    std::string text = std::to_string(seconds);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return text;
}
