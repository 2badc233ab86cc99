#pragma once

#include <QColor>
#include <QPalette>

#include "window/Colours.h"

// Our colours keep red in the lowest byte; a value with the top bit set names a system colour,
// of which the window uses only the text-box background (the palette's base colour).
QColor toQColor(Colour colour, const QPalette& palette);
