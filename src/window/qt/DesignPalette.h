#pragma once

#include <QPalette>

// The window's own colours: black text on light grey controls and white text boxes, whatever
// the desktop's theme. The design fixes the bar's colours (blue, navy, green, red, black text),
// the caption's dark blue and the port box's green; under a dark theme's palette the bar's black
// text would lie on a near-black trough and the captions on a dark ground, so the window keeps
// the light palette all of them were chosen for, also when the theme changes while it is open.
QPalette designPalette();
