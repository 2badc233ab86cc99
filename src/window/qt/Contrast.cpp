#include "window/qt/Contrast.h"

#include <algorithm>
#include <cmath>

namespace {
double linear(int channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

QColor mixed(const QColor& from, const QColor& to, double share) {
    auto channel = [share](int a, int b) { return int(std::lround(a + (b - a) * share)); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()));
}
} // namespace

double relativeLuminance(const QColor& colour) {
    return 0.2126 * linear(colour.red()) + 0.7152 * linear(colour.green()) + 0.0722 * linear(colour.blue());
}

double contrastRatio(const QColor& first, const QColor& second) {
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor blackOrWhiteOn(const QColor& background) {
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return contrastRatio(white, background) > contrastRatio(black, background) ? white : black;
}

QColor readableOn(const QColor& background, const QColor& wanted, double minimum) {
    const QColor extreme = blackOrWhiteOn(background);
    constexpr int kSteps = 20;
    for (int step = 0; step < kSteps; ++step) {
        const QColor candidate = mixed(wanted, extreme, double(step) / kSteps);
        if (contrastRatio(candidate, background) >= minimum)
            return candidate;
    }
    return extreme;
}
