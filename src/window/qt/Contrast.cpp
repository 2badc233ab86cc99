#include "window/qt/Contrast.h"

namespace {
Colour plain(const QColor& colour) {
    return Colour(colour.red()) | Colour(colour.green()) << 8 | Colour(colour.blue()) << 16;
}

QColor qt(Colour colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}
} // namespace

double relativeLuminance(const QColor& colour) {
    return contrast::relativeLuminance(plain(colour));
}

double contrastRatio(const QColor& first, const QColor& second) {
    return contrast::contrastRatio(plain(first), plain(second));
}

QColor blackOrWhiteOn(const QColor& background) {
    return qt(contrast::blackOrWhiteOn(plain(background)));
}

QColor readableOn(const QColor& background, const QColor& wanted, double minimum) {
    return qt(contrast::readableOn(plain(background), plain(wanted), minimum));
}
