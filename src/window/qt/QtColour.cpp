#include "window/qt/QtColour.h"

QColor toQColor(Colour colour, const QPalette& palette) {
    if (colours::isSystemColour(colour))
        return palette.color(QPalette::Active, QPalette::Base);
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}
