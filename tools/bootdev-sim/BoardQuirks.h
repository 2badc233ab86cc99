#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

// Ways of a bus that are no fault of one reply: a line that picks up noise, a board that ignores
// its address or answers from the address it has just taken.
struct BoardQuirks {
    // Noise bytes on the line every so often, between replies (0: a clean line).
    std::chrono::milliseconds noiseEvery{0};
    // Every device answers at every address, the broadcast address too.
    bool anyAddress = false;
    // The answer to an address change comes from the new address.
    bool replyFromNewAddress = false;
};

// What a noisy line brings: bytes with their high bits set, as a line ringing or a transceiver
// switching gives them; they begin no frame and hold no reply keyword.
inline constexpr std::string_view kLineNoise{"\xF8\xE0\x80\xFC\xC0\xF0", 6};

// Takes arguments[i] (and its value) when it is one of these options: true when taken.
bool takeQuirkOption(const std::vector<std::string>& arguments, std::size_t& i, BoardQuirks& quirks);

// The options' lines of --help.
std::string quirkUsage();
