#include <gtest/gtest.h>
#include <tuple>

#include "window/qt/Contrast.h"

TEST(Contrast, RatiosMatchTheWellKnownValues) {
    // {first, second, ratio}: the extremes, a colour against itself, the grey that just misses
    // 4.5 on white, and the pure primaries the bar uses.
    const std::tuple<QColor, QColor, double> cases[] = {
        {Qt::black, Qt::white, 21.0},
        {Qt::white, Qt::black, 21.0},
        {QColor(0x77, 0x77, 0x77), Qt::white, 4.48},
        {QColor(0, 255, 0), Qt::black, 15.3},
        {QColor(0, 0, 255), Qt::white, 8.59},
        {QColor(255, 0, 0), Qt::black, 5.25},
        {QColor(12, 34, 56), QColor(12, 34, 56), 1.0},
    };
    for (const auto& [first, second, ratio] : cases)
        EXPECT_NEAR(contrastRatio(first, second), ratio, 0.01)
            << first.name().toStdString() << " on " << second.name().toStdString();
}

TEST(Contrast, ReadableColoursKeepTheirToneWhereTheyCan) {
    const QColor green(0, 255, 0);
    const QColor paleGrey(190, 190, 190);
    // Already readable: unchanged.
    EXPECT_EQ(readableOn(Qt::white, Qt::black, kSmallTextContrast), QColor(Qt::black));
    // Too pale on green: darkened until it reads, yet still a grey rather than black.
    const QColor darkened = readableOn(green, paleGrey, kSmallTextContrast);
    EXPECT_GE(contrastRatio(darkened, green), kSmallTextContrast);
    EXPECT_NE(darkened, QColor(Qt::black));
    EXPECT_EQ(darkened.red(), darkened.blue());
    // On navy the same grey is lightened instead.
    EXPECT_GT(readableOn(QColor(0, 0, 128), QColor(90, 90, 90), kSmallTextContrast).lightness(), 90);
}
