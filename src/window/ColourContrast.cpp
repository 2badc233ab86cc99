#include "window/ColourContrast.h"

#include <algorithm>
#include <cmath>

namespace {
int channel(Colour colour, int shift) {
    return int((colour >> shift) & 0xFF);
}

double linear(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

Colour mixed(Colour from, Colour to, double share) {
    Colour result = 0;
    for (const int shift : {0, 8, 16}) {
        const int a = channel(from, shift);
        const int b = channel(to, shift);
        result |= Colour(std::lround(a + (b - a) * share)) << shift;
    }
    return result;
}
} // namespace

namespace contrast {

double relativeLuminance(Colour colour) {
    return 0.2126 * linear(channel(colour, 0)) + 0.7152 * linear(channel(colour, 8)) +
           0.0722 * linear(channel(colour, 16));
}

double contrastRatio(Colour first, Colour second) {
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

Colour blackOrWhiteOn(Colour background) {
    using colours::Black;
    using colours::White;
    return contrastRatio(White, background) > contrastRatio(Black, background) ? White : Black;
}

Colour readableOn(Colour background, Colour wanted, double minimum) {
    const Colour extreme = blackOrWhiteOn(background);
    constexpr int kSteps = 20;
    for (int step = 0; step < kSteps; ++step) {
        const Colour candidate = mixed(wanted, extreme, double(step) / kSteps);
        if (contrastRatio(candidate, background) >= minimum)
            return candidate;
    }
    return extreme;
}

} // namespace contrast
