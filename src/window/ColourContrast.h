#pragma once

#include "window/Colours.h"

namespace contrast {

// Readability of text over a background, by relative luminance as the web's accessibility
// guidelines measure it: a plain grey level misjudges pure green and pure blue. Plain colours only
// (no system colour); every window binding draws its texts by these rules.
double relativeLuminance(Colour colour);
// From 1 (no contrast) to 21 (black on white); the order of the two colours does not matter.
double contrastRatio(Colour first, Colour second);

// The least contrast at which text counts as readable, measured on what is drawn.
inline constexpr double kReadableContrast = 4.5;
// What a text colour aims for: the window's small, smoothed glyphs rarely reach their full
// colour, so the colour itself needs more for the drawn text to reach kReadableContrast.
inline constexpr double kSmallTextContrast = 7.0;

// Black, unless white stands out more from `background`.
Colour blackOrWhiteOn(Colour background);

// `wanted` itself when it reaches `minimum` contrast on `background`; otherwise `wanted` mixed
// towards black or white (whichever suits the background) just far enough to reach it, so that
// a pale disabled text stays visibly paler than the enabled one but can still be read.
Colour readableOn(Colour background, Colour wanted, double minimum);

} // namespace contrast
