#pragma once

#include <cstdint>

// 24-bit colours, red in the lowest byte, blue in the highest; the top bit set names a system colour.
using Colour = std::uint32_t;

namespace colours {
inline constexpr Colour Yellow = 65535;                // indicator as the window opens
inline constexpr Colour MediumGreen = 49152;           // indicator after a send
inline constexpr Colour Red = 255;                     // indicator on receipt; bar after a device error
inline constexpr Colour White = 16777215;              // idle blink
inline constexpr Colour Grey = 8421504;                // idle blink
inline constexpr Colour PureGreen = 65280;             // port box while open; bar after a verify
inline constexpr Colour Navy = 8388608;                // bar after opening
inline constexpr Colour Blue = 16711680;               // bar as the window opens
inline constexpr Colour DarkBlue = 12582912;           // caption of the "Comm's" frame
inline constexpr Colour Black = 0;                     // text drawn on the bar
inline constexpr Colour WindowBackground = 0x80000005; // system colour: a text box's background

inline constexpr bool isSystemColour(Colour c) {
    return (c & 0x80000000u) != 0;
}
} // namespace colours
